// Triggers, value latches and logic through the built bundle; the interface
// half of the program-change trigger through the patch stand-in.
#include "control_run.h"
#include "patch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace
{
using qwtest::changesOf;
using qwtest::Recording;
using qwtest::sameAtBlocks;
using qwtest::SignalRun;
using qwtest::Trace;

TEST(Set2Trigger, PulseOfTheLengthAtTheSetSample)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_Set2Trigger", 48000.0f, block);
        run.set("Ignore Initial", 1).set("Level", 5).set("Length", 3).set("Int", 4, 10);
        return run.run(64);
    });
    const auto& out = r.out("Trigger");
    for (int i = 10; i < 13; ++i)
        EXPECT_FLOAT_EQ(out[i], 0.5f) << i;
    for (int i = 13; i < 64; ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
    // The reports the module made: not streaming at 10 (a new level) and at 13.
    SignalRun one(L"QW_Set2Trigger", 48000.0f, 64);
    one.set("Ignore Initial", 1).set("Level", 5).set("Length", 3).set("Int", 4, 10);
    one.run(64);
    std::vector<int64_t> reported;
    for (const auto& s : one.processor().streamingReports)
        if (s.time > 0 && !s.streaming)
            reported.push_back(s.time);
    EXPECT_EQ(reported, (std::vector<int64_t>{10, 13}));
}

TEST(Set2Trigger, IgnoredStartValuesThenChangesAndMidiFire)
{
    for (bool ignore : {true, false})
    {
        SCOPED_TRACE(ignore ? "ignoring" : "not ignoring");
        SignalRun run(L"QW_Set2TriggerBool", 48000.0f, 7);
        run.set("Ignore Initial", ignore ? 1 : 0).set("Float", 2, 20);
        run.processor().sendMidi(run.pin("MIDI"), {0x90, 60, 100}, 40);
        run.run(64);
        Trace expected = {{20, 1}, {21, 0}, {40, 1}, {41, 0}};
        if (!ignore)
            expected.insert(expected.begin(), {{0, 1}, {1, 0}});
        EXPECT_EQ(changesOf(run.processor(), "Trigger"), expected);
    }
}

TEST(Set2TriggerBool, APulseOnTheLastSampleEndsOneLater)
{
    SignalRun run(L"QW_Set2TriggerBool", 48000.0f, 64);
    run.set("Ignore Initial", 1).set("Bool", 1, 63);
    run.run(128);
    EXPECT_EQ(changesOf(run.processor(), "Trigger"), (Trace{{63, 1}, {64, 0}}));
}

TEST(Set2Trigger, HostileLengthAndBigBlobs)
{
    SignalRun run(L"QW_Set2Trigger", 48000.0f, 64);
    run.set("Ignore Initial", 1).set("Level", 10).set("Length", INT_MIN).set("Int", 1, 5);
    const auto r = run.run(64);
    EXPECT_EQ(r.out("Trigger")[5], 1.0f);
    EXPECT_EQ(r.out("Trigger")[6], 0.0f) << "a length below 1 counts as 1";

    // Blobs are noted, never stored: no allocation in process.
    for (const wchar_t* id : {L"QW_Set2Trigger", L"QW_Set2TriggerBool"})
    {
        qwhost::ProcessingHost host;
        auto p = host.create(qwtest::bundle("signalkit"), id);
        p->startGraph();
        p->run(64);
        p->setBlob(p->pin("Blob"), std::vector<uint8_t>(808, 0x5A), 3);
        p->run(64);
        EXPECT_EQ(p->allocationsInLastProcess(), 0);
        EXPECT_FALSE(p->updates.empty() && p->streamingReports.empty());
    }
}

TEST(ValueLatches, TakeTheValueOnATrueTrigger)
{
    SignalRun i(L"QW_TriggerIntDSP", 48000.0f, 7);
    i.set("Value", 5).set("Trigger", 1, 10).set("Trigger", 0, 11).set("Value", 6, 12).set("Trigger", 0, 13);
    i.set("Trigger", 1, 20).set("Trigger", 0, 21).set("Trigger", 1, 30);
    i.run(40);
    EXPECT_EQ(changesOf(i.processor(), "Output"), (Trace{{10, 5}, {20, 6}}));
    int sent = 0;
    for (const auto& u : i.processor().updates)
        sent += u.pin == i.pin("Output") && u.time > 0;
    EXPECT_EQ(sent, 2) << "an equal value is sent once";

    SignalRun f(L"QW_TriggerFloatDSP", 48000.0f, 7);
    f.set("Value", 0.25).set("Trigger", 1, 3);
    f.run(8);
    EXPECT_EQ(changesOf(f.processor(), "Output"), (Trace{{3, 0.25}}));

    qwhost::ProcessingHost host;
    auto s = host.create(qwtest::bundle("signalkit"), L"QW_TriggerStringDSP");
    s->startGraph();
    s->setText(0, L"abc\u20ac", 0);
    s->setBool(1, true, 2);
    s->run(8);
    ASSERT_FALSE(s->updates.empty());
    EXPECT_EQ(s->updates.back().asText(), L"abc\u20ac");
}

