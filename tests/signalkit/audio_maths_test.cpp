// The audio-rate maths modules through the built bundle: every routine the
// option pins select against values worked out here (a sample of 1.0 is
// 10 V), the streaming and sleep rules, zeros before the first option, and
// what non-finite and huge samples get.
#include "audio_module_fixture.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <set>

namespace
{
using qwtest::kInfF;
using qwtest::kNaNF;
using qwtest::near;
using qwtest::StreamedModule;

constexpr double kPi = 3.14159265358979323846;

struct Case
{
    const wchar_t* id;
    std::vector<std::pair<const char*, double>> options;
    std::vector<std::pair<const char*, std::vector<float>>> in;
    const char* out;
    std::vector<double> expected;
    double tol = 0.0; // absolute; 0: exactly
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> rows = {
        // Angles: radians, degrees and turns of the volts; the result is 0.1 cos.
        {L"QW_AudioCos", {{"Unit", 0}}, {{"X", {0.1f, 0.0f}}}, "Output", {0.1 * std::cos(1.0), 0.1}, 2e-8},
        {L"QW_AudioCos", {{"Unit", 1}}, {{"X", {9.0f, 18.0f}}}, "Output", {0.0, -0.1}, 2e-8},
        {L"QW_AudioCos", {{"Unit", 2}}, {{"X", {0.0125f, 0.1f}}}, "Output", {0.1 * std::cos(kPi / 4), 0.1}, 2e-8},
        {L"QW_AudioSin", {{"Unit", 0}}, {{"X", {0.1f}}}, "Output", {0.1 * std::sin(1.0)}, 2e-8},
        {L"QW_AudioSin", {{"Unit", 1}}, {{"X", {3.0f}}}, "Output", {0.05}, 2e-8},
        {L"QW_AudioSin", {{"Unit", INT_MIN}}, {{"X", {0.025f}}}, "Output", {0.1}, 2e-8},
        // Exponent: 2^(volts) in volts; accurate 0.1 x 2^128 still fits a
        // float (though 2^128 does not), 0.1 x 2^200 saturates; the fast form
        // stays finite.
        {L"QW_AudioExp",
         {{"Base", 0}, {"Precision", 1}},
         {{"X", {0.1f, 12.8f, 20.0f, -20.0f}}},
         "Output",
         {0.2, std::ldexp(0.1, 128), FLT_MAX, 0.0},
         1e-7},
        {L"QW_AudioExp", {{"Base", 1}, {"Precision", 1}}, {{"X", {0.1f}}}, "Output", {0.1 * std::exp(1.0)}, 1e-7},
        {L"QW_AudioExp",
         {{"Base", INT_MAX}, {"Precision", INT_MIN}},
         {{"X", {0.05f}}},
         "Output",
         {0.1 * std::sqrt(10.0)},
         1e-6},
        {L"QW_AudioExp", {{"Base", 0}, {"Precision", 0}}, {{"X", {0.1f, -0.1f}}}, "Output", {0.2, 0.05}, 0.2 * 5.2e-5},
        {L"QW_AudioExp", {{"Base", 10}, {"Precision", 0}}, {{"X", {0.2f}}}, "Output", {10.0}, 10.0 * 5.2e-5},
        // Rounding of volts: towards zero, or to nearest with halves away.
        {L"QW_AudioRound", {{"Rounding", 0}}, {{"X", {0.17f, -0.17f, 0.05f}}}, "Output", {0.1, -0.1, 0.0}, 1e-8},
        {L"QW_AudioRound", {{"Rounding", 1}}, {{"X", {0.15f, -0.05f, 0.14f}}}, "Output", {0.2, -0.1, 0.1}, 1e-8},
        {L"QW_AudioFrac", {}, {{"X", {0.17f, -0.17f, 0.3f}}}, "Output", {0.07, -0.07, 0.0}, 1e-7},
        {L"QW_AudioRngScal",
         {},
         {{"X", {0.5f, 0.5f}},
          {"Input Low", {0.0f, 0.2f}},
          {"Input High", {1.0f, 0.2f}},
          {"Output Low", {2.0f, 2.0f}},
          {"Output High", {4.0f, 4.0f}}},
         "Output",
         {3.0, 2.0},
         1e-7},
        // Logarithm of volts in volts; accurate of 0 or less is -Inf.
        {L"QW_AudioLog",
         {{"Base", 0}, {"Precision", 1}},
         {{"X", {0.8f, 0.0f, -0.1f}}},
         "Output",
         {0.3, -INFINITY, -INFINITY},
         1e-7},
        {L"QW_AudioLog", {{"Base", 1}, {"Precision", 1}}, {{"X", {0.1f}}}, "Output", {0.0}, 1e-7},
        {L"QW_AudioLog", {{"Base", 2}, {"Precision", 1}}, {{"X", {10.0f}}}, "Output", {0.2}, 1e-7},
        {L"QW_AudioLog",
         {{"Base", 0}, {"Precision", 0}},
         {{"X", {0.8f, 0.3f}}},
         "Output",
         {0.3, 0.1 * std::log2(3.0)},
         0.001},
        // Larger and smaller input, signed or by magnitude (ties: a, or b).
        {L"QW_AudioMax", {{"Comparison", 0}}, {{"A", {0.1f, 0.2f}}, {"B", {0.3f, -0.5f}}}, "Output", {0.3, 0.2}},
        {L"QW_AudioMax", {{"Comparison", 1}}, {{"A", {-0.5f, -0.3f}}, {"B", {0.3f, 0.3f}}}, "Output", {-0.5, 0.3}},
        {L"QW_AudioMin", {{"Comparison", 0}}, {{"A", {0.1f, 0.2f}}, {"B", {0.3f, -0.5f}}}, "Output", {0.1, -0.5}},
        {L"QW_AudioMin", {{"Comparison", 7}}, {{"A", {-0.5f, -0.3f}}, {"B", {0.3f, 0.3f}}}, "Output", {0.3, 0.3}},
        // Running extremes from 0.
        {L"QW_AudioMinMax", {}, {{"X", {0.5f, 0.5f, -0.2f, 0.7f}}}, "Minimum", {0.0, 0.0, -0.2, -0.2}},
        {L"QW_AudioMinMax", {}, {{"X", {0.5f, 0.5f, -0.2f, 0.7f}}}, "Maximum", {0.5, 0.5, 0.5, 0.7}},
        // Power of volts: 2 V ^ 3 V = 8 V; a negative base gives 0 in every form.
        {L"QW_AudioPow",
         {{"Precision", 2}},
         {{"Base", {0.2f, -0.2f}}, {"Exponent", {0.3f, 0.3f}}},
         "Output",
         {0.8, 0.0},
         1e-7},
        {L"QW_AudioPow",
         {{"Precision", 1}},
         {{"Base", {0.2f, -0.2f}}, {"Exponent", {0.3f, 0.3f}}},
         "Output",
         {0.8, 0.0},
         3e-6},
        {L"QW_AudioPow",
         {{"Precision", 0}},
         {{"Base", {0.2f, -0.2f}}, {"Exponent", {0.3f, 0.3f}}},
         "Output",
         {0.8, 0.0},
         0.8 * 0.03},
        // Powers beyond the float range saturate, 0 to a negative power too;
        // 0.1 x 2^128 fits though 2^128 does not.
        {L"QW_AudioPow",
         {{"Precision", 2}},
         {{"Base", {0.2f, 0.0f, 1e20f}}, {"Exponent", {12.8f, -0.1f, 0.3f}}},
         "Output",
         {std::ldexp(0.1, 128), FLT_MAX, FLT_MAX},
         1e-7},
        {L"QW_AudioPow",
         {{"Precision", 1}},
         {{"Base", {0.2f, 0.0f, 1e20f}}, {"Exponent", {12.8f, -0.1f, 0.3f}}},
         "Output",
         {std::ldexp(0.1, 128), FLT_MAX, FLT_MAX},
         1e-4 * std::ldexp(0.1, 128)}, // the logarithm's error, times 128
        {L"QW_AudioSqrt", {}, {{"X", {0.4f, -0.1f, 0.0f}}}, "Output", {0.2, 0.0, 0.0}, 1e-8},
        {L"QW_AudioWrap",
         {},
         {{"X", {-0.25f, 1.3f, 0.3f}}, {"Range", {1.0f, 0.5f, 0.0f}}},
         "Output",
         {0.75, 0.3, 0.0},
         1e-6},
        // Clip: crossed bounds give the lower bound below it, the upper above.
        {L"QW_AudioClip",
         {{"Clip", 2}},
         {{"X", {0.3f, 0.7f}}, {"Lower Bound", {0.5f, 0.5f}}, {"Upper Bound", {0.2f, 0.2f}}},
         "Output",
         {0.5, 0.2}},
        {L"QW_AudioClip",
         {{"Clip", 0}},
         {{"X", {0.1f, 0.7f}}, {"Lower Bound", {0.5f, 0.5f}}, {"Upper Bound", {0.2f, 0.2f}}},
         "Output",
         {0.5, 0.7}},
        {L"QW_AudioClip",
         {{"Clip", 1}},
         {{"X", {0.1f, 0.7f}}, {"Lower Bound", {0.5f, 0.5f}}, {"Upper Bound", {0.2f, 0.2f}}},
         "Output",
         {0.1, 0.2}},
        // Polar and Cartesian: the radius raw, the angle in volts.
        {L"QW_AudioP2C", {{"Unit", 1}}, {{"Radius", {0.5f}}, {"Angle", {9.0f}}}, "Im", {0.5}, 1e-7},
        {L"QW_AudioP2C", {{"Unit", 2}}, {{"Radius", {0.5f}}, {"Angle", {0.05f}}}, "Re", {-0.5}, 1e-7},
        {L"QW_AudioP2C", {{"Unit", 0}}, {{"Radius", {2.0f}}, {"Angle", {0.1f}}}, "Re", {2.0 * std::cos(1.0)}, 1e-6},
        {L"QW_AudioC2P", {{"Unit", 2}}, {{"Re", {0.0f}}, {"Im", {-1.0f}}}, "Angle", {0.075}, 1e-7},
        {L"QW_AudioC2P", {{"Unit", 1}}, {{"Re", {0.0f}}, {"Im", {-1.0f}}}, "Angle", {27.0}, 2e-5},
        {L"QW_AudioC2P", {{"Unit", 0}}, {{"Re", {0.0f}}, {"Im", {-1.0f}}}, "Angle", {0.15 * kPi}, 1e-6},
        {L"QW_AudioC2P", {{"Unit", 0}}, {{"Re", {0.3f}}, {"Im", {-0.4f}}}, "Radius", {0.5}, 1e-7},
        {L"QW_AudioRadius", {}, {{"Re", {0.3f}}, {"Im", {0.4f}}}, "Output", {0.5}, 1e-7},
        {L"QW_AudioAngle", {{"Unit", 1}}, {{"Re", {0.0f, 1.0f}}, {"Im", {1.0f, 0.0f}}}, "Output", {9.0, 0.0}, 1e-5},
        // Sign of 0 is 1 V.
        {L"QW_AudioSign", {}, {{"X", {0.0f, -0.5f, -0.0f, 2.0f}}}, "Output", {0.1, -0.1, 0.1, 0.1}, 1e-9},
        // Crossfade, the mix unclamped: mix 2 gives 2b - a.
        {L"QW_AudioXFade",
         {},
         {{"A", {0.1f, 0.1f}}, {"B", {0.3f, 0.3f}}, {"Mix", {2.0f, 0.5f}}},
         "Output",
         {0.5, 0.2},
         1e-7},
        // Tangent: 45 degrees in each unit is 1 V.
        {L"QW_AudioTan", {{"Unit", 0}}, {{"X", {static_cast<float>(kPi / 40)}}}, "Output", {0.1}, 1e-6},
        {L"QW_AudioTan", {{"Unit", 1}}, {{"X", {4.5f, -4.5f}}}, "Output", {0.1, -0.1}, 1e-6},
        {L"QW_AudioTan", {{"Unit", 2}}, {{"X", {0.0125f, 0.0f}}}, "Output", {0.1, 0.0}, 1e-6},
        // From 2^24 turns up every float is a whole number of turns: tangent 0.
        {L"QW_AudioTan", {{"Unit", 2}}, {{"X", {3e38f, -3e38f, 1e7f}}}, "Output", {0.0, 0.0, 0.0}, 0.0},
        // Inf/NaN cleaning.
        {L"QW_AudioInfNanCln",
         {{"Cleaning", 0}},
         {{"X", {kInfF, -kInfF, kNaNF, 0.3f}}},
         "Output",
         {1.0, -1.0, 0.0, 0.3},
         1e-9},
        {L"QW_AudioInfNanCln",
         {{"Cleaning", 1}},
         {{"X", {kInfF, -kInfF, kNaNF, 0.3f}}},
         "Output",
         {0.0, 0.0, 0.0, 0.3},
         1e-9},
    };
    return rows;
}

std::string describe(const Case& c)
{
    std::string s = gmpi_sdk::toUtf8(c.id);
    for (auto& [name, value] : c.options)
        s += std::string(" ") + name + "=" + std::to_string(static_cast<long long>(value));
    return s + " -> " + c.out;
}

TEST(AudioMaths, EveryRoutineGivesTheWorkedOutValues)
{
    for (const Case& c : cases())
    {
        StreamedModule m(c.id);
        m.p->startGraph();
        for (auto& [name, value] : c.options)
            m.set(name, value);
        std::map<std::string, std::vector<float>> in(c.in.begin(), c.in.end());
        auto out = m.stream(in);
        const auto& y = out[m.pin(c.out)];
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE(near(y[i], c.expected[i], c.tol)) << describe(c) << ", sample " << i;
    }
}

// MinMax: a reset while the input holds 0.5 starts again from 0.
TEST(AudioMaths, MinMaxResetStartsFromZero)
{
    StreamedModule m(L"QW_AudioMinMax");
    m.p->startGraph();
    const int x = m.pin("X");
    m.stream({{x, {-0.4f, 0.9f}}});
    m.p->setConstant(x, 0.5f);
    m.set("Reset", 1);
    m.p->run(4);
    EXPECT_EQ(m.p->output(m.pin("Minimum"))[0], 0.0f);
    EXPECT_EQ(m.p->output(m.pin("Maximum"))[0], 0.5f);
    // An infinite sample is passed over like NaN: the extremes stay finite.
    auto out = m.stream({{x, {kInfF, -kInfF, kNaNF, 0.7f}}});
    EXPECT_EQ(out[m.pin("Minimum")], (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(out[m.pin("Maximum")], (std::vector<float>{0.5f, 0.5f, 0.5f, 0.7f}));
}

// One module per streaming rule: an input that stops at offset k makes the
// output not streaming at k; one more host block is processed, then the
// module sleeps.
TEST(AudioMaths, StoppedInputReportsThenSleepsAfterOneBlock)
{
    for (const wchar_t* id : {L"QW_AudioCos", L"QW_AudioSqrt", L"QW_AudioTan"})
    {
        StreamedModule m(id);
        m.p->startGraph();
        const int x = m.pin("X"), out = m.pin("Output");
        m.stream({{x, std::vector<float>(128, 0.01f)}});
        ASSERT_TRUE(m.reportsOf(out).back().streaming) << gmpi_sdk::toUtf8(id);
        const int64_t k = m.p->now() + 10;
        m.p->setConstant(x, 0.02f, 10);
        for (int b = 0; b < 6; ++b)
            m.p->run(64);
        const auto reports = m.reportsOf(out);
        EXPECT_FALSE(reports.back().streaming) << gmpi_sdk::toUtf8(id);
        EXPECT_EQ(reports.back().time, k) << gmpi_sdk::toUtf8(id);
        ASSERT_FALSE(m.p->sleepRequests.empty()) << gmpi_sdk::toUtf8(id);
        // The countdown of 64 samples from k ends in the block after k's.
        EXPECT_EQ(m.p->sleepRequests.front(), k / 64 + 1) << gmpi_sdk::toUtf8(id);
        EXPECT_TRUE(m.p->asleep());
    }
}

// A unit change on a static input is announced, so the held value follows.
TEST(AudioMaths, TanUnitChangeOnAStaticInputShows)
{
    StreamedModule m(L"QW_AudioTan");
    m.p->startGraph();
    const int x = m.pin("X"), out = m.pin("Output");
    m.set("Unit", 1);
    m.p->setConstant(x, 4.5f); // 45 degrees
    for (int b = 0; b < 4; ++b)
        m.p->run(64);
    ASSERT_TRUE(m.p->asleep());
    m.set("Unit", 2, 5); // 45 turns: tan 0
    m.p->run(64);
    const auto last = m.reportsOf(out).back();
    EXPECT_FALSE(last.streaming);
    EXPECT_EQ(last.position, 5);
    EXPECT_TRUE(near(m.p->output(out)[4], 0.1, 1e-6));
    EXPECT_TRUE(near(m.p->output(out)[5], 0.0, 1e-6));
}

// The same for the cleaning of an infinite constant.
TEST(AudioMaths, InfNanCleaningChangeOnAStaticInputShows)
{
    StreamedModule m(L"QW_AudioInfNanCln");
    m.p->startGraph();
    const int x = m.pin("X"), out = m.pin("Output");
    m.p->setConstant(x, kInfF);
    for (int b = 0; b < 4; ++b)
        m.p->run(64);
    m.set("Cleaning", 1, 3);
    m.p->run(64);
    const auto last = m.reportsOf(out).back();
    EXPECT_FALSE(last.streaming);
    EXPECT_EQ(last.position, 3);
    EXPECT_EQ(m.p->output(out)[3], 0.0f);
}

// Until their option pin gets a value, modules that choose a routine by it
// write zeros.
TEST(AudioMaths, NoOptionYetGivesZeros)
{
    for (const wchar_t* id :
         {L"QW_AudioExp", L"QW_AudioLog", L"QW_AudioRound", L"QW_AudioMax", L"QW_AudioMin", L"QW_AudioPow",
          L"QW_AudioClip", L"QW_AudioTan", L"QW_AudioInfNanCln", L"QW_FreqConv_Audio", L"QW_RngClp"})
    {
        StreamedModule m(id);
        std::map<int, std::vector<float>> in;
        for (int pin : m.audioPins(gmpi::MP_IN))
            in[pin] = std::vector<float>(16, 0.3f);
        for (int pin : m.audioPins(gmpi::MP_OUT))
            std::fill_n(m.p->output(pin), 64, 7.0f);
        for (auto& [pin, samples] : m.stream(in))
            for (float s : samples)
                ASSERT_EQ(s, 0.0f) << gmpi_sdk::toUtf8(id) << " output " << pin;
    }
}

// Every routine of every module (each option value, INT_MIN and INT_MAX
// among them) takes NaN, +-Inf and huge samples; for finite samples only the
// modules that are specified so give a value that is not finite. Huge values
// go to single-input modules; where inputs combine, results of finite inputs
// may genuinely leave the float range, so those get large but safe values.
TEST(AudioMaths, BadSamplesInEveryRoutine)
{
    const std::set<std::wstring> nonFinite = {L"QW_AudioLog", L"QW_V2dB_Audio", L"QW_FreqConv_Audio"};
    const wchar_t* ids[] = {L"QW_AudioCos",       L"QW_AudioSin",       L"QW_AudioExp",   L"QW_AudioRound",
                            L"QW_AudioFrac",      L"QW_AudioRngScal",   L"QW_AudioLog",   L"QW_AudioMax",
                            L"QW_AudioMin",       L"QW_AudioMinMax",    L"QW_AudioPow",   L"QW_AudioSqrt",
                            L"QW_AudioWrap",      L"QW_AudioClip",      L"QW_AudioP2C",   L"QW_AudioC2P",
                            L"QW_AudioRadius",    L"QW_AudioAngle",     L"QW_AudioSign",  L"QW_AudioXFade",
                            L"QW_AudioTan",       L"QW_AudioInfNanCln", L"QW_dB2V_Audio", L"QW_V2dB_Audio",
                            L"QW_FreqConv_Audio", L"QW_RngClp",         L"QW_EarPlug",    L"QW_SlidingMax",
                            L"QW_ZXDet",          L"QW_InfNanFltDet",   L"QW_SortAudio",  L"QW_MinMaxIndex"};
    const std::vector<float> single = {3.4e38f, -3.4e38f, 1e30f,  -1e30f, 1e-38f, 1e-45f, 0.0f,   -7.5f,
                                       kNaNF,   kInfF,    -kInfF, 2e9f,   -2e9f,  0.05f,  123.0f, -0.0f};
    const std::vector<float> combined = {1e15f, -1e15f, 3e4f,   -3e4f, 1e-3f, 0.0f,  -7.5f,  12.8f,
                                         kNaNF, kInfF,  -kInfF, 2e2f,  -2e2f, 0.05f, 123.0f, -0.0f};
    for (const wchar_t* id : ids)
    {
        std::vector<int> optionPins;
        {
            StreamedModule probe(id);
            for (int i = 0; i < probe.p->pinCount(); ++i)
                if (probe.p->pinInfo(i).direction == gmpi::MP_IN && probe.p->pinInfo(i).datatype != gmpi::MP_AUDIO &&
                    probe.p->pinInfo(i).datatype != gmpi::MP_BOOL)
                    optionPins.push_back(i);
        }
        for (int value : {0, 1, 2, 3, 4, INT_MIN, INT_MAX})
        {
            StreamedModule m(id, 3);
            m.p->startGraph();
            for (int pin : optionPins)
                m.set(pin, value);
            const auto inputs = m.audioPins(gmpi::MP_IN);
            const std::vector<float>& base = inputs.size() == 1 ? single : combined;
            std::map<int, std::vector<float>> in;
            for (size_t k = 0; k < inputs.size(); ++k)
                for (size_t i = 0; i < base.size(); ++i)
                    in[inputs[k]].push_back(base[(i + 5 * k) % base.size()]);
            const auto out = m.stream(in, 7);
            if (nonFinite.count(id))
                continue;
            for (auto& [pin, samples] : out)
                for (size_t i = 0; i < samples.size(); ++i)
                {
                    bool finiteIn = true;
                    for (auto& [p, s] : in)
                        finiteIn &= std::isfinite(s[i]);
                    if (finiteIn)
                    {
                        EXPECT_TRUE(std::isfinite(samples[i]))
                            << gmpi_sdk::toUtf8(id) << " option " << value << " output " << pin << " sample " << i
                            << ": " << samples[i];
                    }
                }
        }
    }
}
} // namespace
