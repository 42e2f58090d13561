// The pencil of both display-editors, and what only the second-generation
// one does: its edit copy published as a descriptor and kept alive, its own
// values coming back as no new sample, the context menu, tool tip and hover,
// and qwhost draw giving it a sample through the bundle's interface loader.
#include "Sample2Pins.h"
#include "WavFile32.h"
#include "display_fixture.h"

#include <cmath>

using namespace displaytest;
using Strings = std::vector<std::string>;

namespace
{
class Pencil : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(Editors, Pencil, editors(), paramName);

const std::vector<std::string> kUnderPointer = {"Frame Under Pointer", "Value Under Pointer"};
} // namespace

// Pin "Pencil Enabled" is needed; then Control or "Pencil Without Control".
TEST_P(Pencil, NeedsItsPinAndControlOrTheSecondPin)
{
    const struct
    {
        bool pencil, withoutControl;
        int32_t flags;
        bool strokes;
    } cases[] = {
        {true, false, drawntest::kLeftFine, true},  {true, false, drawntest::kLeft, false},
        {true, true, drawntest::kLeft, true},       {true, true, drawntest::kLeftFine, true},
        {false, true, drawntest::kLeftFine, false}, {false, false, drawntest::kLeftFine, false},
    };
    const std::vector<float> f(100, 0.0f);
    for (const auto& k : cases)
    {
        SCOPED_TRACE(std::string(k.pencil ? "pencil" : "no pencil") + (k.withoutControl ? ", without control" : "") +
                     (k.flags & drawntest::kFine ? ", control held" : ""));
        auto c = make(f);
        c->setBool("Pencil Enabled", k.pencil);
        c->setBool("Pencil Without Control", k.withoutControl);
        c->clearSent();
        c->down(30, 20, k.flags);
        c->move(90, 20, k.flags);
        c->up(90, 20, k.flags);
        EXPECT_EQ(c->log({"Sample"}).size(), k.strokes ? 1u : 0u);
        // Without the pencil the press drags a selection instead.
        EXPECT_EQ(c->log({"Selection Start"}).empty(), k.strokes);
    }
}

// 8 frames in 80 pixels (10 a frame), range 1 in 100 rows: value = 1 - y / 50.
// The press at frame 1 (value 0) writes nothing; the moves draw straight
// lines from the last point, leaving that point's own frame alone.
TEST_P(Pencil, AStrokeGivesTheFramesWorkedOutByHand)
{
    const std::vector<float> f(8, 0.0f);
    auto c = make(f, 80, 100);
    c->setBool("Pencil Enabled", true);
    c->setFloat("Y Range", 10);
    c->clearSent();
    c->down(15, 50, drawntest::kLeftFine); // frame 1, value 0
    c->move(55, 10, drawntest::kLeftFine); // frame 5, 0.8: frames 2..5 get 0.2, 0.4, 0.6, 0.8
    c->move(35, 90, drawntest::kLeftFine); // frame 3, -0.8: frames 4, 3 get 0, -0.8
    c->move(38, 70, drawntest::kLeftFine); // frame 3 again, -0.4
    EXPECT_EQ(c->log(kUnderPointer),
              (Strings{"Frame Under Pointer=5", "Value Under Pointer=0.8", "Frame Under Pointer=3",
                       "Value Under Pointer=-0.8", "Value Under Pointer=-0.4"}));
    EXPECT_TRUE(c->log({"Sample"}).empty()) << "published before the release";
    c->up(38, 70, drawntest::kLeftFine);
    // Published on release: the edit copy's descriptor, or the frames themselves.
    EXPECT_EQ(c->log({"Sample"}), Strings{mod().descriptor ? "Sample=[24]" : "Sample=[32]"});
    const std::vector<float> want = {0, 0, 0.2f, -0.4f, 0.0f, 0.8f, 0, 0};
    const auto got = lastSent(mod(), *c);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_FLOAT_EQ(got[i], want[i]) << "frame " << i;
    if (mod().descriptor)
    {
        const auto d = s2test::asDesc(c->last("Sample")->data);
        EXPECT_EQ(d->count, 8);
        EXPECT_NE(d->address, reinterpret_cast<uintptr_t>(f.data())) << "the pencil drew into the sender's frames";
        EXPECT_EQ(d->token, s2test::bundleToken());
        EXPECT_EQ(f, std::vector<float>(8, 0.0f));
    }
}

