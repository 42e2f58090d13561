// Both halves of the bridge modules wired by the patch stand-in, the host's
// echo inside the call, later and none: a trigger in the interface half
// pulses from the start of the next block, the older pair's toggles reach the
// processing half, the sample rate reaches the interface, a patch-memory value
// reaches the processing output; the road of one event from a dragged knob
// through a range mapping into patch memory; and qwhost run.
#include "WavFile32.h"
#include "bridges_fixture.h"
#include "drawing/drawn_view.h"
#include "patch.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
using namespace bridgetest;
using qwhost::Echo;

constexpr int kBlock = 64;

class BridgePatch : public ::testing::TestWithParam<Echo>
{
protected:
    BridgePatch()
    {
        patch.gui.echo = GetParam();
        patch.processing.blockSize = kBlock;
    }

    // Runs blocks to sample `until`, keeping the audio output of `m` when it has one.
    void runTo(int64_t until, qwhost::PatchModule& m, const std::string& out = {})
    {
        while (m.processor->now() < until)
        {
            patch.run(kBlock);
            if (!out.empty())
            {
                const float* y = m.processor->output(m.processor->pin(out));
                raw.insert(raw.end(), y, y + kBlock);
            }
        }
    }
    // A value the host hands an interface pin, then every echo held back.
    void notify(qwhost::GuiModule& g, int pin, const qwtest::Bytes& v)
    {
        g.set(pin, v.data(), static_cast<int>(v.size()));
        ASSERT_TRUE(g.settleEchoes());
    }
    std::vector<float> seen(qwhost::PatchModule& m, const std::string& out) const
    {
        return seenOf(raw, reportsOf(*m.processor, m.processor->pin(out)));
    }

    qwhost::Patch patch;
    std::shared_ptr<qwhost::Bundle> kit = qwtest::bundle("panelkit");
    std::vector<float> raw;
};

const auto echoNames = [](const auto& info) {
    return info.param == Echo::Inside ? "EchoInside" : info.param == Echo::Later ? "EchoLater" : "NoEcho";
};

std::vector<float> pulseAt(int64_t length, float rest, float level, std::vector<std::pair<int64_t, int64_t>> spans)
{
    std::vector<float> y(static_cast<size_t>(length), rest);
    for (auto [on, off] : spans)
        std::fill(y.begin() + on, y.begin() + std::min(off, length), level);
    return y;
}

TEST_P(BridgePatch, ATriggerInTheInterfacePulsesFromTheNextBlock)
{
    auto& audio = patch.add(kit, L"QW_GUIAudioTrigger");
    auto& flag = patch.add(kit, L"QW_GUIDSPBoolTrigger");
    patch.start(); // the interface halves' start values fire nothing
    audio.processor->setInt(audio.processor->pin("Length"), 100);
    flag.processor->setInt(flag.processor->pin("Length"), 100);
    runTo(2 * kBlock, audio, "Pulse");
    notify(*audio.gui, 0, qwtest::b8(true));
    notify(*flag.gui, 1, qwtest::b8(true));
    runTo(6 * kBlock, audio, "Pulse");
    notify(*audio.gui, 1, qwtest::b8(true));
    runTo(10 * kBlock, audio, "Pulse");
    // Level 10 by default: a pulse of 1.0.
    EXPECT_EQ(seen(audio, "Pulse"), pulseAt(10 * kBlock, 0.0f, 1.0f, {{128, 228}, {384, 484}}));
    std::vector<Update> expected{{0, 0.0, {0}}, {128, 1.0, {1}}, {228, 0.0, {0}}};
    std::vector<Update> got;
    for (auto& u : flag.processor->updates)
        got.push_back({u.time, u.asBool() ? 1.0 : 0.0, u.data});
    EXPECT_EQ(got, expected);
}

TEST_P(BridgePatch, TheOlderPairsTogglesReachTheProcessingHalfAsUpdates)
{
    auto& m = patch.add(kit, L"QW_GUISet2Trig");
    patch.start();
    m.processor->setInt(m.processor->pin("Length"), 50);
    // Starting, the interface half toggled five times; Ignore First (on by
    // default) skips that first update.
    EXPECT_EQ(m.gui->transmitsOf(10).size(), 5u);
    runTo(3 * kBlock, m, "Pulse");
    notify(*m.gui, 0, qwtest::f32(0.5f)); // toggles Trigger to false
    runTo(5 * kBlock, m, "Pulse");
    notify(*m.gui, 7, qwtest::text(L"x")); // and to true
    notify(*m.gui, 7, qwtest::text(L"x")); // and to false: one update in the next block
    runTo(8 * kBlock, m, "Pulse");
    EXPECT_EQ(pulses(seen(m, "Pulse"), 0.0f), (std::vector<std::pair<int64_t, int64_t>>{{192, 242}, {320, 370}}));
}

TEST_P(BridgePatch, TheSampleRateReachesTheInterfaceHalf)
{
    for (float rate : {96000.0f, 0.0f})
    {
        qwhost::Patch p;
        p.gui.echo = GetParam();
        p.processing.sampleRate = rate;
        auto& m = p.add(kit, L"QW_GUISampleRate");
        p.start();
        p.run(kBlock);
        ASSERT_TRUE(m.gui->settleEchoes());
        // Without a rate the fallback's default stands.
        ASSERT_NE(m.gui->lastTransmit(2), nullptr);
        EXPECT_EQ(m.gui->lastTransmit(2)->asFloat(), rate > 0 ? rate : 44100.0f);
    }
}

