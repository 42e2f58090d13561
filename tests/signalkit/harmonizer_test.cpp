// The harmoniser through the built bundle: the voice a chord gives, against
// a model of the ring and its crossfaded taps; notes that leave the chord's
// voices alone; fades in and out at the fade step; note-offs by velocity 0;
// malformed messages; off and on. Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 48000.0f;
using Midi = std::vector<std::pair<int64_t, std::vector<uint8_t>>>;
const std::vector<uint8_t> kC4{0x90, 60, 100}, kG4{0x90, 67, 100};

Recording runChord(int block, const Midi& midi, const qwtest::Signal& x, int64_t length, int fade = 5, int voices = 0)
{
    SignalRun run(L"QW_Harmonizer", kRate, block);
    run.set("On", 1).set("Voices", voices).set("Fade Time", fade);
    if (x)
        run.stream("Signal", x);
    else
        run.constant("Signal", 1.0f);
    for (const auto& [t, m] : midi)
        run.midi("Chord", m, t);
    return run.run(length);
}

// One voice lowered by 7 semitones from `start`: r = 2^(-7/12) = 0.667420,
// increment trunc(2^20 (1 - r)) = 348735, start offset falling by
// (1 - r) / 2048 from 1, gain rising by `step` per sample from 0.
std::vector<double> voiceModel(const qwtest::Signal& x, int64_t length, int64_t start, float step)
{
    const uint32_t inc = 348735;
    const float r = 0.66741993f;
    std::vector<double> ring(4096, 0.0), y;
    uint32_t w = 0, phase = 0;
    float a = 0, g = 0, da = 0, dg = 0;
    for (int64_t t = 0; t < length; ++t)
    {
        if (t == start)
        {
            a = 1.0f;
            da = (1.0f - r) * 0.00048828125f;
            dg = step;
        }
        ring[w >> 20] = x(t);
        const double tri = 1 - 2 * std::fabs(phase / 4294967296.0 - 0.5);
        const double wa = tri + a;
        const uint32_t p = w - phase;
        const double f = (p & 0xFFFFF) / 1048576.0;
        auto tap = [&](uint32_t i) { return ring[i & 4095] * (1 - f) + ring[(i + 1) & 4095] * f; };
        y.push_back(((1 - wa) * tap((p >> 20) ^ 0x800) + wa * tap(p >> 20)) * g);
        if (t >= start)
            phase += inc;
        a = std::max(0.0f, a - da);
        g = std::min(std::max(g + dg, 0.0f), 1.0f);
        w += 0x100000;
    }
    return y;
}

TEST(Harmonizer, FifthBelowFromAChordOfTwoNotes)
{
    const auto x = qwtest::sine(660.0, kRate);
    constexpr int64_t length = 60000;
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        return runChord(block, {{1000, kC4}, {1000, kG4}}, x, length);
    });
    const auto model = voiceModel(x, length, 1000, 1.0f / 240.0f);
    const auto& y = r.out("Voice 1");
    for (int64_t t = 0; t < length; ++t)
        ASSERT_NEAR(y[size_t(t)], model[size_t(t)], 2e-5) << t;
    // 660 Hz x 0.667420 = 440.5 Hz. The two taps, 2048 samples apart, differ
    // by 0.16 of a period at 660 Hz, so each crossfade (every 2^32 / 348735 =
    // 12316 samples) pulls the phase a little: the peak lies within 0.5 %.
    EXPECT_NEAR(qwtest::peakFrequency(y, kRate, 12000, length), 440.497, 0.005 * 440.497);
    for (const char* other : {"Voice 2", "Voice 3"})
        for (float v : r.out(other))
            ASSERT_EQ(v, 0.0f) << other;
}

TEST(Harmonizer, ChordsThatLeaveTheVoiceAlone)
{
    const auto x = qwtest::noise(4, 0.5);
    constexpr int64_t length = 16000;
    const Recording plain = qwtest::sameAtBlocks([&](int block) {
        return runChord(block, {{100, kC4}, {100, kG4}}, x, length);
    });
    // A third note, below or above the chord, held and released again: with
    // one voice, three notes change nothing, and back at two the fifth keeps
    // running without a restart.
    for (uint8_t third : {64, 72})
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            return runChord(block, {{100, kC4}, {100, kG4}, {5000, {0x90, third, 90}}, {9000, {0x80, third, 0}}}, x,
                            length);
        });
        EXPECT_EQ(r.out("Voice 1"), plain.out("Voice 1")) << int(third);
    }
    // Velocity 0 releases like a note-off; malformed and foreign messages,
    // note-offs of notes not held and repeated note-ons change nothing.
    const Midi ignored = {{100, kC4},
                          {100, kG4},
                          {3000, {0x90, 62}},
                          {3000, {0x90, 62, 100, 0}},
                          {3001, {0x80, 50, 0}},
                          {3002, {0x90, 60, 100}},
                          {3003, {0xB0, 7, 100}},
                          {3004, {0x90, 62, 200}},
                          {3005, {0x9F, 67, 1}}};
    EXPECT_EQ(runChord(7, ignored, x, length).out("Voice 1"), plain.out("Voice 1"));
    const Recording off = runChord(64, {{100, kC4}, {100, kG4}, {6000, {0x80, 67, 64}}}, x, length);
    const Recording zero = runChord(64, {{100, kC4}, {100, kG4}, {6000, {0x90, 67, 0}}}, x, length);
    EXPECT_EQ(off.out("Voice 1"), zero.out("Voice 1"));
    EXPECT_NE(off.out("Voice 1"), plain.out("Voice 1"));
}

