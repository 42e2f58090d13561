// Audio near the float limit. The all-modules test sees that every output
// stays finite while it lasts; here: results whose float arithmetic overflows
// on the way to a value that fits come out as that value, results beyond the
// float range saturate, and modules with state (sums, histories, lines)
// return to what they give without the burst once it has passed.
#include "audio_module_fixture.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace
{
using qwtest::StreamedModule;

std::string nameOf(const wchar_t* id)
{
    return gmpi_sdk::toUtf8(id);
}

// Inputs sample by sample, the expected output worked out here in double.
TEST(NearTheFloatLimit, ResultsThatFitComeOutAndTheRestSaturates)
{
    struct Case
    {
        const wchar_t* id;
        std::vector<std::pair<std::string, double>> options;
        std::map<std::string, std::vector<float>> in;
        std::string out;
        std::vector<double> expected;
    } cases[] = {
        // The squares overflow a float; the radius fits (or saturates).
        {L"QW_AudioRadius",
         {},
         {{"Re", {2e19f, 3e38f, -3e38f}}, {"Im", {-2e19f, 3e38f, 1.0f}}},
         "Output",
         {std::sqrt(8e38), FLT_MAX, 3e38}},
        {L"QW_AudioC2P",
         {{"Unit", 0}},
         {{"Re", {2e19f, -3e38f}}, {"Im", {2e19f, -3e38f}}},
         "Radius",
         {std::sqrt(8e38), FLT_MAX}},
        // (1 - 2) 3e38 + 2 x 2e38 = 1e38, though 2 x 2e38 overflows.
        {L"QW_AudioXFade",
         {},
         {{"A", {3e38f, 1e30f}}, {"B", {2e38f, -1e30f}}, {"Mix", {2.0f, -1e9f}}},
         "Output",
         {1e38, FLT_MAX}},
        // Input ranges and differences beyond the float range: (x - lo) / (hi - lo) of the output range.
        {L"QW_AudioRngScal",
         {},
         {{"X", {3e38f, 0.0f, -2.9e38f, 1.0f}},
          {"Input Low", {-3e38f, -3e38f, -3e38f, 0.0f}},
          {"Input High", {3e38f, 3e38f, 3e38f, 1e-30f}},
          {"Output Low", {0.0f, 0.0f, 0.0f, 0.0f}},
          {"Output High", {1.0f, 2.0f, 6.0f, 1e10f}}},
         "Output",
         {1.0, 1.0, (double{-2.9e38f} + double{3e38f}) * 6.0 / (2.0 * double{3e38f}), FLT_MAX}},
        // Mirrored at 3e38 to 9e38, then at 3.4e38 back to -2.2e38.
        {L"QW_RngClp",
         {{"Mode", 1}},
         {{"X", {-3e38f}}, {"Lower Bound", {3e38f}}, {"Upper Bound", {3.4e38f}}},
         "Output",
         {2.0 * double{3.4e38f} - 3.0 * double{3e38f}}},
        {L"QW_Derivator", {}, {{"Signal", {3e38f, -3e38f, 3e38f}}}, "Output", {3e38, -FLT_MAX, FLT_MAX}},
        {L"QW_CenterShift", {}, {{"Input", {-3e38f, 3e38f}}, {"Shift", {-3e38f, 1e38f}}}, "Output", {-FLT_MAX, 2e38}},
        // kHz (tenths) to octave volts (tenths): 5 + log2(1e4 x / 440) V,
        // though 1000 x overflows; 1e36 x 1000 Hz saturates.
        {L"QW_FreqConv_Audio",
         {{"From", 1}, {"To", 2}},
         {{"Input", {1e36f}}},
         "Output",
         {0.1 * (5.0 + std::log2(1e4 * double{1e36f} / 440.0))}},
        {L"QW_FreqConv_Audio", {{"From", 1}, {"To", 0}}, {{"Input", {1e36f, 1e30f}}}, "Output", {FLT_MAX, 1e33}},
        // A wavelength of 2e-37 samples: fs / (4400 x) overflows a float; its octave fits.
        {L"QW_FreqConv_Audio",
         {{"From", 3}, {"To", 2}},
         {{"Input", {2e-38f}}},
         "Output",
         {0.1 * (5.0 + std::log2(44100.0 / (4400.0 * double{2e-38f})))}},
        {L"QW_FreqConv_Audio", {{"From", 3}, {"To", 0}}, {{"Input", {2e-38f}}}, "Output", {FLT_MAX}},
    };
    for (auto& c : cases)
    {
        StreamedModule m(c.id);
        m.p->startGraph();
        for (auto& [name, value] : c.options)
            m.set(name, value);
        auto out = m.stream(c.in);
        const auto& y = out[m.pin(c.out)];
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE(qwtest::near(y[i], c.expected[i], 0.0) ||
                        std::fabs(y[i] - c.expected[i]) <= 1e-6 * std::fabs(c.expected[i]))
                << nameOf(c.id) << " " << c.out << " sample " << i << ": " << y[i] << ", expected " << c.expected[i];
    }
}

// Input near the float limit: the noise's sign at 0.5 to 1 of the largest float.
qwtest::Signal nearLimit(uint32_t seed)
{
    const qwtest::Signal n = qwtest::noise(seed);
    return [n](int64_t t) {
        const float x = n(t);
        return std::copysign(FLT_MAX * (0.5f + 0.5f * std::fabs(x)), x);
    };
}

constexpr int64_t kBurstFrom = 500, kBurstTo = 800, kRun = 16384, kCompareFrom = 12288;
constexpr float kRate = 48000.0f;

// After a burst near the float limit a module with state gives, within a
// settling time, what a module that never had the burst gives: no sum, line
// or history stays saturated or carries the burst's rounding.
TEST(NearTheFloatLimit, StateRecoversAfterABurst)
{
    struct Case
    {
        const wchar_t* id;
        std::vector<std::string> signals;
        std::vector<std::pair<std::string, double>> settings;
        std::vector<std::pair<std::string, float>> held;
        std::string modulated; // an audio control streaming a sweep (none: "")
        double tolerance;
    } cases[] = {
        {L"QW_Integrator", {"Signal"}, {}, {{"Leak", 0.9f}}, "", 1e-5},
        {L"QW_MovingAvg", {"Signal"}, {{"Window", 100}}, {}, "", 1e-5},
        {L"QW_MovingAvg", {"Signal"}, {{"Window", 5000}, {"Magnitude", 1}}, {}, "", 1e-5},
        {L"QW_Biquad2", {"Signal"}, {{"Q", 2}, {"Sections", 4}}, {{"Cutoff", 100.0f}}, "", 1e-5},
        {L"QW_Biquad2ST", {"Left", "Right"}, {{"Filter Type", 2}, {"Q", 4}}, {}, "Cutoff", 1e-5},
        {L"QW_StereoBiquad", {"Left", "Right"}, {{"Filter Type", 1}, {"Sections", 3}}, {{"Cutoff", 300.0f}}, "", 1e-5},
        {L"QW_PeakGain2", {"Signal"}, {{"Gain", 12}}, {{"Frequency", 100.0f}}, "", 1e-5},
        {L"QW_PeakGainST", {"Left", "Right"}, {{"Gain", -12}}, {}, "Frequency", 1e-5},
        {L"QW_LPF2", {"Signal"}, {}, {{"Cutoff", 100.0f}}, "", 1e-5},
        {L"QW_CombFilter2", {"Signal"}, {{"Feedback", 0.5}}, {{"Delay", 1.05f}}, "", 1e-5},
        {L"QW_CombFlt", {"Signal"}, {}, {{"Delay", 1.05f}, {"Feedback", 0.5f}}, "", 1e-5},
        {L"QW_FracDelay", {"Signal"}, {{"Delay", 10.3}}, {}, "", 1e-6},
        {L"QW_Glider", {"Signal"}, {}, {{"Time", 0.0001f}}, "", 1e-6},
        {L"QW_PitchShifter", {"Signal"}, {{"Frame Size", 7}, {"Anti-Alias", 1}}, {{"Pitch", 0.05f}}, "", 1e-5},
        {L"QW_PitchShifter", {"Signal"}, {{"Frame Size", 6}}, {{"Pitch", -0.05f}}, "", 1e-5},
    };
    for (auto& c : cases)
    {
        auto runWith = [&](bool burst) {
            qwtest::SignalRun run(c.id, kRate, 64);
            for (auto& [pin, v] : c.settings)
                run.set(pin, v);
            for (auto& [pin, v] : c.held)
                run.constant(pin, v);
            if (!c.modulated.empty())
                run.stream(c.modulated,
                           [](int64_t t) { return 100.0f + 50.0f * std::sin(0.001f * static_cast<float>(t)); });
            uint32_t seed = 5;
            for (auto& pin : c.signals)
            {
                const qwtest::Signal ordinary = qwtest::noise(seed, 0.5), huge = nearLimit(seed + 100);
                run.stream(pin,
                           [=](int64_t t) { return burst && t >= kBurstFrom && t < kBurstTo ? huge(t) : ordinary(t); });
                ++seed;
            }
            return run.run(kRun);
        };
        const qwtest::Recording with = runWith(true), without = runWith(false);
        for (auto& [pin, samples] : with.outputs)
        {
            const auto& reference = without.outputs.at(pin);
            for (int64_t t = 0; t < kRun; ++t)
                ASSERT_TRUE(std::isfinite(samples[size_t(t)])) << nameOf(c.id) << " output " << pin << " at " << t;
            double worst = 0.0;
            for (int64_t t = kCompareFrom; t < kRun; ++t)
                worst = std::max(worst, std::fabs(double{samples[size_t(t)]} - reference[size_t(t)]));
            EXPECT_LE(worst, c.tolerance) << nameOf(c.id) << " output " << pin;
        }
    }
}
} // namespace