// A stroke starting or running past the last frame writes only up to it.
TEST_P(Pencil, StrokesPastTheEndStopAtTheLastFrame)
{
    const std::vector<float> f(10, 0.0f);
    auto c = make(f, 100, 100);
    c->setBool("Pencil Enabled", true);
    c->setFloat("Y Range", 10);
    c->setInt("Offset", 5); // frames 5..14 in view: 5..9 on the left half
    c->clearSent();
    c->down(80, -1e9f, drawntest::kLeftFine); // frame 13, clamped to 9; value clamped to the range
    c->move(1e9f, 1e9f, drawntest::kLeftFine);
    c->move(55, 50, drawntest::kLeftFine); // frame 10 -> 9 again, value 0
    c->move(25, 0, drawntest::kLeftFine);  // frame 7, value 1: frames 8, 7 get 0.5, 1
    c->up(25, 0, drawntest::kLeftFine);
    const std::vector<float> want = {0, 0, 0, 0, 0, 0, 0, 1, 0.5f, 0};
    EXPECT_EQ(lastSent(mod(), *c), want);
}

// A new sample from outside ends a stroke in progress: the rest of it draws
// nothing and nothing is published.
TEST_P(Pencil, ANewSampleEndsAStroke)
{
    const std::vector<float> f(100, 0.0f), next(100, 0.25f);
    auto c = make(f, 100, 100);
    c->setBool("Pencil Enabled", true);
    c->down(10, 10, drawntest::kLeftFine);
    c->move(20, 10, drawntest::kLeftFine);
    c->set("Sample", sampleBytes(mod(), next));
    c->clearSent();
    c->move(60, 10, drawntest::kLeftFine);
    c->up(60, 10, drawntest::kLeftFine);
    EXPECT_TRUE(c->log({"Sample"}).empty());
    EXPECT_EQ(next, std::vector<float>(100, 0.25f));
    // The next stroke draws into the new sample.
    c->down(10, 90, drawntest::kLeftFine);
    c->move(12, 90, drawntest::kLeftFine);
    c->up(12, 90, drawntest::kLeftFine);
    const auto got = lastSent(mod(), *c);
    ASSERT_EQ(got.size(), 100u);
    EXPECT_FLOAT_EQ(got[11], -0.8f);
    EXPECT_EQ(got[50], 0.25f);
}

// The module's own stroke coming back from the host is no new sample: the
// view, the selection and the copy stay, whatever "Show All On New Sample" says.
TEST_P(Pencil, ItsOwnStrokeComingBackIsNoNewSample)
{
    const auto f = thousand();
    auto c = make(f);
    c->setBool("Pencil Enabled", true);
    c->setBool("Show All On New Sample", true);
    c->setInt("Visible", 100);
    c->setInt("Offset", 300);
    c->setInt("Selection Start", 310);
    c->setInt("Selection End", 320);
    c->clearSent();
    for (float x : {30.0f, 150.0f})
    {
        c->down(x, 10, drawntest::kLeftFine);
        c->move(x + 30, 10, drawntest::kLeftFine);
        c->up(x + 30, 10, drawntest::kLeftFine);
    }
    EXPECT_EQ(c->log(viewPins()), Strings{});
    EXPECT_EQ(c->log({"Sample"}).size(), 2u);
    const auto got = lastSent(mod(), *c);
    ASSERT_EQ(got.size(), 1000u);
    // Both strokes are in the last publication: frames 310..320 and 350..360.
    EXPECT_FLOAT_EQ(got[315], 0.8f);
    EXPECT_FLOAT_EQ(got[355], 0.8f);
    EXPECT_EQ(got[400], f[400]);
    if (mod().descriptor)
    {
        const auto sent = c->module().transmitsOf(c->pin("Sample"));
        EXPECT_EQ(s2test::asDesc(sent[0]->data)->address, s2test::asDesc(sent[1]->data)->address)
            << "the second stroke made a new copy";
    }
}

// A host that echoes later, with a value from outside on another pin before
// the stroke comes back: the framework no longer waits for the stroke then,
// but the sample pin still knows it for the editor's own.
TEST(PencilLate, ItsStrokeBehindAnotherValueIsStillItsOwn)
{
    const auto f = thousand();
    for (size_t m = 0; m < 2; ++m)
    {
        const Module& mod = modules()[m];
        SCOPED_TRACE(mod.name);
        Drawn c(mod.id, Echo::Later, true, mod.bundle);
        c.set("Sample", sampleBytes(mod, f));
        c.render(300, 100);
        c.setBool("Pencil Enabled", true);
        c.setBool("Show All On New Sample", true);
        c.setInt("Visible", 100);
        c.setInt("Offset", 300);
        c.clearSent();
        c.down(30, 10, drawntest::kLeftFine);
        c.move(60, 10, drawntest::kLeftFine);
        c.view().pointerUp(drawntest::kLeftFine, {60, 10});
        c.module().setFloat(c.pin("Y Range"), 12);
        c.settle();
        EXPECT_EQ(c.log(viewPins()), Strings{});
        EXPECT_EQ(c.log({"Sample"}).size(), 1u);
    }
}

