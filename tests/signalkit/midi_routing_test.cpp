// MIDI switches and the voice splitter through the built bundle, with the
// expected messages written out by hand.
#include "midi_fixture.h"

#include <climits>
#include <map>

namespace
{
using namespace midi_test;
using Messages = std::vector<std::string>;

Messages concat(Messages a, const Messages& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- one-to-one switches -----------------------------------------------------

struct SwitchCase
{
    const wchar_t* id;
    bool boolean; // the on pin is a boolean, else a list index (on when non-zero)
};

class Switch11 : public ::testing::TestWithParam<SwitchCase>
{
protected:
    void setOn(MidiModule& m, int value, int offset)
    {
        if (GetParam().boolean)
            m.p->setBool(m.pin("On"), value != 0, offset);
        else
            m.p->setInt(m.pin("On"), value, offset);
    }
};

TEST_P(Switch11, ForwardsWhileOnLosesWhileOffAndEndsNotesWhenSwitchedOff)
{
    MidiModule m(GetParam().id);
    const int in = m.pin("MIDI In"), out = m.pin("MIDI Out");
    m.start();
    const int64_t t0 = m.p->now();
    m.p->setBool(m.pin("All Notes Off"), true, 0);
    m.send(in, "90 3C 64", 10);
    setOn(m, 0, 20);
    m.send(in, "80 3C 00", 30); // lost, not queued
    setOn(m, GetParam().boolean ? 1 : 2, 40);
    m.send(in, "91 40 50", 50);
    m.run(64);

    const auto sent = m.sent(out);
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(sent[0].time, t0 + 10);
    EXPECT_EQ(sent[0].bytes, "90 3C 64");
    Messages burst;
    for (size_t i = 1; i <= 16; ++i)
    {
        EXPECT_EQ(sent[i].time, t0 + 20);
        burst.push_back(sent[i].bytes);
    }
    EXPECT_EQ(burst, allNotesOff());
    EXPECT_EQ(sent[17].time, t0 + 50);
    EXPECT_EQ(sent[17].bytes, "91 40 50");
}

TEST_P(Switch11, OffValuesSendTheBurstOnlyWhenAsked)
{
    MidiModule m(GetParam().id);
    const int out = m.pin("MIDI Out");
    m.start();
    m.p->setBool(m.pin("All Notes Off"), false, 0);
    setOn(m, 0, 5);
    m.run(64);
    EXPECT_TRUE(m.sent(out).empty());

    // Every arrival of an off value sends it, also when already off.
    m.p->setBool(m.pin("All Notes Off"), true, 0);
    setOn(m, 0, 5);
    m.run(64);
    EXPECT_EQ(m.messages(out), allNotesOff());
}

INSTANTIATE_TEST_SUITE_P(Midi, Switch11,
                         ::testing::Values(SwitchCase{L"QW_MIDISwitch11Bool", true},
                                           SwitchCase{L"QW_MIDISwitch11List", false}),
                         [](const auto& info) { return info.param.boolean ? "Bool" : "List"; });

// --- one to many, many to one -----------------------------------------------------

TEST(MidiSwitch1Many, BurstOnTheOutputLeftThenMessagesOnTheNewOne)
{
    MidiModule m(L"QW_MIDISwitch1Many", 3);
    const int in = m.pin("MIDI In"), select = m.pin("Output"), first = m.pin("MIDI Out");
    m.start();
    m.p->setBool(m.pin("All Notes Off"), true, 0);
    m.p->setInt(select, 1, 0);
    m.run(64);
    m.forget();
    const int64_t t0 = m.p->now();

    m.p->setInt(select, 2, 10);
    m.send(in, "90 3C 64", 20);
    m.run(64);
    EXPECT_TRUE(m.sent(first).empty());
    const auto left = m.sent(first + 1);
    ASSERT_EQ(left.size(), 16u);
    EXPECT_EQ(left.front().time, t0 + 10);
    EXPECT_EQ(m.messages(first + 1), allNotesOff());
    ASSERT_EQ(m.sent(first + 2).size(), 1u);
    EXPECT_EQ(m.sent(first + 2)[0].time, t0 + 20);
    EXPECT_EQ(m.sent(first + 2)[0].bytes, "90 3C 64");
}

TEST(MidiSwitch1Many, AnIndexThatNamesNoOutputDropsMessagesAndBursts)
{
    for (int index : {-1, 3, INT_MIN, INT_MAX})
    {
        MidiModule m(L"QW_MIDISwitch1Many", 3);
        const int in = m.pin("MIDI In"), select = m.pin("Output"), first = m.pin("MIDI Out");
        m.start();
        m.p->setBool(m.pin("All Notes Off"), true, 0);
        m.p->setInt(select, index, 0);
        m.run(64);
        m.forget();

        m.send(in, "90 3C 64", 1);
        m.p->setInt(select, 0, 2); // leaves no output: no burst
        m.send(in, "80 3C 00", 3);
        m.run(64);
        for (int k = 0; k < 3; ++k)
        {
            const Messages expected = k == 0 ? Messages{"80 3C 00"} : Messages{};
            EXPECT_EQ(m.messages(first + k), expected) << "index " << index << ", output " << k;
        }
    }
}

TEST(MidiSwitchMany1, ForwardsTheChosenInputOnlyAndSendsTheBurstOnItsOutput)
{
    MidiModule m(L"QW_MIDISwitchMany1", 3);
    const int out = m.pin("MIDI Out"), select = m.pin("Input"), first = m.pin("MIDI In");
    m.start();
    m.p->setBool(m.pin("All Notes Off"), true, 0);
    m.p->setInt(select, 1, 5);
    m.send(first, "90 30 10", 10);
    m.send(first + 1, "90 31 11", 11);
    m.send(first + 2, "90 32 12", 12);
    m.run(64);
    EXPECT_EQ(m.messages(out), concat(allNotesOff(), {"90 31 11"}));

    for (int index : {3, -1, INT_MAX, INT_MIN})
    {
        m.forget();
        m.p->setBool(m.pin("All Notes Off"), false, 0);
        m.p->setInt(select, index, 0);
        for (int k = 0; k < 3; ++k)
            m.send(first + k, "90 3C 64", 1 + k);
        m.run(64);
        EXPECT_TRUE(m.messages(out).empty()) << "index " << index;
    }
}

// --- voice splitter -----------------------------------------------------------------

struct SplitCase
{
    const char* name;
    int outputs;
    int voices;
    bool alwaysRotate;
    bool monoRetrigger;
    bool monoReleaseVelocity;
    Messages in;
    std::map<int, Messages> out; // output index -> messages; outputs not listed send nothing
};

// One message per sample from sample 1 on; the first values' control change
// 123 on every output is not part of the comparison.
std::map<int, Messages> split(const SplitCase& c)
{
    MidiModule m(L"QW_MIDIVoiceSplitter", c.outputs);
    const int in = m.pin("MIDI In");
    m.p->startGraph(0);
    m.p->setInt(m.pin("Voices"), c.voices, 0);
    m.p->setBool(m.pin("Always Rotate"), c.alwaysRotate, 0);
    m.p->setBool(m.pin("Mono Retrigger"), c.monoRetrigger, 0);
    m.p->setBool(m.pin("Mono Release Velocity"), c.monoReleaseVelocity, 0);
    m.run(64);
    m.forget();
    for (size_t i = 0; i < c.in.size(); ++i)
        m.send(in, c.in[i], static_cast<int>(i) + 1);
    m.run(static_cast<int64_t>(c.in.size()) + 64);

    std::map<int, Messages> out;
    const int first = c.outputs > 0 ? m.pin("MIDI Out") : 0;
    for (int k = 0; k < c.outputs; ++k)
    {
        for (auto& s : m.sent(first + k))
        {
            // Output keeps the sample timing of the input.
            const int64_t i = s.time - 64 - 1;
            EXPECT_TRUE(i >= 0 && i < static_cast<int64_t>(c.in.size())) << c.name << ": sent at " << s.time;
            out[k].push_back(s.bytes);
        }
    }
    EXPECT_EQ(m.p->updates.size(),
              [&] {
                  size_t n = 0;
                  for (auto& [k, v] : out)
                      n += v.size();
                  return n;
              }())
        << c.name << ": something was sent on a pin other than the outputs";
    return out;
}

class Splitter : public ::testing::TestWithParam<SplitCase>
{};

TEST_P(Splitter, Scenario)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(split(c), c.out);
}

const SplitCase kSplitCases[] = {
    // Polyphonic: one note per output, in rotation.
    {"ThreeNotesOnFourVoices",
     4,
     4,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    {"ReplayedNoteReturnsToItsVoice",
     4,
     4,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66", "80 3E 28", "90 3E 32"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65", "80 3E 28", "90 3E 32"}}, {2, {"90 40 66"}}}},
    {"ReplayedNoteRotatesOn",
     4,
     4,
     true,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66", "80 3E 28", "90 3E 32"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65", "80 3E 28"}}, {2, {"90 40 66"}}, {3, {"90 3E 32"}}}},
    {"ThirdNoteTakesOverTheFirstVoice",
     2,
     2,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66"},
     {{0, {"90 3C 64", "80 3C 00", "90 40 66"}}, {1, {"90 3E 65"}}}},
    {"SustainHoldsNoteOffsUntilThePedalIsUp",
     2,
     2,
     false,
     false,
     false,
     {"B0 40 7F", "90 3C 64", "80 3C 28", "90 3E 65", "80 3E 29", "B0 40 00"},
     {{0, {"90 3C 64", "80 3C 00"}}, {1, {"90 3E 65", "80 3E 00"}}}},
    {"NoteOnWithVelocityZeroIsANoteOff",
     2,
     2,
     false,
     false,
     false,
     {"90 3C 64", "90 3C 00"},
     {{0, {"90 3C 64", "80 3C 00"}}}},
    {"KeyPressureFollowsItsNote",
     2,
     2,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "A0 3E 10", "A0 41 10"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65", "A0 3E 10"}}}},
    {"BuiltNotesOnChannel1", 2, 2, false, false, false, {"95 3C 64", "85 3C 10"}, {{0, {"90 3C 64", "80 3C 10"}}}},
    {"TwoByteMessagesAndPitchBendAreNotForwarded",
     2,
     2,
     false,
     false,
     false,
     {"90 3C 64", "C0 05", "D0 40", "E0 00 40", "C0 05 00", "B0 07 64", "F8 00 00"},
     {{0, {"90 3C 64"}}}},
    {"AllNotesOffGoesToEveryOutputAndResets",
     3,
     3,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "B5 7B 00", "90 40 66"},
     {{0, {"90 3C 64", "B5 7B 00", "90 40 66"}}, {1, {"90 3E 65", "B5 7B 00"}}, {2, {"B5 7B 00"}}}},
    // Voice counts that name no number of outputs use them all.
    {"ZeroVoicesMeansEveryOutput",
     3,
     0,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66", "90 41 67"},
     {{0, {"90 3C 64", "80 3C 00", "90 41 67"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    {"NegativeVoicesMeansEveryOutput",
     3,
     -1,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    {"TooManyVoicesMeansEveryOutput",
     3,
     4,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66", "90 41 67"},
     {{0, {"90 3C 64", "80 3C 00", "90 41 67"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    {"IntMinVoices",
     3,
     INT_MIN,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    {"IntMaxVoices",
     3,
     INT_MAX,
     false,
     false,
     false,
     {"90 3C 64", "90 3E 65", "90 40 66"},
     {{0, {"90 3C 64"}}, {1, {"90 3E 65"}}, {2, {"90 40 66"}}}},
    // Mono: a note stack on output 0.
    {"MonoFallsBackWithItsOwnVelocity",
     2,
     1,
     false,
     false,
     false,
     {"90 3C 64", "90 40 5A", "80 40 21", "80 3C 14"},
     {{0, {"90 3C 64", "90 40 5A", "90 3C 64", "80 3C 14"}}}},
    {"MonoRetriggerEndsTheSoundingNoteFirst",
     2,
     1,
     false,
     true,
     false,
     {"90 3C 64", "90 40 5A", "80 40 21", "80 3C 14"},
     {{0, {"90 3C 64", "80 3C 00", "90 40 5A", "80 40 00", "90 3C 64", "80 3C 14"}}}},
    {"MonoFallsBackWithTheReleaseVelocity",
     2,
     1,
     false,
     false,
     true,
     {"90 3C 64", "90 40 5A", "80 40 21", "80 3C 14"},
     {{0, {"90 3C 64", "90 40 5A", "90 3C 21", "80 3C 14"}}}},
    // A fallback note-on of velocity 0 would be a note-off: it gets velocity 1.
    {"MonoFallbackNeverHasVelocityZero",
     2,
     1,
     false,
     false,
     true,
     {"90 3C 64", "90 40 5A", "90 40 00"},
     {{0, {"90 3C 64", "90 40 5A", "90 3C 01"}}}},
    {"MonoReleaseOfAHeldOlderNoteSendsNothing",
     1,
     1,
     false,
     false,
     false,
     {"90 3C 64", "90 40 5A", "80 3C 14", "80 40 21"},
     {{0, {"90 3C 64", "90 40 5A", "80 40 21"}}}},
    {"MonoSustainEndsTheNoteWhenThePedalIsUp",
     1,
     1,
     false,
     false,
     false,
     {"90 3C 64", "B0 40 7F", "80 3C 14", "B0 40 00", "80 3C 14"},
     {{0, {"90 3C 64", "80 3C 00"}}}},
    {"MonoKeyPressureOfTheSoundingNoteOnly",
     1,
     1,
     false,
     false,
     false,
     {"90 3C 64", "90 40 5A", "A0 3C 10", "A0 40 11"},
     {{0, {"90 3C 64", "90 40 5A", "A0 40 11"}}}},
    // The same note twice without a release still ends in its note-off.
    {"MonoRepeatedNoteOnEndsInANoteOff",
     1,
     1,
     false,
     false,
     false,
     {"90 3C 64", "90 3C 50", "80 3C 14"},
     {{0, {"90 3C 64", "90 3C 50", "80 3C 14"}}}},
    {"MonoRepeatedOlderNoteMovesToTheTop",
     1,
     1,
     false,
     false,
     false,
     {"90 3C 64", "90 40 5A", "90 3C 50", "80 3C 14", "80 40 21"},
     {{0, {"90 3C 64", "90 40 5A", "90 3C 50", "90 40 5A", "80 40 21"}}}},
    // Notes released under the pedal never come back: 58 was released long
    // before 62 ends and must not sound again.
    {"MonoReleasedNotesStayReleasedAfterSustain",
     1,
     1,
     false,
     false,
     false,
     {"90 3A 10", "90 3C 11", "90 3E 12", "B0 40 7F", "80 3E 00", "B0 40 00", "80 3A 00", "90 3E 13", "80 3C 00",
      "80 3E 00"},
     {{0, {"90 3A 10", "90 3C 11", "90 3E 12", "80 3E 00", "90 3E 13", "80 3E 00"}}}},
    // Data bytes of 128 and above, and running status, are dropped.
    {"MalformedMessagesAreDropped",
     2,
     2,
     false,
     false,
     false,
     {"90 BC 64", "90 3C E4", "3C 64 00", "B0 FB 00", "80 3C", "90 3C 64 00"},
     {}},
    {"NoOutputsDropsEverything", 0, 2, false, false, false, {"90 3C 64", "B0 7B 00", "B0 40 7F"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Midi, Splitter, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MidiVoiceSplitter, FirstValuesAndEveryVoiceCountChangeSendAllNotesOffOnEveryOutput)
{
    MidiModule m(L"QW_MIDIVoiceSplitter", 3);
    const int in = m.pin("MIDI In"), voices = m.pin("Voices"), first = m.pin("MIDI Out");
    m.p->startGraph(0);
    m.p->setInt(voices, 2, 0);
    m.run(64);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(m.messages(first + k), Messages{"B0 7B 00"}) << "output " << k;

    // A change resets the voices: the next note goes to output 0 again.
    m.forget();
    m.send(in, "90 3C 64", 1);
    m.p->setInt(voices, 3, 2);
    m.p->setInt(voices, 3, 3); // the same count again changes nothing
    m.send(in, "90 3E 64", 4);
    m.run(64);
    EXPECT_EQ(m.messages(first), (Messages{"90 3C 64", "B0 7B 00", "90 3E 64"}));
    EXPECT_EQ(m.messages(first + 1), Messages{"B0 7B 00"});
    EXPECT_EQ(m.messages(first + 2), Messages{"B0 7B 00"});
}

// Messages of every size with any bytes: nothing is read past a message, and
// every message built or forwarded is 3 bytes with data bytes below 128.
TEST(MidiVoiceSplitter, HostileMessagesKeepOutputWellFormed)
{
    for (int voices : {1, 2, 3})
    {
        MidiModule m(L"QW_MIDIVoiceSplitter", 3);
        const int in = m.pin("MIDI In");
        m.p->startGraph(0);
        m.p->setInt(m.pin("Voices"), voices, 0);
        m.p->setBool(m.pin("Mono Retrigger"), true, 0);
        m.run(64);
        uint32_t s = 12345;
        for (int i = 0; i < 2000; ++i)
        {
            s = s * 1664525u + 1013904223u;
            Bytes msg(s >> 29); // 0 to 7 bytes, then 8 below
            if (i % 9 == 0)
                msg.resize(8);
            for (auto& b : msg)
            {
                s = s * 1664525u + 1013904223u;
                b = static_cast<uint8_t>(s >> 24);
            }
            // Mostly note and controller messages, so the voices stay busy.
            if (!msg.empty() && i % 3)
                msg[0] = static_cast<uint8_t>(0x80 | (msg[0] & 0x3F));
            m.p->sendMidi(in, msg, i % 64);
            if (i % 64 == 63)
                m.run(64);
        }
        m.run(64);
        for (auto& u : m.p->updates)
        {
            ASSERT_EQ(u.data.size(), 3u);
            EXPECT_GE(u.data[0], 0x80);
            EXPECT_LT(u.data[1], 0x80);
            EXPECT_LT(u.data[2], 0x80);
        }
    }
}
} // namespace
