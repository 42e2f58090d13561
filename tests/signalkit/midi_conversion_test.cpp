// MIDI to control signals and microtuning through the built bundle: gates,
// pitch and velocity against the volt convention (1.0 = 10 V, 1 V per
// octave, 5 V at note 69), pulses, and the tuning table against tuned
// positions worked out by hand.
#include "midi_fixture.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

namespace
{
using namespace midi_test;
using Edges = std::vector<std::pair<int64_t, bool>>;

// Runs `samples` samples and returns what each audio output held, sample by sample.
std::map<int, std::vector<float>> record(MidiModule& m, const std::vector<int>& outs, int64_t samples)
{
    std::map<int, std::vector<float>> r;
    const int block = m.host.blockSize;
    for (int64_t done = 0; done < samples; done += block)
    {
        const int n = static_cast<int>(std::min<int64_t>(block, samples - done));
        m.p->run(n);
        for (int pin : outs)
            r[pin].insert(r[pin].end(), m.p->output(pin), m.p->output(pin) + n);
    }
    return r;
}

// --- QW_MIDIMono2CV --------------------------------------------------------------------

struct Mono2CV : ::testing::Test
{
    MidiModule m{L"QW_MIDIMono2CV"};
    int in = m.pin("MIDI In"), gate = m.pin("Gate"), pitch = m.pin("Pitch"), velocity = m.pin("Velocity"),
        release = m.pin("Release Velocity"), pressure = m.pin("Pressure");