// ===========================================================================
// The second-generation editor's copy

class EditCopy : public ::testing::TestWithParam<Echo>
{
protected:
    std::unique_ptr<Drawn> stroked(const std::vector<float>& f)
    {
        auto c = std::make_unique<Drawn>(L"QW_S2_SampleDisplayEdit", GetParam(), true, "samplekit2");
        c->setBool("Pencil Enabled", true);
        c->set("Sample", s2test::sample(f));
        c->render(100, 100);
        c->down(10, 10, drawntest::kLeftFine);
        c->move(50, 10, drawntest::kLeftFine);
        c->up(50, 10, drawntest::kLeftFine);
        return c;
    }
};
INSTANTIATE_TEST_SUITE_P(All, EditCopy, ::testing::ValuesIn(drawntest::allEchoes()),
                         [](const auto& info) { return std::string(drawntest::echoName(info.param)); });

// The copy stays readable after a newer sample replaced it (an echo of it may
// still come), and is released when the sample after that arrives.
TEST_P(EditCopy, IsReleasedOnlyAfterNewerSamplesReplacedIt)
{
    const std::vector<float> f(50, 0.0f), b(30, 0.25f), c2(20, -0.25f);
    auto c = stroked(f);
    const auto own = *s2test::asDesc(c->last("Sample")->data);
    EXPECT_EQ(s2test::framesAt(own).at(20), 0.8f); // readable, the stroke in it
    c->set("Sample", s2test::sample(b));
    EXPECT_EQ(c->last("Frames")->asInt(), 30);
    if (auto r = s2test::released(own))
    {
        EXPECT_FALSE(*r) << "released right after the sample that replaced it";
    }
    c->set("Sample", s2test::sample(c2));
    EXPECT_EQ(c->last("Frames")->asInt(), 20);
    if (auto r = s2test::released(own))
    {
        EXPECT_TRUE(*r) << "kept after two newer samples";
    }
    // A stroke now copies the new sample.
    c->render(100, 100);
    c->clearSent();
    c->down(10, 10, drawntest::kLeftFine);
    c->move(30, 10, drawntest::kLeftFine);
    c->up(30, 10, drawntest::kLeftFine);
    const auto next = s2test::asDesc(c->last("Sample")->data);
    EXPECT_EQ(next->count, 20);
    EXPECT_NE(next->address, reinterpret_cast<uintptr_t>(c2.data()));
}

// A host that hands the stroke back only after a newer sample from outside:
// the late value is recognised as the module's own and the newer sample stays.
TEST(EditCopyLate, AnEchoAfterANewerSampleIsNotTakenForOne)
{
    const std::vector<float> f(50, 0.0f), b(30, 0.25f);
    Drawn c(L"QW_S2_SampleDisplayEdit", Echo::Later, true, "samplekit2");
    c.setBool("Pencil Enabled", true);
    c.set("Sample", s2test::sample(f));
    c.render(100, 100);
    c.down(10, 10, drawntest::kLeftFine);
    c.move(50, 10, drawntest::kLeftFine);
    // Released without the host delivering its echoes yet.
    c.view().pointerUp(drawntest::kLeftFine, {50, 10});
    ASSERT_GT(c.module().pendingEchoes(), 0u);
    const auto bytes = s2test::sample(b);
    c.module().set(c.pin("Sample"), bytes.data(), static_cast<int>(bytes.size()));
    c.clearSent();
    c.settle(); // the stroke comes back now
    EXPECT_EQ(c.log(viewPins()), Strings{});
    // The view walks the newer sample: 30 frames of 0.25 in 100 columns.
    const auto outline = drawntest::only(c.renderAll(100, 100), "DrawGeometry");
    ASSERT_EQ(outline.size(), 1u);
    for (auto& p : outline[0].path)
        EXPECT_NEAR(p.y, (1.0 - 0.25) * 50.0, 1e-3);
}

// The pin forgets the sends of frames its owner releases: another sender may
// be given that memory for a sample of its own.
TEST(EditCopyPin, ForgetsTheSendsOfReleasedFrames)
{
    qw::Sample2GuiPin pin;
    const std::vector<float> frames(16, 0.5f);
    pin.send(frames.data(), frames.size());
    const Sample2Descriptor back = qw::makeSample2(frames.data(), frames.size(), 7);
    EXPECT_FALSE(pin.set(0, sizeof back, &back));
    EXPECT_TRUE(pin.echoed());
    pin.forgetSendsOf(frames.data());
    EXPECT_TRUE(pin.set(0, sizeof back, &back));
    EXPECT_FALSE(pin.echoed());
    EXPECT_EQ(pin.frames(), frames.data());
}