TEST(ValueLatches, TheTextLatchSendsChangesWithoutAllocating)
{
    // Texts of ordinary length and one far beyond, each given in the first
    // block; the triggers come later, when nothing may allocate.
    for (size_t length : {size_t{0}, size_t{5}, size_t{1024}, size_t{1025}, size_t{20000}})
    {
        std::wstring text(length, L'x');
        for (size_t i = 0; i < length; i += 3)
            text[i] = L"a\u20ac\U0001F600"[i % 3];
        qwhost::ProcessingHost host;
        host.blockSize = 64;
        auto p = host.create(qwtest::bundle("signalkit"), L"QW_TriggerStringDSP");
        p->startGraph();
        p->setText(0, L"first", 0);
        p->setBool(1, true, 1);
        p->setText(0, text, 2);
        p->run(64);
        for (int at : {70, 80, 90}) // the same text three times: sent once
        {
            p->setBool(1, true, at - 64);
            p->setBool(1, false, at - 63);
        }
        p->setText(0, L"first", 100 - 64);
        p->setBool(1, true, 101 - 64);
        p->setBool(1, false, 102 - 64);
        p->setText(0, text, 110 - 64);
        p->setBool(1, true, 111 - 64);
        p->run(64);
        std::vector<std::pair<int64_t, std::wstring>> sent;
        for (const auto& u : p->updates)
            if (u.pin == 2 && u.time > 0)
                sent.emplace_back(u.time, u.asText());
        const std::vector<std::pair<int64_t, std::wstring>> expected = {
            {1, L"first"}, {70, text}, {101, L"first"}, {111, text}};
        EXPECT_EQ(sent, expected) << "length " << length;
        EXPECT_EQ(p->allocationsAfterFirstBlock(), 0) << "length " << length;
    }
}

TEST(ValueLatches, TheBlobLatchSendsEveryTrigger)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_TriggerBlobDSP");
    p->startGraph();
    p->setBlob(0, {1, 2, 3});
    p->setBool(1, true, 1);
    p->setBool(1, false, 2);
    p->setBool(1, true, 3);
    p->run(8);
    std::vector<int64_t> times;
    for (const auto& u : p->updates)
        if (u.pin == 2 && u.data == std::vector<uint8_t>{1, 2, 3})
            times.push_back(u.time);
    EXPECT_EQ(times, (std::vector<int64_t>{1, 3}));
}

TEST(BlockStart2Trigger, APulseAtEveryBlock)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_BlockStart2Trigger");
    p->runFor(64 * 3, 64);
    Trace expected;
    for (int b = 0; b < 3; ++b)
        expected.insert(expected.end(), {{64 * b, 1}, {64 * b + 1, 0}});
    EXPECT_EQ(changesOf(*p, "Trigger"), expected);
}

// --- the program-change trigger: both halves in a patch ---

struct PC2TrigPatch
{
    qwhost::Patch patch;
    qwhost::PatchModule* m = nullptr;
    qwhost::GuiModule* source = nullptr;

    PC2TrigPatch(qwhost::Echo echo, float ms, bool inverted)
    {
        patch.processing.sampleRate = 48000.0f;
        patch.gui.echo = echo;
        m = &patch.add(qwtest::bundle("signalkit"), L"QW_PC2Trig");
        source = &patch.addGui(qwtest::bundle("panelkit"), L"QW_GUI_Fixed_Int");
        patch.connect(*source, "Output", *m->gui, "Program");
        patch.start();
        m->processor->setFloat(0, ms);
        m->processor->setBool(1, inverted);
        patch.run(64);
    }
    // The pulse after a new program value, as the output is seen.
    std::vector<float> fire(int value, int blocks)
    {
        source->setInt(0, value);
        std::vector<float> seen;
        for (int b = 0; b < blocks; ++b)
        {
            patch.run(64);
            const float* out = m->processor->output(2);
            seen.insert(seen.end(), out, out + 64);
        }
        return seen;
    }
};

TEST(PC2Trig, OneMillisecondGivesFortySevenSamples)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::None})
        for (bool inverted : {false, true})
        {
            SCOPED_TRACE(std::string(echo == qwhost::Echo::Inside ? "echo" : "no echo") +
                         (inverted ? ", inverted" : ""));
            PC2TrigPatch t(echo, 1.0f, inverted);
            const auto seen = t.fire(3, 2);
            const float active = inverted ? 0.0f : 1.0f;
            for (int i = 0; i < 128; ++i)
                if (i < 47)
                    ASSERT_EQ(seen[i], active) << i;
                else
                    ASSERT_EQ(seen[i], 1.0f - active) << i;
            EXPECT_EQ(t.m->processor->streamingReports.back().streaming, false);
            EXPECT_EQ(t.m->processor->streamingReports.back().time, 64 + 47);
            // The next value fires again.
            const auto again = t.fire(4, 1);
            EXPECT_EQ(again[0], active);
        }
}

