// qwhost run playing the peaking equaliser of the built signalkit bundle over
// its generated sine sweep: the sweep comes out 12 dB louder where it passes
// the centre frequency than an octave-and-more below it.
#include "WavFile32.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

class RunFilter : public qwtest::CommandTest
{};

// The largest magnitude within a period and a half of the time at which an
// exponential sweep from 20 Hz to `top` over `seconds` passes f.
double levelAt(const std::vector<float>& y, double f, double rate, double seconds, double top)
{
    const double growth = std::log(top / 20.0) / seconds;
    const double t = std::log(f / 20.0) / growth;
    const int64_t centre = static_cast<int64_t>(t * rate), half = static_cast<int64_t>(1.5 * rate / f);
    float peak = 0;
    for (int64_t n = centre - half; n <= centre + half; ++n)
        peak = std::max(peak, std::fabs(y[size_t(n)]));
    return peak;
}

TEST_F(RunFilter, EqualiserLiftsTheSweepAtItsCentre)
{
    const auto r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_PeakGain2", "--pin",
                           "Frequency=100", "--pin", "Gain=12", "--seconds", "2", "--out", file("eq.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(fs::path(file("eq.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    const auto& y = w.data[0];
    ASSERT_EQ(y.size(), 88200u);
    const double lift = 20 * std::log10(levelAt(y, 1000, 44100, 2, 19845) / levelAt(y, 100, 44100, 2, 19845));
    EXPECT_NEAR(lift, 12.0, 0.5);
}
} // namespace