TEST_P(BridgePatch, APatchMemoryValueReachesTheProcessingOutputAtTheNextBlock)
{
    auto& f = patch.add(kit, L"QW_PM_FLOAT_NAC");
    auto& t = patch.add(kit, L"QW_PM_TEXT_NAC_VOL");
    patch.start();
    runTo(kBlock, f);
    notify(*f.gui, f.gui->pin("Value"), qwtest::f32(0.75f));
    notify(*t.gui, t.gui->pin("Value"), qwtest::text(L"hello"));
    runTo(3 * kBlock, f);
    const auto& fu = f.processor->updates;
    ASSERT_EQ(fu.size(), 2u);
    EXPECT_EQ(fu[1].time, kBlock);
    EXPECT_EQ(fu[1].asFloat(), 0.75f);
    const auto& tu = t.processor->updates;
    ASSERT_EQ(tu.size(), 2u);
    EXPECT_EQ(tu[1].time, kBlock);
    EXPECT_EQ(tu[1].asText(), L"hello");
}

// The road of one event: a drag on a skinned knob sends its position; a range
// mapping (0..1 to 100..200) sends the result; patch memory copies it to its
// parameter, which the host carries to the processing half; its output
// changes at the sample where the event arrives, the next block's start.
TEST_P(BridgePatch, TheRoadOfOneEventFromAKnobToTheProcessingOutput)
{
    patch.gui.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
    qwhost::DrawingDesk desk(patch.gui);
    auto& knob = patch.add(kit, L"QW_Image");
    auto& map = patch.add(kit, L"QW_GUIFloatRngScal");
    auto& memory = patch.add(kit, L"QW_PM_FLOAT_NAC");
    patch.connect(*knob.gui, "Animation Position", *map.gui, "Value");
    patch.connect(*map.gui, "Result R", *memory.gui, "Value");
    qwhost::DrawnView view(desk, *knob.gui);
    patch.start();
    notify(*map.gui, map.gui->pin("Out 1"), qwtest::f32(100.0f));
    notify(*map.gui, map.gui->pin("Out 2"), qwtest::f32(200.0f));
    notify(*knob.gui, knob.gui->pin("Image"), qwtest::text(L"dial.png"));
    runTo(2 * kBlock, memory);
    const size_t before = memory.processor->updates.size();

    view.layOutAndRender(64, 64);
    // Pressed below the dial's centre and dragged straight up: 0.4.
    view.pointerDown(0x10, {32, 40});
    view.pointerMove(0x10, {32, 0});
    view.pointerUp(0x10, {32, 0});
    for (auto* g : {knob.gui, map.gui, memory.gui})
        ASSERT_TRUE(g->settleEchoes());
    ASSERT_NE(knob.gui->lastTransmit(0), nullptr);
    EXPECT_NEAR(knob.gui->lastTransmit(0)->asFloat(), 0.4f, 1e-6);
    runTo(4 * kBlock, memory);

    const auto& u = memory.processor->updates;
    ASSERT_EQ(u.size(), before + 1);
    EXPECT_EQ(u.back().time, 2 * kBlock);
    EXPECT_EQ(u.back().position, 0);
    EXPECT_NEAR(u.back().asFloat(), 100.0 + 0.4 * (200.0 - 100.0), 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Echo, BridgePatch, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoNames);

class BridgeCommands : public qwtest::CommandTest
{};

// qwhost run: a pulse of 4410 samples (0.1 s at 44.1 kHz) written at 0.5 s.
TEST_F(BridgeCommands, RunWritesATenthOfASecondPulseAtHalfASecond)
{
    const auto r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/panelkit.so", "QW_GUISet2Trig", "--pin",
                           "Trigger=1@0.5", "--pin", "Length=4410", "--out", file("pulse.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(std::filesystem::path(file("pulse.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    ASSERT_EQ(w.frames, 44100);
    const std::vector<float>& y = w.data[0];
    EXPECT_EQ(y[22049], 0.0f);
    EXPECT_EQ(y[22050], 1.0f) << "the first sample of the pulse";
    EXPECT_EQ(y[22050 + 4409], 1.0f) << "its last";
    EXPECT_EQ(y[22050 + 4410], 0.0f);
    int ones = 0;
    for (int i = 0; i < 44100; ++i)
        ones += y[i] == 1.0f;
    EXPECT_EQ(ones, 4410) << "no pulse at the start: the first update is ignored";
}

// qwhost ui shows the trigger messages an interface half sends its processing half.
TEST_F(BridgeCommands, UiShowsTheTriggerMessages)
{
    const auto r = qwhost({"ui", std::string(QW_BUNDLE_DIR) + "/panelkit.so", "QW_GUIDSPBoolTrigger", "--steps",
                           "Trigger R=true; Trigger L=true; Trigger L=false; Active Level=1; Trigger R=false"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "# QW_GUIDSPBoolTrigger: pins Trigger R, Trigger L, Active Level; echo none\n"
              "start (defaults, initialize)\n"
              "Trigger R=true\n"
              "\tmessage to the processing half: id 0, 0 byte(s)\n"
              "Trigger L=true\n"
              "\tmessage to the processing half: id 0, 0 byte(s)\n"
              "Trigger L=false\n"
              "Active Level=1\n"
              "Trigger R=false\n"
              "\tmessage to the processing half: id 0, 0 byte(s)\n");
}
} // namespace
