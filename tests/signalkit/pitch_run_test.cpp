// qwhost run with the frame pitch shifter and the harmoniser of the built
// signalkit bundle on a 1 kHz sine written as a WAV file: an octave up, and
// a fifth below from a chord sent as MIDI.
#include "WavFile32.h"

#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
const std::string kSignalkit = std::string(QW_BUNDLE_DIR) + "/signalkit.so";

class PitchRun : public qwtest::CommandTest
{
protected:
    void SetUp() override
    {
        qwtest::CommandTest::SetUp();
        qw::WavFile32 sine;
        std::vector<float> x(48000);
        for (size_t t = 0; t < x.size(); ++t)
            x[t] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * double(t) / 48000.0));
        sine.sampleRate = 48000;
        sine.setChannel(0, static_cast<int>(x.size()), x.data());
        ASSERT_TRUE(sine._saveWav(std::filesystem::path(file("sine1k.wav")).wstring(), 32));
    }

    std::vector<float> channel(const std::string& name, int ch)
    {
        qw::WavFile32 w;
        EXPECT_TRUE(w._loadWav(std::filesystem::path(file(name)).wstring()));
        EXPECT_EQ(w.frames, 48000);
        return ch < w.channels ? w.data[size_t(ch)] : std::vector<float>{};
    }
};

TEST_F(PitchRun, OctaveUp)
{
    const Result r = qwhost({"run", kSignalkit, "QW_PitchShifter2", "--rate", "48000", "--in", file("sine1k.wav"),
                             "--pin", "Pitch=0.1", "--pin", "Frame Size=11", "--out", file("up.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NEAR(qwtest::peakFrequency(channel("up.wav", 0), 48000, 16384, 48000), 2000.0, 20.0);
}

TEST_F(PitchRun, HarmonizerFifthBelow)
{
    const Result r =
        qwhost({"run", kSignalkit, "QW_Harmonizer", "--rate", "48000", "--in", file("sine1k.wav"), "--pin", "On=1",
                "--midi", "Chord=90 3C 64@0", "--midi", "Chord=90 43 64@0", "--out", file("fifth.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    // 1000 Hz x 2^(-7/12) = 667.42 Hz. The voice's crossfades (every 12316
    // samples) split it into lines 3.9 Hz apart around that frequency; the
    // strongest lies within 0.5 %.
    EXPECT_NEAR(qwtest::peakFrequency(channel("fifth.wav", 0), 48000, 8000, 48000), 667.42, 0.005 * 667.42);
}
} // namespace