    void SetUp() override { m.start(); }
    std::map<int, std::vector<float>> run(int64_t samples)
    {
        return record(m, {pitch, velocity, release, pressure}, samples);
    }
    // Time of the block that the next run starts with.
    int64_t t0 = 64;
};

TEST_F(Mono2CV, NoteOnSetsGatePitchAndVelocity)
{
    m.send(in, "90 3C 7F", 10);
    m.send(in, "90 45 40", 30); // note 69: exactly 5 V
    auto r = run(64);
    EXPECT_EQ(m.bools(gate), (Edges{{t0 + 10, true}}));
    EXPECT_EQ(r[pitch][9], 0.0f);
    EXPECT_EQ(r[velocity][9], 0.0f);
    EXPECT_FLOAT_EQ(r[pitch][10], 0.425f);
    EXPECT_FLOAT_EQ(r[pitch][29], 0.425f);
    EXPECT_EQ(r[velocity][10], 1.0f);
    EXPECT_EQ(r[pitch][30], 0.5f);
    EXPECT_FLOAT_EQ(r[velocity][30], 64.0f / 127.0f);
    // New constant levels are announced at the samples where they start.
    const Edges staticAt{{t0 + 10, false}, {t0 + 10, false}, {t0 + 30, false}, {t0 + 30, false}};
    EXPECT_EQ(m.streaming(pitch), staticAt);
}

TEST_F(Mono2CV, OffThenOnInOneSampleRetriggersTheGate)
{
    m.send(in, "90 3C 64", 5);
    m.send(in, "80 3C 28", 20);
    m.send(in, "90 40 64", 20);
    auto r = run(64);
    EXPECT_EQ(m.bools(gate), (Edges{{t0 + 5, true}, {t0 + 20, false}, {t0 + 21, true}}));
    EXPECT_FLOAT_EQ(r[pitch][20], 0.425f); // the old pitch while closed
    EXPECT_FLOAT_EQ(r[pitch][21], 0.5f - 5.0f / 120.0f);
    EXPECT_FLOAT_EQ(r[release][20], 40.0f / 127.0f);
}

// A note that starts and ends in one sample opens the gate for that sample
// and leaves it closed; the gate does not stay open without a note.
TEST_F(Mono2CV, OnThenOffInOneSampleLeavesTheGateClosed)
{
    m.send(in, "90 3C 64", 20);
    m.send(in, "80 3C 28", 20);
    m.send(in, "80 3C 00", 40); // dropped: no note
    auto r = run(64);
    EXPECT_EQ(m.bools(gate), (Edges{{t0 + 20, true}, {t0 + 21, false}}));
    EXPECT_FLOAT_EQ(r[pitch][20], 0.425f);
    EXPECT_FLOAT_EQ(r[release][21], 40.0f / 127.0f);

    // Off, on, off in one sample: closed, open for one sample, closed.
    m.forget();
    m.send(in, "90 3C 64", 0);
    m.send(in, "80 3C 01", 10);
    m.send(in, "90 3E 64", 10);
    m.send(in, "80 3E 02", 10);
    run(64);
    const int64_t t1 = t0 + 64;
    EXPECT_EQ(m.bools(gate), (Edges{{t1, true}, {t1 + 10, false}, {t1 + 11, true}, {t1 + 12, false}}));
}

TEST_F(Mono2CV, NoteOffOfAnyNoteAndVelocityZeroCloseTheGate)
{
    struct Row
    {
        const char* off;
        float releaseVelocity;
    };
    for (const Row& row : {Row{"80 3E 30", 48.0f / 127.0f}, Row{"90 3C 00", 0.0f}, Row{"B3 7B 00", 0.0f}})
    {
        MidiModule n(L"QW_MIDIMono2CV");
        const int nin = n.pin("MIDI In");
        n.start();
        n.send(nin, "90 3C 64", 3);
        n.send(nin, row.off, 9);
        auto r = record(n, {n.pin("Release Velocity")}, 64);
        EXPECT_EQ(n.bools(n.pin("Gate")), (Edges{{67, true}, {73, false}})) << row.off;
        EXPECT_FLOAT_EQ(r[n.pin("Release Velocity")][9], row.releaseVelocity) << row.off;
    }
}

TEST_F(Mono2CV, KeyPressureFollowsANoteOnly)
{
    m.send(in, "A0 3C 50", 2); // before any note: ignored
    m.send(in, "90 3C 64", 10);
    m.send(in, "A0 3E 40", 20); // any note number
    m.send(in, "80 3C 00", 40);
    m.send(in, "A0 3C 40", 50); // after the note: ignored
    auto r = run(64);
    EXPECT_EQ(r[pressure][5], 0.0f);
    EXPECT_EQ(r[pressure][19], 0.0f);
    EXPECT_FLOAT_EQ(r[pressure][20], 64.0f / 127.0f);
    EXPECT_FLOAT_EQ(r[pressure][39], 64.0f / 127.0f);
    EXPECT_EQ(r[pressure][40], 0.0f);
    EXPECT_EQ(r[pressure][63], 0.0f);
    EXPECT_EQ(m.streaming(pressure), (Edges{{t0 + 20, true}, {t0 + 40, false}}));
}

TEST_F(Mono2CV, MalformedMessagesAreIgnored)
{
    for (const char* msg : {"90 BC 64", "90 3C C0", "3C 64 00", "90 3C", "90 3C 64 00", "", "C0 05"})
        m.send(in, msg, 3);
    auto r = run(64);
    EXPECT_TRUE(m.bools(gate).empty());
    EXPECT_EQ(r[pitch][63], 0.0f);
}

// --- QW_MIDINote2Gate ------------------------------------------------------------------

TEST(MidiNote2Gate, WatchesOneNoteOnChannelOne)
{
    struct Row
    {
        bool releaseVelocity;
        float afterOff; // velocity output after the note-off
    };
    for (const Row& row : {Row{false, 100.0f / 127.0f}, Row{true, 20.0f / 127.0f}})
    {
        MidiModule m(L"QW_MIDINote2Gate");
        const int in = m.pin("MIDI In"), gate = m.pin("Gate"), velocity = m.pin("Velocity");
        m.p->startGraph(0);
        m.p->setInt(m.pin("Note"), 64, 0);
        m.p->setBool(m.pin("Release Velocity"), row.releaseVelocity, 0);
        m.run(64);
        m.forget();
        m.send(in, "90 3C 64", 1); // another note
        m.send(in, "91 40 64", 2); // channel 2
        m.send(in, "90 40 64", 10);
        m.send(in, "81 40 14", 15); // channel 2
        m.send(in, "80 40 14", 20);
        m.send(in, "B1 7B 00", 25); // channel 2
        auto r = record(m, {velocity}, 64);
        EXPECT_EQ(m.bools(gate), (Edges{{74, true}, {84, false}}));
        EXPECT_EQ(r[velocity][9], 0.0f);
        EXPECT_FLOAT_EQ(r[velocity][10], 100.0f / 127.0f);
        EXPECT_FLOAT_EQ(r[velocity][63], row.afterOff);
    }
}

TEST(MidiNote2Gate, AllNotesOffAndVelocityZeroClose)
{
    struct Row
    {
        const char* off;
        bool releaseVelocity;
        float after;
    };
    const Row rows[] = {
        {"B0 7B 00", false, 0.0f},
        {"90 3C 00", false, 90.0f / 127.0f}, // a note-off: the velocity stays
        {"90 3C 00", true, 0.0f},            // a note-off with release velocity 0
    };
    for (const Row& row : rows)
    {
        MidiModule m(L"QW_MIDINote2Gate");
        const int in = m.pin("MIDI In"), gate = m.pin("Gate"), velocity = m.pin("Velocity");
        m.p->startGraph(0);
        m.p->setInt(m.pin("Note"), 60, 0);
        m.p->setBool(m.pin("Release Velocity"), row.releaseVelocity, 0);
        m.run(64);
        m.forget();
        m.send(in, "90 3C 5A", 10);
        m.send(in, row.off, 20);
        auto r = record(m, {velocity}, 64);
        EXPECT_EQ(m.bools(gate), (Edges{{74, true}, {84, false}})) << row.off;
        EXPECT_FLOAT_EQ(r[velocity][63], row.after) << row.off;
    }
}

// --- program change to triggers -------------------------------------------------------

TEST(MidiPC2TriggerBool, OneSamplePulsePerProgramChange)
{
    MidiModule m(L"QW_MidiPC2TriggerBool");
    const int in = m.pin("MIDI In"), out = m.pin("Trigger");
    m.start();
    m.send(in, "C5 01", 10);
    m.send(in, "C0", 20);       // any size
    m.send(in, "90 3C 64", 30); // not a program change
    m.send(in, "", 40);
    m.send(in, "C0 05", 63); // the pulse ends in the next block
    m.run(128);
    EXPECT_EQ(m.bools(out), (Edges{{74, true}, {75, false}, {84, true}, {85, false}, {127, true}, {128, false}}));
}

struct PulseCase
{
    int length;
    float volts;
    int64_t samples; // expected pulse length
};

class PC2Trigger : public ::testing::TestWithParam<PulseCase>
{};

TEST_P(PC2Trigger, PulseOfTheSetLengthAndLevel)
{
    const PulseCase& c = GetParam();
    MidiModule m(L"QW_MidiPC2Trigger");
    const int in = m.pin("MIDI In"), out = m.pin("Pulse");
    m.p->startGraph(0);
    m.p->setFloat(m.pin("Level"), c.volts, 0);
    m.p->setInt(m.pin("Length"), c.length, 0);
    m.run(64);
    m.forget();
    m.send(in, "C0 01", 10);
    if (c.samples > 2)
        m.send(in, "C3 02", 10 + static_cast<int>(c.samples / 2)); // during the pulse: ignored
    auto r = record(m, {out}, 256);
    const float level = c.volts * 0.1f;
    for (int64_t i = 0; i < 256; ++i)
        ASSERT_EQ(r[out][static_cast<size_t>(i)], i >= 10 && i < 10 + c.samples ? level : 0.0f) << "sample " << i;
    EXPECT_EQ(m.streaming(out), (Edges{{74, true}, {74 + c.samples, false}}));

    // The next program change after the pulse starts a new one.
    m.forget();
    m.send(in, "C0 01", 0);
    auto again = record(m, {out}, 64);
    EXPECT_EQ(again[out][0], level);
    EXPECT_EQ(m.streaming(out).front(), std::make_pair(int64_t{320}, true));
}

INSTANTIATE_TEST_SUITE_P(Midi, PC2Trigger,
                         ::testing::Values(PulseCase{0, 10.0f, 1}, PulseCase{1, 10.0f, 1}, PulseCase{-5, 10.0f, 1},
                                           PulseCase{INT_MIN, 2.0f, 1}, PulseCase{2, -3.0f, 2},
                                           PulseCase{100, 5.0f, 100}));

TEST(MidiPC2Trigger, NonFiniteLevelGivesAFinitePulse)
{
    for (float volts : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()})
    {
        MidiModule m(L"QW_MidiPC2Trigger");
        const int out = m.pin("Pulse");
        m.p->startGraph(0);
        m.p->setFloat(m.pin("Level"), volts, 0);
        m.send(m.pin("MIDI In"), "C0 01", 5);
        auto r = record(m, {out}, 64);
        EXPECT_TRUE(std::isfinite(r[out][5])) << volts;
        EXPECT_EQ(r[out][5], std::isnan(volts) ? 0.0f : std::copysign(FLT_MAX * 0.1f, volts)) << volts;
    }
}