// With a held input of 1 the ring is all ones after 4096 samples, and each
// voice outputs its gain.
TEST(Harmonizer, FadesInAndOutAtTheFadeStep)
{
    struct Case
    {
        int fade;    // pin value
        double step; // per sample at 48 kHz
    };
    const Case cases[] = {{0, 1.0 / 240}, {5, 1.0 / 240}, {20, 1.0 / 960}, {-7, 1.0 / 240}};
    constexpr int64_t on = 5000, release = 12000;
    for (const Case& c : cases)
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            return runChord(block, {{on, kC4}, {on, kG4}, {release, {0x80, 60, 0}}}, nullptr, 16000, c.fade);
        });
        const auto& y = r.out("Voice 1");
        for (int64_t m = 0; m < 3000; ++m)
        {
            ASSERT_NEAR(y[size_t(on + m)], std::min(1.0, double(m) * c.step), 1e-4) << c.fade << " in at " << m;
            ASSERT_NEAR(y[size_t(release + m)], std::max(0.0, 1.0 - double(m) * c.step), 1e-4)
                << c.fade << " out at " << m;
        }
        // It runs whatever its input does: a held input keeps it streaming.
        EXPECT_EQ(r.lastChange("Voice 1", false), -1);
        EXPECT_EQ(r.lastChange("Voice 1", true), 0);
    }
    // The longest fade, 1000 ms: half way after 24000 samples; 5000 ms is 1000.
    const Midi chord = {{on, kC4}, {on, kG4}};
    const Recording slow = runChord(64, chord, nullptr, on + 24001, 1000);
    EXPECT_NEAR(slow.out("Voice 1")[size_t(on + 24000)], 0.5, 1e-4);
    EXPECT_EQ(runChord(64, chord, nullptr, on + 24001, 5000).out("Voice 1"), slow.out("Voice 1"));
}

TEST(Harmonizer, ThreeVoicesFromFourNotes)
{
    // Voices 3: C4 E4 G4 C5 gives 12, 8 and 5 semitones below C5 on
    // outputs 1 to 3; down to three notes, all fade out.
    const Midi chord = {{100, {0x90, 60, 90}},
                        {100, {0x90, 64, 90}},
                        {100, {0x90, 67, 90}},
                        {100, {0x90, 72, 90}},
                        {20000, {0x80, 64, 0}}};
    // 656.25 Hz repeats every 2048 samples at 48 kHz: both taps of a voice
    // read it in phase, and each voice is a clean sine at 656.25 Hz x r.
    const double f = 656.25;
    const auto x = qwtest::sine(f, kRate);
    const Recording r = qwtest::sameAtBlocks([&](int block) { return runChord(block, chord, x, 21000, 5, 2); });
    const double heard[3] = {f * 0.5, f * std::pow(2.0, -8.0 / 12), f * std::pow(2.0, -5.0 / 12)};
    const char* outs[3] = {"Voice 1", "Voice 2", "Voice 3"};
    for (int v = 0; v < 3; ++v)
    {
        const auto& y = r.out(outs[v]);
        EXPECT_NEAR(qwtest::peakFrequency(y, kRate, 4000, 20000), heard[v], 0.001 * heard[v]) << outs[v];
        for (size_t t = 20300; t < y.size(); ++t)
            ASSERT_EQ(y[t], 0.0f) << outs[v] << " at " << t;
    }
}

TEST(Harmonizer, OffIsSilentAndTakesNoNotes)
{
    const auto x = qwtest::noise(6, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Harmonizer", kRate, block);
        run.set("On", 1).set("Fade Time", 5).stream("Signal", x).midi("Chord", kC4, 10).midi("Chord", kG4, 10);
        run.set("On", 0, 3000).midi("Chord", {0x90, 48, 100}, 3500);
        run.set("On", 1, 4000).midi("Chord", {0x90, 55, 100}, 4500);
        return run.run(9000);
    });
    const auto& y = r.out("Voice 1");
    EXPECT_EQ(r.lastChange("Voice 1", false), 3000);
    EXPECT_EQ(r.lastChange("Voice 1", true), 4000);
    for (size_t t = 3000; t < 4000; ++t)
        ASSERT_EQ(y[t], 0.0f) << t;
    EXPECT_NE(y[2999], 0.0f);
    // Back on, nothing is held: one note alone makes no voice.
    for (size_t t = 4000; t < y.size(); ++t)
        ASSERT_EQ(y[t], 0.0f) << t;
}
} // namespace