namespace
{
// Feedback loops driven to the float limit by a constant excitation of 2e38
// with a loop gain of 1 (or near it): every pass adds 2e38 to what came
// round, so from the third pass on the loop holds the largest float and
// gives it out exactly; until then every sample is finite. The sums on the
// way overflow a float (the loop sum, the fractional read that meets the
// saturated pass, the mix of dry and wet), so each must saturate. At blocks
// of 1, 7, 64 and 256 (longer than the loop): a loop cleared where a sum
// overflowed would differ with the block size.
TEST(NearTheFloatLimit, FeedbackLoopsSaturateAndStayThere)
{
    struct Case
    {
        const wchar_t* id;
        std::string input;
        std::vector<std::pair<std::string, double>> settings;
        std::vector<std::pair<std::string, float>> held;
        float excitation;
        int64_t silentUntil; // the loop's length: nothing comes round before
        float saturated;     // from `settled` on (NaN: no value it settles at)
        int64_t settled = 800, length = 1500;
    } cases[] = {
        // 0.5 V at 44.1 kHz: a loop of 100.227 samples, read through the all-pass.
        {L"QW_DWG2", "Excitation", {{"On", 1}, {"Loss", 0}}, {{"Pitch", 0.5f}, {"Gain", 1.0f}}, 2e38f, 100, FLT_MAX},
        {L"QW_DWG2", "Excitation", {{"On", 1}, {"Loss", 0}}, {{"Pitch", 0.5f}, {"Gain", 1.0f}}, -2e38f, 100, -FLT_MAX},
        // -0.03 V: a loop of 100.227 x 2^5.3 = 3949 samples, nearly the whole
        // line, so a span run again reads entries the first run overwrote.
        {L"QW_DWG2",
         "Excitation",
         {{"On", 1}, {"Loss", 0}},
         {{"Pitch", -0.03f}, {"Gain", 1.0f}},
         2e38f,
         3900,
         FLT_MAX,
         12500,
         13500},
        // The excitation added to the output too: y + 2e38 / 2 saturates.
        {L"QW_DWG2",
         "Excitation",
         {{"On", 1}, {"Loss", 0}, {"Add Excitation", 1}},
         {{"Pitch", 0.5f}, {"Gain", 1.0f}},
         2e38f,
         0,
         FLT_MAX},
        // A one-pole loss filter in the loop (its phase delay off the length).
        {L"QW_DWG2", "Excitation", {{"On", 1}, {"Loss", 5}}, {{"Pitch", 0.5f}, {"Gain", 1.0f}}, 2e38f, 90, FLT_MAX},
        // A period of 100.5 samples, reflection 1 with the gate open (its
        // envelope reaches 1 within 200 samples) and no loss.
        {L"QW_DWG",
         "Excitation",
         {{"On", 1}},
         {{"Period", 10.05f}, {"Gate", 1.0f}, {"Reflection", 1.0f}, {"Loss", 0.0f}},
         2e38f,
         100,
         FLT_MAX},
        // The second line taken off (a whole period: no all-pass): y = a - b / 2
        // with a saturated and b = -2e38.
        {L"QW_DWG",
         "Excitation",
         {{"On", 1}, {"Second Line", 1}},
         {{"Period", 10.0f}, {"Gate", 1.0f}, {"Reflection", 1.0f}, {"Loss", 0.0f}},
         -2e38f,
         100,
         -FLT_MAX + 1e38f},
        // Wet only, feedback 1: the delayed sum. Then dry 1 too.
        {L"QW_CombFilter2",
         "Signal",
         {{"Feedback", 1}, {"Dry", 0}, {"Wet", 1}},
         {{"Delay", 10.05f}},
         2e38f,
         100,
         FLT_MAX},
        {L"QW_CombFilter2",
         "Signal",
         {{"Feedback", 1}, {"Dry", 1}, {"Wet", 1}},
         {{"Delay", 10.05f}},
         -2e38f,
         0,
         -FLT_MAX},
        // Feedback -1: the line holds x and 0 by turns, the output x + d
        // overflows on every other pass (nothing written does).
        {L"QW_CombFilter2", "Signal", {{"Feedback", -1}, {"Dry", 1}, {"Wet", 1}}, {{"Delay", 10.05f}}, 2e38f, 0, NAN},
        // The older comb's feedback at -1: y = 2 x - d overflows at once and
        // the passes swing on near the limit (no value they settle at: NaN).
        {L"QW_CombFlt", "Signal", {}, {{"Delay", 10.05f}, {"Feedback", -1.0f}}, 2e38f, 0, NAN},
    };
    for (auto& c : cases)
    {
        const std::string what = nameOf(c.id) + " " + std::to_string(c.excitation) + " " +
                                 (c.settings.empty() ? "" : c.settings.back().first);
        const qwtest::Recording r = qwtest::sameAtBlocks(
            [&](int block) {
                qwtest::SignalRun run(c.id, 44100.0f, block);
                for (auto& [pin, v] : c.settings)
                    run.set(pin, v);
                for (auto& [pin, v] : c.held)
                    run.constant(pin, v);
                const float x = c.excitation;
                run.stream(c.input, [x](int64_t) { return x; });
                return run.run(c.length);
            },
            {1, 7, 64, 256});
        const auto& y = r.out("Output");
        for (int64_t t = 0; t < c.length; ++t)
            ASSERT_TRUE(std::isfinite(y[size_t(t)])) << what << " at " << t;
        for (int64_t t = 0; t < c.silentUntil; ++t)
            ASSERT_EQ(y[size_t(t)], 0.0f) << what << " at " << t;
        for (int64_t t = c.settled; t < c.length && !std::isnan(c.saturated); ++t)
            ASSERT_EQ(y[size_t(t)], c.saturated) << what << " at " << t;
    }
}
} // namespace

namespace
{
// The waveguide adding its excitation to the output, driven by noise near
// the float limit: the output's sum can overflow at a sample where nothing
// the loop writes does, and must saturate there too.
TEST(NearTheFloatLimit, WaveguideWithTheExcitationAddedStaysFinite)
{
    for (bool highPass : {false, true})
    {
        const qwtest::Recording r = qwtest::sameAtBlocks([&](int block) {
            qwtest::SignalRun run(L"QW_DWG2", 44100.0f, block);
            run.set("On", 1).set("Add Excitation", 1).set("High Pass", highPass ? 1 : 0).set("Loss", 5);
            run.stream("Excitation", nearLimit(11));
            return run.run(3000);
        });
        const auto& y = r.out("Output");
        for (size_t t = 0; t < y.size(); ++t)
            ASSERT_TRUE(std::isfinite(y[t])) << "high pass " << highPass << " at " << t;
    }
}
} // namespace