// --- QW_Microtuning --------------------------------------------------------------------

struct Microtuning : ::testing::Test
{
    MidiModule m{L"QW_Microtuning"};
    int in = m.pin("Pitch"), out = m.pin("Tuned Pitch");
    int step(int k) const { return m.pin("A") + k; }

    void SetUp() override
    {
        m.p->startGraph(0);
        m.p->setStreaming(in, true, 0);
    }
    // The tuned value of each input.
    std::vector<float> tune(const std::vector<float>& inputs)
    {
        std::vector<float> r;
        for (size_t at = 0; at < inputs.size(); at += 64)
        {
            const int n = static_cast<int>(std::min<size_t>(64, inputs.size() - at));
            std::copy(inputs.begin() + static_cast<long>(at), inputs.begin() + static_cast<long>(at) + n,
                      m.p->input(in));
            m.p->run(n);
            r.insert(r.end(), m.p->output(out), m.p->output(out) + n);
        }
        return r;
    }
};

TEST_F(Microtuning, NoDeviationIsTheIdentity)
{
    std::vector<float> sweep;
    for (int i = -3000; i <= 3000; ++i)
        sweep.push_back(static_cast<float>(i) * 0.0007f);
    sweep.push_back(-1e-10f); // a whole volt lies a rounding error above it
    sweep.push_back(1e-10f);
    const auto r = tune(sweep);
    for (size_t i = 0; i < sweep.size(); ++i)
        ASSERT_NEAR(r[i], sweep[i], 1e-6f * (1.0f + std::fabs(sweep[i]))) << "input " << sweep[i];
    EXPECT_NEAR(r[sweep.size() - 2], -1e-10f, 1e-9f);
}