// ===========================================================================
// Context menu, tool tip and hover

class HostCalls : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(All, HostCalls, allModules(), paramName);

TEST_P(HostCalls, MenuToolTipAndHoverOfTheEditors)
{
    const std::vector<float> f(10, 0.0f);
    auto c = make(f);
    std::vector<qwhost::PlatformMenu::Item> items;
    std::string tip;
    if (!mod().editor)
    {
        // The older display answers none of these calls.
        EXPECT_EQ(c->view().populateContextMenu({5, 5}, items), -1);
        EXPECT_TRUE(items.empty());
        EXPECT_EQ(c->view().chooseContextMenu(3), -1);
        EXPECT_EQ(c->view().toolTip({5, 5}, tip), -1);
        EXPECT_EQ(c->view().hover(true), -1);
        EXPECT_TRUE(c->sent().empty());
        return;
    }
    c->setText("Menu Items", L"Cut=3,Copy,Paste=7");
    c->setText("Tooltip", L"Drag to select");
    c->clearSent();
    EXPECT_EQ(c->view().populateContextMenu({5, 5}, items), 0);
    ASSERT_EQ(items.size(), 3u);
    const std::pair<std::string, int32_t> want[] = {{"Cut", 3}, {"Copy", 4}, {"Paste", 7}};
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(items[i].text, want[i].first);
        EXPECT_EQ(items[i].id, want[i].second);
    }
    EXPECT_EQ(c->view().chooseContextMenu(7), 0);
    c->settle();
    EXPECT_EQ(c->log({"Menu Selection"}), (Strings{"Menu Selection=7", "Menu Selection=-1"}));
    EXPECT_EQ(c->view().toolTip({5, 5}, tip), 0);
    EXPECT_EQ(tip, "Drag to select");
    c->view().hover(true);
    c->view().hover(false);
    c->settle();
    EXPECT_EQ(c->log({"Hover"}), (Strings{"Hover=true", "Hover=false"}));
    // A list of two billion entries gives the first 10000.
    c->setText("Menu Items", L"range 0,2000000000");
    c->view().populateContextMenu({5, 5}, items);
    EXPECT_EQ(items.size(), 10000u);
}

// ===========================================================================
// qwhost draw

class DrawSample : public drawntest::DrawCommand
{};

// The example of the README: a selection dragged over a sample from a file,
// which the bundle's interface loader loads.
TEST_F(DrawSample, ADescriptorPinGetsAChannelThroughTheInterfaceLoader)
{
    qw::WavFile32 w;
    const std::vector<float> quiet(600, 0.0f), half(600, 0.5f);
    w.setChannel(0, 600, quiet.data());
    w.setChannel(1, 600, half.data());
    w.sampleRate = 44100;
    const std::string wav = file("two.wav");
    ASSERT_TRUE(w._saveWav(gmpi_sdk::fromUtf8(wav), 32));
    const auto png = draw(
        "QW_S2_SampleDisplayEdit", "600x100",
        {"--sample", "Sample=" + wav + ":1", "--pointer", "press 100,80; move 300,80; release 300,80"}, "samplekit2");
    EXPECT_NE(last.out.find("sent Frames = 600"), std::string::npos) << last.out;
    EXPECT_NE(last.out.find("sent Selection End = 300"), std::string::npos) << last.out;
    ASSERT_EQ(png.width, 600);
    // Inside the selection the green of its colour shows over the dark ground.
    const auto in = png.at(200, 60), out = png.at(450, 60);
    EXPECT_GT(in.g, in.r + 40);
    EXPECT_LT(std::abs(out.g - out.r), 10);
    // The outline of channel 1 (0.5 of range 1) lies on row 25.
    const auto line = png.at(450, 25);
    EXPECT_GT(line.b, 150);

    // A pin that takes no blob, and a file that is not there.
    for (auto bad : {std::vector<std::string>{"--sample", "Y Range=" + wav},
                     std::vector<std::string>{"--sample", "Sample=" + file("none.wav")},
                     std::vector<std::string>{"--sample", "Sample=" + wav + ":5"}})
    {
        std::vector<std::string> args = {"draw",
                                         std::string(QW_BUNDLE_DIR) + "/samplekit2.so",
                                         "QW_S2_SampleDisplayEdit",
                                         "--size",
                                         "60x20",
                                         "--out",
                                         file("x.png")};
        args.insert(args.end(), bad.begin(), bad.end());
        const auto r = qwhost(args);
        EXPECT_NE(r.code, 0) << bad[1];
        EXPECT_NE(r.err.find("--sample"), std::string::npos) << r.err;
    }
}
