// Peaking equalisers through the built bundle: the response against the
// design worked out in double precision, the drain and silence at the exact
// sample, stereo, reset, the clamped ends of the centre frequency and gain,
// and what non-finite values leave behind. Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr double kPi = 3.14159265358979323846;
constexpr float kRate = 48000.0f;
constexpr double kMinPhase = 5.49509459e-05; // the lowest phase a filter designs at (turns)

// |H(f)| of the equaliser: 1 + s x band-pass, with the band-pass's width
// factor k from the gain G = 10^(dB/20).
double designGain(double dB, double fc, double f, double fs)
{
    const double G = std::pow(10.0, dB / 20.0);
    double k, s;
    if (G >= 1)
    {
        k = G - 1 < 0.001 ? 1 / (2 * 0.001) : 1 / (2 * (G - 1));
        s = 1;
    }
    else
    {
        k = 0.5 / (1 - G);
        s = -1;
    }
    const double w = 2 * kPi * fc / fs;
    const double alpha = std::sin(w) * k;
    const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f / fs);
    const std::complex<double> bp =
        std::sin(w) / 2 * (1.0 - z1 * z1) / ((1 + alpha) - 2 * std::cos(w) * z1 + (1 - alpha) * z1 * z1);
    return std::abs(1.0 + s * bp);
}

double measured(const std::wstring& id, float dB, double fcHz, double f, float freqPin = -1, int64_t settle = 9600)
{
    return qwtest::responseAt(
               id, kRate, id == L"QW_PeakGain2ST" || id == L"QW_PeakGainST" ? "Left" : "Signal",
               id == L"QW_PeakGain2ST" || id == L"QW_PeakGainST" ? "Left Out" : "Output", f,
               [&](SignalRun& r) {
                   r.set("Gain", dB);
                   r.constant("Frequency", freqPin >= 0 ? freqPin : static_cast<float>(fcHz / 10));
               },
               settle, 9600)
        .gain;
}

TEST(PeakGain, ResponseMatchesTheDesign)
{
    struct Case
    {
        float dB;
        double atCentre; // the gain at fc by hand
    } cases[] = {{6.0206f, 2.0}, {-6.0206f, 0.5}, {0.0f, 1.0}};
    for (const wchar_t* id : {L"QW_PeakGain2", L"QW_PeakGain"})
        for (auto& c : cases)
            for (double f : {250.0, 500.0, 1000.0, 2000.0, 8000.0})
            {
                const double got = measured(id, c.dB, 1000.0, f);
                EXPECT_NEAR(got, designGain(c.dB, 1000.0, f, kRate), 1e-3) << c.dB << " dB at " << f << " Hz";
                if (f == 1000.0)
                {
                    EXPECT_NEAR(got, c.atCentre, 1e-3) << c.dB << " dB at the centre";
                }
                if (c.dB == 0.0f)
                {
                    EXPECT_LE(got, 1.001) << "0 dB lifts by at most 0.1 % at " << f << " Hz";
                }
            }
}

TEST(PeakGain, CentreClampsToTheEndsOfTheRange)
{
    // 0 and below: the lowest phase; above fs/20 (fs/2 after x 10): the
    // highest. The band at 2.64 Hz takes seconds to settle.
    const double low = kMinPhase * kRate, high = (0.5 - kMinPhase) * kRate;
    for (float pin : {0.0f, -3.0f})
        EXPECT_NEAR(measured(L"QW_PeakGain2", 12.0f, 0, 20.0, pin, 4 * 48000), designGain(12.0, low, 20.0, kRate), 2e-3)
            << pin;
    for (float pin : {2400.0f, 1e6f})
        EXPECT_NEAR(measured(L"QW_PeakGain2", 12.0f, 0, 23000.0, pin), designGain(12.0, high, 23000.0, kRate), 2e-3)
            << pin;
}

// Noise into the signal until `stop`, then `after` (a constant, or streaming zeros).
Recording drain(const std::wstring& id, int block, bool staticAfter, int64_t stop, int64_t total)
{
    SignalRun run(id, kRate, block);
    run.set("Gain", 12.0).constant("Frequency", 50.0f).stream("Signal", qwtest::noise(3, 0.5));
    if (staticAfter)
        run.constant("Signal", 0.7f, stop);
    else
        run.stream(
            "Signal", [](int64_t) { return 0.0f; }, stop);
    return run.run(total);
}

TEST(PeakGain, StaticInputGivesOnlyTheRingingThenSilenceAtTheExactSample)
{
    constexpr int64_t stop = 3001, total = 12000;
    const Recording ringing = drain(L"QW_PeakGain2", 64, false, stop, total);
    const Recording r =
        qwtest::sameAtBlocks([&](int block) { return drain(L"QW_PeakGain2", block, true, stop, total); });

    // The ringing of zero input, counted from the stop: the 1000th quiet
    // sample in a row ends it.
    const auto& expect = ringing.out("Output");
    int64_t end = -1;
    for (int64_t t = stop, quiet = 0; t < total; ++t)
    {
        quiet = std::fabs(expect[size_t(t)]) < 1e-5f ? quiet + 1 : 0;
        if (quiet == 1000)
        {
            end = t;
            break;
        }
    }
    ASSERT_GT(end, stop + 1000) << "the noise leaves a ringing";
    const auto y = r.seen("Output");
    for (int64_t t = 0; t <= end; ++t)
        ASSERT_EQ(y[size_t(t)], expect[size_t(t)]) << t;
    for (int64_t t = end + 1; t < total; ++t)
        ASSERT_EQ(y[size_t(t)], 0.0f) << t;
    EXPECT_EQ(r.lastChange("Output", false), end + 1);
    EXPECT_FALSE(r.sleepRequests.empty());
}