TEST_F(Microtuning, AStepFollowsItsDeviationAndNeighboursInterpolate)
{
    const float semitone = 1.0f / 120.0f;
    m.p->setFloat(step(1), 50.0f, 0); // A# half a semitone higher
    struct Row
    {
        float in, out;
    };
    const Row rows[] = {
        {0.5f, 0.5f},                                      // A stays on the whole volt
        {0.5f + semitone, 0.5f + 1.5f * semitone},         // A# at 1.5 semitones
        {0.5f + 0.5f * semitone, 0.5f + 0.75f * semitone}, // half-way between A and A#
        {0.5f + 1.5f * semitone, 0.5f + 1.75f * semitone}, // half-way between A# and B
        {0.5f + 2.0f * semitone, 0.5f + 2.0f * semitone},  // B untouched
        {0.2f + semitone, 0.2f + 1.5f * semitone},         // every octave
        {-0.3f + semitone, -0.3f + 1.5f * semitone},       // below 0 V too
        {0.5f - 0.5f * semitone, 0.5f - 0.5f * semitone},  // G# to A untouched
    };
    std::vector<float> inputs;
    for (auto& row : rows)
        inputs.push_back(row.in);
    const auto r = tune(inputs);
    for (size_t i = 0; i < inputs.size(); ++i)
        EXPECT_NEAR(r[i], rows[i].out, 2e-6f) << "input " << rows[i].in;
}

TEST_F(Microtuning, StepZeroMovesEveryWholeVoltAndTheOctaveAbove)
{
    const float semitone = 1.0f / 120.0f;
    m.p->setFloat(step(0), 100.0f, 0);
    const auto r = tune({0.5f, 0.6f - 0.5f * semitone, -0.2f});
    EXPECT_NEAR(r[0], 0.5f + semitone, 2e-6f);
    // Half-way between G# (untouched) and the A above (a semitone higher).
    EXPECT_NEAR(r[1], 0.6f, 2e-6f);
    EXPECT_NEAR(r[2], -0.2f + semitone, 2e-6f);
}

TEST_F(Microtuning, NonFiniteAndHugeInputsPassUnchanged)
{
    const float inf = std::numeric_limits<float>::infinity();
    m.p->setFloat(step(3), 30.0f, 0);
    const auto r = tune({std::numeric_limits<float>::quiet_NaN(), inf, -inf, FLT_MAX, -FLT_MAX});
    EXPECT_TRUE(std::isnan(r[0]));
    EXPECT_EQ(r[1], inf);
    EXPECT_EQ(r[2], -inf);
    EXPECT_EQ(r[3], FLT_MAX);
    EXPECT_EQ(r[4], -FLT_MAX);
}

TEST_F(Microtuning, NonFiniteDeviationsKeepTheOutputFinite)
{
    const float inf = std::numeric_limits<float>::infinity();
    m.p->setFloat(step(0), std::numeric_limits<float>::quiet_NaN(), 0); // counts as 0
    m.p->setFloat(step(1), inf, 0);
    m.p->setFloat(step(2), -inf, 0);
    const auto r = tune({0.5f, 0.5f + 0.5f / 120.0f, 0.5f + 1.5f / 120.0f});
    EXPECT_NEAR(r[0], 0.5f, 1e-6f);
    EXPECT_TRUE(std::isfinite(r[1]));
    EXPECT_TRUE(std::isfinite(r[2]));
}

TEST_F(Microtuning, OutputStreamsWhenTheInputDoes)
{
    m.p->run(64);
    m.forget();
    m.p->setConstant(in, 0.3f, 10);
    m.p->setFloat(step(5), 10.0f, 20); // a new constant level while static
    m.p->setStreaming(in, true, 30);
    m.p->run(64);
    EXPECT_EQ(m.streaming(out), (Edges{{74, false}, {84, false}, {94, true}}));
}
} // namespace