TEST(PC2Trig, ZeroOrHostileLengths)
{
    PC2TrigPatch zero(qwhost::Echo::None, 0.0f, false);
    const auto seen = zero.fire(1, 1);
    for (float v : seen)
        ASSERT_EQ(v, 0.0f);
    EXPECT_TRUE(zero.m->processor->streamingReports.back().streaming) << "as specified: streams until a pin change";

    for (float ms : {-1.0f, std::numeric_limits<float>::quiet_NaN(), 3e38f, std::numeric_limits<float>::infinity()})
    {
        PC2TrigPatch t(qwhost::Echo::None, ms, false);
        const auto s = t.fire(1, 1);
        EXPECT_EQ(s[0], ms > 0 ? 1.0f : 0.0f) << ms;
    }
}

// --- logic ---

TEST(LogicGate, AndOrInvertOverTheHostsInputs)
{
    struct Case
    {
        int inputs, mode;
        bool invert;
        std::vector<bool> values;
        bool expected;
    };
    const std::vector<Case> cases = {
        {1, 0, false, {true}, true},
        {1, 1, true, {true}, false},
        {4, 0, false, {true, true, false, true}, false},
        {4, 0, false, {true, true, true, true}, true},
        {4, 1, false, {false, false, true, false}, true},
        {4, 1, false, {false, false, false, false}, false},
        {4, 1, true, {false, false, false, false}, true},
        {4, 0, true, {true, true, false, true}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.inputs) + " inputs, mode " + std::to_string(c.mode));
        qwhost::ProcessingHost host;
        host.autoDuplicateCount = c.inputs;
        auto p = host.create(qwtest::bundle("signalkit"), L"QW_LogicGate");
        ASSERT_EQ(p->pinCount(), 3 + c.inputs);
        p->startGraph();
        p->setInt(0, c.mode);
        p->setBool(1, c.invert);
        for (int k = 0; k < c.inputs; ++k)
            p->setBool(3 + k, c.values[k]);
        p->run(4);
        const Trace t = changesOf(*p, "Output");
        EXPECT_EQ(t.empty() ? 0.0 : t.back().second, c.expected ? 1.0 : 0.0);
    }
}

TEST(LogicGate, AModeOrInvertChangeAloneRecomputes)
{
    qwhost::ProcessingHost host;
    host.autoDuplicateCount = 2;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_LogicGate");
    p->startGraph();
    p->setBool(3, true, 0);
    p->setInt(0, 1, 2);     // OR: true
    p->setBool(1, true, 4); // inverted: false
    p->setInt(0, 0, 6);     // AND inverted: true
    p->run(8);
    EXPECT_EQ(changesOf(*p, "Output"), (Trace{{2, 1}, {4, 0}, {6, 1}}));
}

TEST(LogicGate, NoInputsNeverChanges)
{
    qwhost::ProcessingHost host;
    host.autoDuplicateCount = 0;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_LogicGate");
    p->startGraph();
    p->setInt(0, 0, 1);
    p->setBool(1, true, 2);
    p->run(4);
    EXPECT_TRUE(changesOf(*p, "Output").empty());
}

// A host whose list puts pins of another datatype or direction between the
// inputs: the gate takes its inputs at the ids the host gave them and skips the rest.
TEST(LogicGate, SkipsHostPinsOfOtherKinds)
{
    auto bundle = qwtest::bundleDescribedAs("signalkit",
                                            "module QW_LogicGate 0\n"
                                            "pin in enum \"Mode\" default=0 list=\"AND,OR\"\n"
                                            "pin in bool \"Invert\" default=0\n"
                                            "pin out bool \"Output\"\n"
                                            "pin in bool \"A\" default=0\n"
                                            "pin in float \"Level\" default=0\n"
                                            "pin out bool \"Spare\"\n"
                                            "pin in bool \"B\" default=0\n");
    qwhost::ProcessingHost host;
    auto p = host.create(bundle, L"QW_LogicGate");
    EXPECT_EQ(qwtest::builtPinIds(*p), (std::vector<int>{0, 1, 2, 3, 6}));
    p->startGraph();
    p->setBool(3, true);
    p->setFloat(4, 0.5f); // not an input of the gate: would read as true
    p->run(4);
    const Trace t = changesOf(*p, "Output");
    EXPECT_EQ(t.empty() ? 0.0 : t.back().second, 0.0) << "A and not B";
    p->setBool(6, true);
    p->run(4);
    const Trace after = changesOf(*p, "Output");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back().second, 1.0) << "A and B";
}

TEST(BoolInverter, Negates)
{
    SignalRun run(L"QW_BoolInverter", 48000.0f, 7);
    run.set("Input", 1, 5).set("Input", 0, 9);
    run.run(12);
    EXPECT_EQ(changesOf(run.processor(), "Output"), (Trace{{0, 1}, {5, 0}, {9, 1}}));
}
} // namespace
