// qwhost run with generators of the built signalkit bundle: the sine
// oscillator's 440 Hz found in the written file, and random integers printed
// at their triggers.
#include "WavFile32.h"
#include "fourier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

const std::string kSignalkit = std::string(QW_BUNDLE_DIR) + "/signalkit.so";

class RunGenerator : public qwtest::CommandTest
{};

TEST_F(RunGenerator, SineAtFiveVoltsIs440Hz)
{
    // Without --in every audio input gets a sweep: the modulation inputs are held at 0.
    const auto r = qwhost({"run", kSignalkit, "QW_SineOsc", "--pin", "On=1", "--pin", "Pitch=0.5", "--pin",
                           "Phase Mod=0", "--pin", "Feedback=0", "--out", file("a440.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(fs::path(file("a440.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    const auto& y = w.data[0];
    ASSERT_GE(y.size(), 32768u + 1024u);
    const qwtest::Spectrum s(y, 1024, 32768);
    EXPECT_NEAR(s.frequencyNear(440, 44100), 440.0, 1.0);
    EXPECT_NEAR(s.amplitudeAt(440, 44100), 1.0, 0.02);
    EXPECT_LT(s.amplitudeAt(880, 44100), 1e-3);
}

TEST_F(RunGenerator, RandomIntegersArePrintedAtTheirTriggers)
{
    // No Repeat makes the two values differ, so both are sent and printed.
    const auto r = qwhost({"run", kSignalkit, "QW_RandomIntDSP", "--pin", "Bound A=1", "--pin", "Bound B=6", "--pin",
                           "No Repeat=1", "--pin", "Trigger=1@0.1", "--pin", "Trigger=0@0.2", "--pin", "Trigger=1@0.3",
                           "--seconds", "0.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::pair<long, int>> values;
    while (std::getline(lines, line))
    {
        long sample = 0;
        double seconds = 0;
        char pin[64] = {};
        int v = 0;
        if (std::sscanf(line.c_str(), "%ld\t%lf\t%63[^\t]\t%d", &sample, &seconds, pin, &v) == 4 &&
            std::string(pin) == "Output" && sample > 0)
            values.emplace_back(sample, v);
    }
    ASSERT_EQ(values.size(), 2u) << r.out;
    EXPECT_EQ(values[0].first, 4410);
    EXPECT_EQ(values[1].first, 13230);
    for (auto& [sample, v] : values)
    {
        EXPECT_GE(v, 1) << r.out;
        EXPECT_LE(v, 6) << r.out;
    }
}
} // namespace
