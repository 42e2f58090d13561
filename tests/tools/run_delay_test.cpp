// qwhost run playing the Haas widener and the waveguide string of the built
// signalkit bundle: the widener's two outputs are 1764 samples apart (found by
// cross-correlation of its sweep), and a click through the string rings at
// 440 Hz for a pitch of 0.5 V.
#include "WavFile32.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

class RunDelay : public qwtest::CommandTest
{};

TEST_F(RunDelay, HaasDelaysTheFirstChannelBy40Milliseconds)
{
    const auto r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_Haas", "--pin", "Delay=5", "--out",
                           file("wide.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(fs::path(file("wide.wav")).wstring()));
    ASSERT_EQ(w.channels, 2);
    const auto& left = w.data[0];
    const auto& right = w.data[1];
    int best = -1;
    double bestSum = 0;
    for (int lag = 0; lag < 2500; ++lag)
    {
        double sum = 0;
        for (size_t t = 2500; t < 22500; ++t)
            sum += double(left[t]) * right[t - size_t(lag)];
        if (sum > bestSum)
            bestSum = sum, best = lag;
    }
    EXPECT_EQ(best, 1764);
}

TEST_F(RunDelay, PluckedStringRingsAt440Hz)
{
    qw::WavFile32 click;
    std::vector<float> x(44100, 0.0f);
    x[0] = 1.0f;
    click.sampleRate = 44100;
    click.setChannel(0, int(x.size()), x.data());
    ASSERT_TRUE(click._saveWav(fs::path(file("click.wav")).wstring(), 32));
    const auto r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_DWG2", "--in", file("click.wav"),
                           "--pin", "On=1", "--pin", "Pitch=0.5", "--pin", "Gain=0.99", "--out", file("string.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(fs::path(file("string.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    const auto& y = w.data[0];
    ASSERT_EQ(y.size(), 44100u);
    double best = 0, bestF = 0;
    for (double f = 400; f <= 480; f += 0.05)
    {
        double re = 0, im = 0;
        for (size_t t = 0; t < y.size(); ++t)
        {
            re += y[t] * std::cos(2 * kPi * f * double(t) / 44100);
            im += y[t] * std::sin(2 * kPi * f * double(t) / 44100);
        }
        if (std::hypot(re, im) > best)
            best = std::hypot(re, im), bestF = f;
    }
    EXPECT_NEAR(1200 * std::log2(bestF / 440), 0.0, 5.0) << bestF;
}
} // namespace