TEST(PeakGain, StereoRunsWhileEitherInputStreams)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_PeakGain2ST", kRate, block);
        run.set("Gain", 12.0).constant("Frequency", 100.0f);
        run.stream("Left", qwtest::noise(1, 0.5)).constant("Right", 0.5f);
        run.constant("Left", 0.0f, 9000);
        return run.run(30000);
    });
    // While the left streams, the static right is filtered as it is: a DC of
    // 0.5 comes out at gain 1.
    EXPECT_NEAR(r.out("Right Out")[8999], 0.5f, 1e-4f);
    // Then both drain and fall silent together.
    const int64_t end = r.lastChange("Left Out", false);
    EXPECT_GT(end, 10000);
    EXPECT_EQ(r.lastChange("Right Out", false), end);
    EXPECT_EQ(r.seen("Right Out").back(), 0.0f);
}

TEST(PeakGain, ResetOfExactlyOneClearsTheHistory)
{
    constexpr int64_t at = 1234;
    auto run = [](float reset, bool silentBefore) {
        return qwtest::sameAtBlocks([=](int block) {
            SignalRun r(L"QW_PeakGain2", kRate, block);
            r.set("Gain", -9.0).constant("Frequency", 80.0f);
            if (silentBefore)
                r.stream("Signal", [](int64_t t) { return t < at ? 0.0f : qwtest::noise(2)(t); });
            else
                r.stream("Signal", qwtest::noise(2));
            if (reset != 0)
                r.set("Reset", reset, at);
            return r.run(3000);
        });
    };
    const auto cleared = run(1.0f, false).out("Output");
    const auto fresh = run(0, true).out("Output");
    const auto kept = run(0.5f, false).out("Output");
    const auto plain = run(0, false).out("Output");
    for (int64_t t = at; t < 3000; ++t)
        ASSERT_EQ(cleared[size_t(t)], fresh[size_t(t)]) << t;
    EXPECT_EQ(kept, plain) << "only 1.0 clears";
    EXPECT_NE(cleared[at + 1], plain[at + 1]);
}

TEST(PeakGain, CentreSweptToBothEndsWhileRingingStaysBounded)
{
    constexpr int64_t total = 480000; // 10 s
    const Recording r = qwtest::sameAtBlocks(
        [](int block) {
            SignalRun run(L"QW_PeakGain2", kRate, block);
            run.set("Gain", 24.0);
            // Down to 0 Hz and below, up past fs/2, once a second each way.
            run.stream("Frequency", [](int64_t t) {
                const double ph = std::fmod(double(t) / kRate, 2.0);
                return static_cast<float>(ph < 1 ? 300 - 400 * ph : -100 + 3000 * (ph - 1));
            });
            run.stream("Signal", [](int64_t t) { return t % 4800 < 10 ? qwtest::noise(5)(t) : 0.0f; });
            return run.run(total);
        },
        {64, 7});
    float peak = 0;
    for (float v : r.out("Output"))
    {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_LT(peak, 100.0f);
}

TEST(PeakGain, GainIsLimitedAndNotANumberCountsAsZero)
{
    auto out = [](float dB) {
        return qwtest::sameAtBlocks([=](int block) {
                   SignalRun r(L"QW_PeakGain", kRate, block);
                   r.set("Gain", dB).constant("Frequency", 100.0f).stream("Signal", qwtest::noise(4, 0.01));
                   return r.run(4000);
               })
            .out("Output");
    };
    const auto top = out(120.0f);
    EXPECT_EQ(out(std::numeric_limits<float>::infinity()), top);
    EXPECT_EQ(out(std::numeric_limits<float>::max()), top);
    EXPECT_EQ(out(std::numeric_limits<float>::quiet_NaN()), out(0.0f));
    for (float v : top)
        ASSERT_TRUE(std::isfinite(v));
    // A gain of -infinity: G = 0, a full notch, still finite.
    for (float v : out(-std::numeric_limits<float>::infinity()))
        ASSERT_TRUE(std::isfinite(v));
}

TEST(PeakGain, NotANumberCentreCountsAsZero)
{
    auto out = [](float f) {
        SignalRun r(L"QW_PeakGain2", kRate, 64);
        r.set("Gain", 6.0).constant("Frequency", f).stream("Signal", qwtest::noise(6, 0.5));
        return r.run(2000).out("Output");
    };
    EXPECT_EQ(out(std::numeric_limits<float>::quiet_NaN()), out(0.0f));
    EXPECT_EQ(out(std::numeric_limits<float>::infinity()), out(2400.0f));
}
} // namespace
