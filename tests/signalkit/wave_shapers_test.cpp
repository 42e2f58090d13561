// Wave shapers through the built bundle: harmonics of the Chebyshev outputs,
// a table of transfer points worked out from each shaper's formula, the
// crusher's hold and quantiser, the freezer's edges, and hostile values.
#include "audio_fixture.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <set>

namespace
{
using qwtest::AudioModule;
constexpr double kPi = 3.14159265358979323846;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(Chebyshev, HarmonicsOfAHalfAmplitudeCosine)
{
    AudioModule m(L"QW_Chebyshev", 48000.0f, 4);
    m.start();
    m.streaming("Input", true);
    const double w = 2 * kPi * 441.0 / 48000.0;
    m.run(2000, 64, [&](int, int64_t t) { return static_cast<float>(0.5 * std::cos(w * double(t))); });
    ASSERT_EQ(m.out.size(), 4u);
    int k = 1;
    for (auto& [pin, y] : m.out)
    {
        for (int64_t t = 0; t < 2000; ++t)
            ASSERT_NEAR(y[size_t(t)], 0.5 * std::cos(k * w * double(t)), 1e-5) << "harmonic " << k << " at " << t;
        ++k;
    }
    for (int pin = 1; pin <= 4; ++pin)
        EXPECT_EQ(m.reports(m.p->pinInfo(pin).name).back().second, true);
}

TEST(Chebyshev, WithoutOutputsRunsNothing)
{
    AudioModule m(L"QW_Chebyshev", 44100.0f, 0);
    EXPECT_EQ(m.p->pinCount(), 1);
    m.start();
    m.streaming("Input", true);
    m.run(1024, 64, [](int, int64_t) { return 0.5f; });
    EXPECT_TRUE(m.p->updates.empty());
    EXPECT_TRUE(m.p->streamingReports.empty());
}

// One transfer point of a shaper: the input held streaming at x, the control
// (audio) or option pin at its value, the output after one block.
struct Point
{
    const wchar_t* id;
    const char* control; // pin name
    float c;
    float x;
    const char* output;
    double expected;
};

float transfer(const Point& pt)
{
    AudioModule m(pt.id);
    m.start();
    const int control = m.pin(pt.control);
    if (m.p->pinInfo(control).datatype == gmpi::MP_AUDIO)
        m.p->setConstant(control, pt.c);
    else if (m.p->pinInfo(control).datatype == gmpi::MP_BOOL)
        m.p->setBool(control, pt.c != 0.0f);
    else
        m.p->setFloat(control, pt.c);
    m.streaming("Input", true);
    m.run(64, 64, [&](int pin, int64_t) { return pin == m.pin("Input") ? pt.x : pt.c; });
    return m.output(pt.output).back();
}

TEST(WaveShapers, TransferPoints)
{
    const double fastAtEighth = [] {
        // The smooth-step sine at the phase 0.125 turns.
        const double f = 0.125, w = std::fabs(2 * f - 0.5) - 1, a = std::fabs(w);
        return 2 * (3 - 2 * a) * w * w - 1;
    }();
    const Point points[] = {
        {L"QW_CenterClip", "Threshold", 0.1f, 0.05f, "Output", 0.0},
        {L"QW_CenterClip", "Threshold", 0.1f, -0.2f, "Output", -0.2},
        {L"QW_CenterClip", "Threshold", 0.1f, 0.1f, "Output", 0.1},
        {L"QW_CenterClip", "Threshold", -0.1f, 0.05f, "Output", 0.05},
        {L"QW_CenterClip", "Threshold", -0.1f, 0.0f, "Output", 0.0},
        {L"QW_CenterShift", "Shift", 0.1f, 0.3f, "Output", 0.2},
        {L"QW_CenterShift", "Shift", 0.1f, -0.3f, "Output", -0.2},
        {L"QW_CenterShift", "Shift", 0.1f, 0.05f, "Output", 0.0},
        {L"QW_SoftClip", "Hardness", 0.0f, 0.3f, "Output", 0.3},
        {L"QW_SoftClip", "Hardness", 0.0f, -0.7f, "Output", -0.7},
        {L"QW_SoftClip", "Hardness", -3.0f, 0.7f, "Output", 0.7},
        {L"QW_SoftClip", "Hardness", 1.0f, 0.3f, "Output", 1.0},
        {L"QW_SoftClip", "Hardness", 1.0f, -0.3f, "Output", -1.0},
        {L"QW_SoftClip", "Hardness", 1.0f, 0.0f, "Output", 0.0},
        {L"QW_SoftClip", "Hardness", 5.0f, 0.3f, "Output", 1.0},
        {L"QW_SoftClip", "Hardness", 0.5f, 0.5f, "Output", 0.5 / (0.5 * 0.5 + 0.5)},
        {L"QW_SoftClip", "Hardness", 0.5f, 2.0f, "Output", 2.0 / (0.5 + 0.5 * 2.0)},
        {L"QW_SoftClip", "Hardness", 0.0f, 1e30f, "Output", 1e30},
        {L"QW_SoftClip", "Hardness", 1.0f, 1e-40f, "Output", 0.0},
        {L"QW_SignSplit", "Invert Negative", 0.0f, -0.4f, "Negative", -0.4},
        {L"QW_SignSplit", "Invert Negative", 0.0f, -0.4f, "Positive", 0.0},
        {L"QW_SignSplit", "Invert Negative", 1.0f, -0.4f, "Negative", 0.4},
        {L"QW_SignSplit", "Invert Negative", 1.0f, 0.3f, "Positive", 0.3},
        {L"QW_SignSplit", "Invert Negative", 1.0f, 0.3f, "Negative", 0.0},
        {L"QW_SineShaper", "Drive", 0.025f, 1.0f, "Output", 1.0},
        {L"QW_SineShaper", "Drive", 0.025f, 0.5f, "Output", std::sin(2 * kPi * 0.125)},
        {L"QW_SineShaper", "Drive", 0.025f, -1.0f, "Output", -1.0},
        {L"QW_SineShaper", "Drive", 1e30f, 1e30f, "Output", 0.0},
        {L"QW_DeNoiser", "Threshold dB", -20.0f, 0.15f, "Output", 0.05},
        {L"QW_DeNoiser", "Threshold dB", -20.0f, -0.15f, "Output", -0.05},
        {L"QW_DeNoiser", "Threshold dB", -20.0f, 0.05f, "Output", 0.0},
        {L"QW_DeNoiser", "Threshold dB", kNaN, 0.05f, "Output", 0.05},
        {L"QW_DeNoiser", "Threshold dB", kInf, 0.5f, "Output", 0.0},
    };
    for (const Point& pt : points)
        EXPECT_NEAR(transfer(pt), pt.expected, 1e-5 * std::max(1.0, std::fabs(pt.expected)))
            << gmpi_sdk::toUtf8(pt.id) << " " << pt.control << " " << pt.c << ", x " << pt.x;

    // The smooth-step routine: the same extremes, its own curve between them.
    for (auto [x, expected] : {std::pair<float, double>{1.0f, 1.0}, {0.5f, fastAtEighth}, {-1.0f, -1.0}})
    {
        AudioModule m(L"QW_SineShaper");
        m.start();
        m.p->setBool(m.pin("Accurate"), false);
        m.p->setConstant(m.pin("Drive"), 0.025f);
        m.streaming("Input", true);
        m.run(64, 64, [x = x](int, int64_t) { return x; });
        EXPECT_NEAR(m.output("Output").back(), expected, 1e-6) << "fast, x " << x;
    }
}

// Until its routine is chosen the sine shaper writes silence.
TEST(SineShaper, SilentUntilARoutineIsChosen)
{
    AudioModule m(L"QW_SineShaper");
    m.p->setConstant(m.pin("Drive"), 0.025f);
    m.streaming("Input", true);
    std::fill_n(m.p->output(m.pin("Output")), 256, 7.0f);
    m.run(64, 64, [](int, int64_t) { return 1.0f; });
    for (float y : m.output("Output"))
        ASSERT_EQ(y, 0.0f);
    m.p->setBool(m.pin("Accurate"), true);
    m.run(64, 64, [](int, int64_t) { return 1.0f; });
    EXPECT_NEAR(m.output("Output").back(), 1.0f, 1e-6);
}

// The crusher over a ramp: taken samples, held values.
std::vector<float> crush(float rate, int bits, const std::function<float(int64_t)>& x, int64_t total = 256)
{
    AudioModule m(L"QW_Crusher", 48000.0f);
    m.start();
    m.p->setFloat(m.pin("Rate"), rate);
    m.p->setInt(m.pin("Bits"), bits);
    m.streaming("Input", true);
    m.run(total, 7, [&](int, int64_t t) { return x(t); });
    return m.output("Output");
}

TEST(Crusher, QuantisesToTheMiddleOfEachStep)
{
    auto ramp = [](int64_t t) { return -1.5f + 3.0f * float(t) / 256.0f; }; // -1.5 .. 1.5
    const auto one = crush(0.0f, 1, ramp);
    for (int64_t t = 0; t < 256; ++t)
        EXPECT_NEAR(one[size_t(t)], ramp(t) >= 0.0f ? 0.5f : -0.5f, 1e-6) << t;
    EXPECT_NEAR(crush(0.0f, 1, [](int64_t) { return 1.0f; }).back(), 0.5f, 1e-6);
    EXPECT_NEAR(crush(0.0f, 1, [](int64_t) { return 7.0f; }).back(), 0.5f, 1e-6);

    const auto two = crush(0.0f, 2, ramp);
    for (int64_t t = 0; t < 256; ++t)
    {
        const float x = std::clamp(ramp(t), -1.0f, 1.0f);
        const double level = x < -0.5f ? -0.75 : (x < 0.0f ? -0.25 : (x < 0.5f ? 0.25 : 0.75));
        EXPECT_NEAR(two[size_t(t)], level, 1e-6) << t;
    }
    // Bits limited to [1, 32]; 32 passes the signal.
    for (int64_t t : {0, 100, 255})
    {
        EXPECT_NEAR(crush(0.0f, INT_MIN, ramp)[size_t(t)], one[size_t(t)], 0.0) << t;
        EXPECT_EQ(crush(0.0f, INT_MAX, ramp)[size_t(t)], ramp(t)) << t;
    }
}

TEST(Crusher, HoldsAtTheRate)
{
    auto ramp = [](int64_t t) { return float(t) / 1024.0f; };
    const auto quarter = crush(12000.0f, 32, ramp);
    for (int64_t t = 0; t < 256; ++t)
        ASSERT_EQ(quarter[size_t(t)], ramp(t / 4 * 4)) << t;
    // At or below 0, not a number and far above the rate: every sample.
    for (float rate : {0.0f, -5.0f, kNaN, 1e30f, kInf})
    {
        const auto all = crush(rate, 32, ramp);
        for (int64_t t = 0; t < 256; ++t)
            ASSERT_EQ(all[size_t(t)], ramp(t)) << "rate " << rate << " at " << t;
    }
}

TEST(Crusher, NonFiniteSamplesGiveFiniteSteps)
{
    const float xs[] = {kNaN, kInf, -kInf, 0.25f};
    for (int bits : {1, 8, 32})
    {
        const auto y = crush(
            0.0f, bits, [&](int64_t t) { return xs[t % 4]; }, 64);
        for (int64_t t = 0; t < 64; ++t)
            ASSERT_TRUE(std::isfinite(y[size_t(t)])) << bits << " bits at " << t;
        if (bits == 1)
        {
            EXPECT_NEAR(y[0], 0.5f, 1e-6); // NaN counts as 0
            EXPECT_NEAR(y[1], 0.5f, 1e-6);
            EXPECT_NEAR(y[2], -0.5f, 1e-6);
        }
    }
}

struct FreezeCase
{
    int polarity;
    int previous;
};

TEST(Freezer, HoldsBetweenTheEdges)
{
    for (auto c : {FreezeCase{0, 0}, FreezeCase{0, 1}, FreezeCase{1, 0}, FreezeCase{1, 1}})
    {
        AudioModule m(L"QW_Freezer");
        m.start();
        m.p->setInt(m.pin("Polarity"), c.polarity);
        m.p->setInt(m.pin("Frozen Sample"), c.previous);
        m.streaming("Input", true);
        m.streaming("Gate", true);
        const int gatePin = m.pin("Gate");
        const float closed = c.polarity == 0 ? 1.0f : -1.0f, open = -closed;
        auto x = [](int64_t t) { return 0.001f * float(t + 1); };
        m.run(300, 7,
              [&](int pin, int64_t t) { return pin == gatePin ? (t >= 100 && t < 200 ? closed : open) : x(t); });
        const auto& y = m.output("Output");
        const float held = x(c.previous ? 99 : 100);
        for (int64_t t = 0; t < 300; ++t)
            ASSERT_EQ(y[size_t(t)], t >= 100 && t < 200 ? held : x(t)) << "polarity " << c.polarity << " at " << t;
        const auto r = m.reports("Output");
        ASSERT_GE(r.size(), 2u);
        EXPECT_EQ(r[r.size() - 2], (std::pair<int64_t, bool>{100, false}));
        EXPECT_EQ(r.back(), (std::pair<int64_t, bool>{200, true}));
    }
}
} // namespace
