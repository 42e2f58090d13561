// The block loop: routine spans between event times, the order in which the
// events of one time are applied, and events the host should not send.
#include "probe_fixture.h"

using Strings = std::vector<std::string>;

TEST_F(ProbeFixture, NoEventsMeansOneRoutineCallForTheBlock)
{
    makeRunning();
    p->run(256);
    EXPECT_EQ(log(), Strings({"span 0 256 0"}));
}

// All events of a time are pre-processed before any handler runs, onSetPins
// runs once, and a routine never sees a changed flag.
TEST_F(ProbeFixture, EventsOfOneTimeAreAppliedTogether)
{
    makeRunning();
    p->setFloat(VALUE, 0.5f, 0);
    p->setBool(FLAG, true, 0);
    p->setBool(FLAG, false, 5);
    p->run(10);
    EXPECT_EQ(log(),
              Strings({"handler 0 100 10", "pins 0 10", "span 0 5 0", "handler 5 100 8", "pins 5 8", "span 5 5 0"}));
}

TEST_F(ProbeFixture, MidiAloneDoesNotCallOnSetPins)
{
    makeRunning();
    p->sendMidi(MIDI_IN, {0x90, 60, 100}, 3);
    p->run(10);
    EXPECT_EQ(log(), Strings({"span 0 3 0", "midi 3 3 144 60 100", "span 3 7 0"}));
    auto out = updatesOf(MIDI_OUT);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]->position, 3);
    EXPECT_EQ(out[0]->data, std::vector<uint8_t>({0x90, 60, 100}));
}

TEST_F(ProbeFixture, EventTimesTheHostShouldNotSend)
{
    struct Row
    {
        const char* what;
        std::vector<gmpi::MpEvent> events;
        Strings expected;
    };
    gmpi::MpEvent unknownType = rawSet(4, FLAG, 1);
    unknownType.eventType = 999;
    const Row rows[] = {
        {"at the block end: not applied in this block", {rawSet(10, FLAG, 1)}, {"span 0 10 0"}},
        {"past the block end: the routine stops at the end", {rawSet(12, FLAG, 1)}, {"span 0 10 0"}},
        {"before the block: applied at 0", {rawSet(-5, FLAG, 1)}, {"handler 0 100 8", "pins 0 8", "span 0 10 0"}},
        {"out of order: applied where reached",
         {rawSet(6, FLAG, 1), rawSet(2, FLAG, 0)},
         {"span 0 6 0", "handler 6 100 8", "handler 6 100 8", "pins 6 8", "span 6 4 0"}},
        {"unknown pin: ignored, the time still counts", {rawSet(4, 99, 1)}, {"span 0 4 0", "pins 4 0", "span 4 6 0"}},
        {"unknown event type: ignored", {unknownType}, {"span 0 4 0", "span 4 6 0"}},
    };
    for (auto& r : rows)
    {
        makeRunning();
        p->rawEvents(r.events);
        p->run(10);
        EXPECT_EQ(log(), r.expected) << r.what;
    }
}

TEST_F(ProbeFixture, OlderBasePassesTheOffset)
{
    make(L"QW_TestOldBase");
    p->startGraph();
    p->setStreaming(0, true);
    p->run(256);
    clear();
    p->setBool(1, true, 0);
    p->setBool(1, false, 5);
    p->run(10);
    EXPECT_EQ(log(),
              Strings({"handler 0 100 0", "pins 0 8", "span 0 5 0", "handler 5 100 0", "pins 5 8", "span 5 5 0"}));
}

// Graph start: every output reports its current value or streaming state at
// the event's position; inputs and MIDI outputs send nothing.
TEST_F(ProbeFixture, GraphStartSendsFirstUpdatesOfOutputs)
{
    make();
    p->startGraph(3);
    p->run(16);
    std::vector<int> pinsAt3;
    for (auto& u : p->updates)
    {
        EXPECT_EQ(u.position, 3);
        pinsAt3.push_back(u.pin);
    }
    // First updates in pin order, then what onSetPins changed (Value Out 0 -> 1).
    EXPECT_EQ(pinsAt3, std::vector<int>({VALUE_OUT, TEXT_OUT, FLAG_OUT, BLOB_OUT, COUNT_OUT, VALUE_OUT}));
    EXPECT_EQ(p->updates.back().asFloat(), 1.0f);
    ASSERT_GE(p->streamingReports.size(), 2u);
    EXPECT_TRUE(p->streamingReports[0].streaming);  // graph start
    EXPECT_FALSE(p->streamingReports[1].streaming); // the input is a constant
    EXPECT_EQ(p->streamingReports[1].position, 3);
}

// Selecting a routine while running switches at once; while counting down
// to sleep it only replaces the routine the countdown runs.
TEST_F(ProbeFixture, RoutineSelection)
{
    makeRunning();
    std::fill_n(p->input(SIGNAL), 256, 1.0f);
    p->setInt(COMMAND, ROUTINE_MARKER, 10);
    p->run(20);
    EXPECT_EQ(p->output(OUTPUT)[9], 1.0f);
    EXPECT_EQ(p->output(OUTPUT)[10], kMarker);

    // Counting down: the input stops, the output goes static.
    makeRunning();
    p->setConstant(SIGNAL, 1.0f, 0);
    p->run(100);
    clear();
    p->setInt(COMMAND, ROUTINE_MARKER, 10);
    p->run(100);
    EXPECT_EQ(p->output(OUTPUT)[9], 1.0f);
    EXPECT_EQ(p->output(OUTPUT)[10], kMarker) << "the countdown runs the newly selected routine";
    p->runFor(512, 256);
    EXPECT_EQ(p->sleepRequests.size(), 1u);
    // Waking by a streaming input makes the selected routine current.
    p->setStreaming(SIGNAL, true, 0);
    p->run(16);
    EXPECT_EQ(p->output(OUTPUT)[0], kMarker);
}
