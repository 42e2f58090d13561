// Modules wired into a patch: processing cords at the sample, user-interface
// cords both ways, and the two halves of one identifier talking through the
// host.
#include "patch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// Pins of QW_TestProbe (processing).
enum ProbePin
{
    SIGNAL = 0,
    VALUE = 1,
    MIDI_IN = 6,
    OUTPUT = 8,
    VALUE_OUT = 9,
    MIDI_OUT = 11,
};
constexpr int32_t kLogSpan = 1, kLogMidi = 4;

// Pins of QW_TestGuiProbe.
enum GuiPin
{
    G_INT = 0,
    G_FLOAT = 1,
    G_INT_OUT = 5,
    G_FLOAT_OUT = 6,
};

float noise(int64_t t)
{
    return std::sin(0.37f * static_cast<float>(t)) * 0.5f;
}

std::vector<std::vector<int32_t>> logOf(const qwhost::Processor& p, int32_t kind)
{
    std::vector<std::vector<int32_t>> out;
    for (auto& e : qwtest::probeLog(p))
        if (e.kind == kind)
            out.push_back(e.v);
    return out;
}

struct PatchTest : ::testing::Test
{
    qwhost::Patch patch;
    std::shared_ptr<qwhost::Bundle> kit = qwtest::bundle("testkit");
};
} // namespace

TEST_F(PatchTest, ProcessingCordsCarrySamplesAndEventsAtTheSameSample)
{
    patch.processing.blockSize = 64;
    // Added downstream first: the patch still runs the upstream module first.
    auto& b = patch.addProcessor(kit, L"QW_TestProbe");
    auto& a = patch.addProcessor(kit, L"QW_TestProbe");
    patch.connect(a, "Output", b, "Signal");
    patch.connect(a, "Value Out", b, "Value");
    patch.connect(a, MIDI_OUT, b, MIDI_IN);
    EXPECT_EQ(patch.order(), (std::vector<qwhost::Processor*>{&a, &b}));

    patch.start();
    a.setStreaming(SIGNAL, true);
    a.setFloat(VALUE, 2.0f, 70); // a doubles from sample 70 on, and so does b
    a.sendMidi(MIDI_IN, {0x90, 60, 100}, 75);
    std::vector<float> in, out;
    for (int block = 0; block < 3; ++block)
    {
        for (int i = 0; i < 64; ++i)
            a.input(SIGNAL)[i] = noise(block * 64 + i);
        in.insert(in.end(), a.input(SIGNAL), a.input(SIGNAL) + 64);
        patch.run(64);
        out.insert(out.end(), b.output(OUTPUT), b.output(OUTPUT) + 64);
    }
    for (size_t t = 0; t < out.size(); ++t)
    {
        const float gain = t < 70 ? 1.0f : 4.0f;
        ASSERT_EQ(out[t], in[t] * gain) << "sample " << t;
    }
    // b split its second block at the value's sample.
    std::vector<std::vector<int32_t>> spansAt70;
    for (auto& s : logOf(b, kLogSpan))
        if (s[0] == 6)
            spansAt70.push_back(s);
    EXPECT_EQ(spansAt70.size(), 1u) << "b starts a span at block position 6 (sample 70)";
    // The MIDI note went through a and reached b at its sample.
    const auto midi = logOf(b, kLogMidi);
    ASSERT_EQ(midi.size(), 1u);
    EXPECT_EQ(midi[0][0], 11); // sample 75 is position 11 of the second block
    EXPECT_EQ(midi[0][2], 0x90);
    // b's input streams because a's output does.
    bool streaming = false;
    for (auto& s : b.streamingReports)
        if (s.pin == OUTPUT)
            streaming = s.streaming;
    EXPECT_TRUE(streaming);
}

TEST_F(PatchTest, InterfaceModuleFeedsAProcessingModule)
{
    patch.processing.blockSize = 32;
    auto& knob = patch.addGui(kit, L"QW_TestGuiProbe");
    auto& amp = patch.addProcessor(kit, L"QW_TestProbe");
    patch.connect(knob, G_FLOAT_OUT, amp, VALUE);
    patch.start();
    patch.run(32);

    knob.setFloat(G_FLOAT, 3.0f); // its handler assigns 3 to Float Out, which the cord carries
    ASSERT_EQ(knob.transmitsOf(G_FLOAT_OUT).size(), 1u);
    amp.updates.clear();
    patch.run(32);
    ASSERT_FALSE(amp.updates.empty());
    EXPECT_EQ(amp.updates[0].pin, VALUE_OUT);
    EXPECT_EQ(amp.updates[0].position, 0) << "at the start of the next block";
    EXPECT_EQ(amp.updates[0].asFloat(), 3.0f);
}

