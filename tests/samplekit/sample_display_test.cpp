// What only the first-generation displays do: the sample as raw floats (the
// editor's copying pin and the older display's plain blob read a short blob
// differently), the older display's lack of a pencil, the editor's own
// blob recognised when the host hands it back late, and qwhost draw giving
// a raw sample from a WAV file.
#include "WavFile32.h"
#include "drawn_fixture.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using drawntest::Drawn;
using qwhost::Echo;
using Strings = std::vector<std::string>;

namespace
{
std::vector<uint8_t> raw(const std::vector<float>& frames)
{
    std::vector<uint8_t> b(frames.size() * sizeof(float));
    if (!b.empty())
        std::memcpy(b.data(), frames.data(), b.size());
    return b;
}

std::vector<float> framesOf(const std::vector<uint8_t>& bytes)
{
    std::vector<float> f(bytes.size() / sizeof(float));
    if (!f.empty())
        std::memcpy(f.data(), bytes.data(), f.size() * sizeof(float));
    return f;
}
} // namespace

// The editor copies a sample of 2 frames or more; the older display reads
// any whole number of frames in place.
TEST(FirstGenerationDisplays, ShortBlobs)
{
    const struct
    {
        const wchar_t* id;
        size_t bytes;
        int frames;
    } cases[] = {
        {L"QW_SampleDisplay", 4, 1},     {L"QW_SampleDisplay", 6, 0},     {L"QW_SampleDisplay", 8, 2},
        {L"QW_SampleDisplayEdit", 4, 0}, {L"QW_SampleDisplayEdit", 6, 0}, {L"QW_SampleDisplayEdit", 8, 2},
    };
    for (const auto& k : cases)
    {
        Drawn c(k.id, Echo::None, true, "samplekit");
        c.set("Sample", raw({0.5f, 0.5f}));
        c.set("Sample", std::vector<uint8_t>(k.bytes, 0));
        EXPECT_EQ(c.last("Frames")->asInt(), k.frames) << gmpi_sdk::toUtf8(k.id) << ", " << k.bytes << " bytes";
    }
}

// The older display has no pencil: Control drags a selection and nothing
// is published.
TEST(FirstGenerationDisplays, TheOlderDisplayNeverChangesTheSample)
{
    for (auto id : {L"QW_SampleDisplay", L"QW_SampleDisplayC", L"QW_SampleDisplayCC"})
    {
        Drawn c(id, Echo::Inside, true, "samplekit");
        EXPECT_EQ(c.module().pinCount(), 24);
        c.set("Sample", raw(std::vector<float>(100, 0.0f)));
        c.render(100, 100);
        c.clearSent();
        c.down(10, 10, drawntest::kLeftFine);
        c.move(50, 10, drawntest::kLeftFine);
        c.up(50, 10, drawntest::kLeftFine);
        EXPECT_EQ(c.log({"Sample", "Selection Start", "Selection End"}),
                  (Strings{"Selection Start=10", "Selection End=50"}));
    }
}

// A host that hands the first stroke back only while the second is drawn:
// the late blob is the editor's own and does not undo the second stroke.
TEST(FirstGenerationDisplays, TheEditorsLateBlobLeavesALaterStroke)
{
    Drawn c(L"QW_SampleDisplayEdit", Echo::Later, true, "samplekit");
    c.setBool("Pencil Enabled", true);
    c.set("Sample", raw(std::vector<float>(100, 0.0f)));
    c.render(100, 100); // a frame a pixel; y 10 is 0.8
    c.down(10, 10, drawntest::kLeftFine);
    c.move(20, 10, drawntest::kLeftFine);
    c.view().pointerUp(drawntest::kLeftFine, {20, 10});
    // The second stroke starts before the host delivers anything.
    c.view().pointerDown(drawntest::kLeftFine, {50, 90});
    c.view().pointerMove(drawntest::kLeftFine, {60, 90});
    c.settle(); // the first stroke comes back now
    c.view().pointerMove(drawntest::kLeftFine, {70, 90});
    c.view().pointerUp(drawntest::kLeftFine, {70, 90});
    c.settle();
    const auto sent = c.module().transmitsOf(c.pin("Sample"));
    ASSERT_EQ(sent.size(), 2u);
    const auto f = framesOf(sent[1]->data);
    ASSERT_EQ(f.size(), 100u);
    EXPECT_FLOAT_EQ(f[15], 0.8f);
    EXPECT_FLOAT_EQ(f[55], -0.8f);
    EXPECT_FLOAT_EQ(f[65], -0.8f);
    EXPECT_EQ(f[40], 0.0f);
    // And a sample from outside after all that is taken as one.
    c.clearSent();
    c.set("Sample", raw(std::vector<float>(30, 0.25f)));
    EXPECT_EQ(c.last("Frames")->asInt(), 30);
}

// A host that never echoes: a sample from outside ends the wait for the
// editor's own blob, so the same bytes arriving later are a new sample.
TEST(FirstGenerationDisplays, AValueFromOutsideEndsTheWaitForTheEditorsBlob)
{
    Drawn c(L"QW_SampleDisplayEdit", Echo::None, true, "samplekit");
    c.setBool("Pencil Enabled", true);
    c.set("Sample", raw(std::vector<float>(100, 0.0f)));
    c.render(100, 100);
    c.down(10, 10, drawntest::kLeftFine);
    c.move(20, 10, drawntest::kLeftFine);
    c.up(20, 10, drawntest::kLeftFine);
    const std::vector<uint8_t> own = c.last("Sample")->data;
    c.set("Sample", raw(std::vector<float>(30, 0.25f)));
    c.clearSent();
    c.set("Sample", own);
    EXPECT_EQ(c.log({"Frames"}), Strings{"Frames=100"});
}

class DrawRawSample : public drawntest::DrawCommand
{};

TEST_F(DrawRawSample, ABlobPinGetsTheChannelsFrames)
{
    qw::WavFile32 w;
    const std::vector<float> quiet(300, 0.0f), low(300, -0.5f);
    w.setChannel(0, 300, quiet.data());
    w.setChannel(1, 300, low.data());
    w.sampleRate = 48000;
    const std::string wav = file("two.wav");
    ASSERT_TRUE(w._saveWav(gmpi_sdk::fromUtf8(wav), 16));
    for (auto id : {"QW_SampleDisplay", "QW_SampleDisplayEdit"})
    {
        const auto png = draw(id, "300x100", {"--sample", "Sample=" + wav + ":1"}, "samplekit");
        EXPECT_NE(last.out.find("sent Frames = 300"), std::string::npos) << last.out;
        ASSERT_EQ(png.height, 100);
        // -0.5 of range 1 lies on y 75: the outline's cyan over the grey ground
        // there (half in row 74, half in row 75), none further down.
        for (int row : {74, 75})
            EXPECT_GT(png.at(150, row).b, png.at(150, row).r + 60) << id << ", row " << row;
        EXPECT_LT(std::abs(png.at(150, 90).b - png.at(150, 90).r), 10) << id;
    }
}