TEST_F(PatchTest, InterfaceCordsCarryValuesBothWays)
{
    auto& a = patch.addGui(kit, L"QW_TestGuiProbe");
    auto& b = patch.addGui(kit, L"QW_TestGuiProbe");
    auto& c = patch.addGui(kit, L"QW_TestGuiProbe");
    patch.connect(a, G_INT_OUT, b, G_INT);
    patch.connect(c, G_INT, b, G_INT); // c joins the same net at its input
    patch.start();

    a.setInt(G_INT, 5); // a mirrors to Int Out: b and c get 5, and mirror it
    ASSERT_NE(b.lastTransmit(G_INT_OUT), nullptr);
    EXPECT_EQ(b.lastTransmit(G_INT_OUT)->asInt(), 5);
    ASSERT_NE(c.lastTransmit(G_INT_OUT), nullptr);
    EXPECT_EQ(c.lastTransmit(G_INT_OUT)->asInt(), 5);

    // A value sent on an input travels back up the cord.
    b.transmits.clear();
    const int32_t seven = 7;
    b.pinTransmit(G_INT, 4, &seven, 0);
    EXPECT_EQ(a.lastTransmit(G_INT_OUT)->asInt(), 5) << "a's Int Out got 7 as a host value, and sends nothing";
    EXPECT_EQ(c.lastTransmit(G_INT_OUT)->asInt(), 7);
}

TEST_F(PatchTest, TwoHalvesShareParametersAndMessages)
{
    enum GuiPairPin
    {
        GAIN,
        PEAK,
        SET_GAIN,
        SEND,
        PEAK_SEEN,
        REPLY,
    };
    patch.processing.blockSize = 16;
    auto& m = patch.add(kit, L"QW_TestPair");
    ASSERT_NE(m.processor, nullptr);
    ASSERT_NE(m.gui, nullptr);
    qwhost::Processor& dsp = *m.processor;
    qwhost::GuiModule& gui = *m.gui;
    patch.start();
    patch.run(16);
    // The processing half's Peak output (twice the default gain) reached the
    // user-interface half after the block.
    ASSERT_NE(gui.lastTransmit(PEAK_SEEN), nullptr);
    EXPECT_EQ(gui.lastTransmit(PEAK_SEEN)->asFloat(), 1.0f);

    // The user-interface half writes the Gain parameter; the processing half
    // takes it at the next block and answers with its Peak.
    gui.setFloat(SET_GAIN, 2.0f);
    dsp.setConstant(1, 1.0f);
    patch.run(16);
    EXPECT_EQ(dsp.output(2)[0], 2.0f);
    EXPECT_EQ(gui.lastTransmit(PEAK_SEEN)->asFloat(), 4.0f);

    // A message round trip: user interface -> processing -> user interface.
    gui.setInt(SEND, 42);
    ASSERT_EQ(gui.messagesToAudio.size(), 1u);
    EXPECT_EQ(gui.lastTransmit(REPLY), nullptr) << "nothing before the processing half has run";
    patch.run(16);
    ASSERT_EQ(dsp.messages.size(), 1u);
    EXPECT_EQ(dsp.messages[0].id, 107);
    ASSERT_NE(gui.lastTransmit(REPLY), nullptr);
    EXPECT_EQ(gui.lastTransmit(REPLY)->asInt(), 42);
}

TEST_F(PatchTest, RefusesCordsThatCannotBe)
{
    auto& a = patch.addProcessor(kit, L"QW_TestProbe");
    auto& b = patch.addProcessor(kit, L"QW_TestProbe");
    auto& g = patch.addGui(kit, L"QW_TestGuiProbe");
    patch.connect(a, "Output", b, "Signal");
    EXPECT_THROW(patch.connect(a, "Value Out", b, "Signal"), qwhost::Error) << "the input has a cord";
    EXPECT_THROW(patch.connect(a, "Signal", b, "Value"), qwhost::Error) << "from an input";
    EXPECT_THROW(patch.connect(a, "Output", b, "Output"), qwhost::Error) << "to an output";
    EXPECT_THROW(patch.connect(a, "Text Out", b, "Value"), qwhost::Error) << "text to float";
    EXPECT_THROW(patch.connect(g, G_FLOAT_OUT, b, "Signal"), qwhost::Error) << "already joined";
    EXPECT_THROW(patch.connect(g, G_INT_OUT, a, "Value"), qwhost::Error) << "int to float";
    EXPECT_THROW(patch.connect(a, "No Such Pin", b, "Value"), qwhost::Error);
    EXPECT_THROW(patch.add(kit, L"QW_NotThere"), qwhost::Error);
    EXPECT_THROW(patch.run(16), qwhost::Error) << "before start";
}
