// qwhost run, through the built command: its refusals, and real runs of the
// test bundle's gain probe (Output = Signal x Value) over files and the sweep.
#include "WavFile32.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

const std::string kTestkit = std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so";

class RunCommand : public qwtest::CommandTest
{
protected:
    std::string writeWav(const std::string& name, const std::vector<std::vector<float>>& channels, int rate) const
    {
        qw::WavFile32 w;
        for (size_t c = 0; c < channels.size(); ++c)
            w.setChannel(int(c), int(channels[c].size()), channels[c].data());
        w.sampleRate = rate;
        EXPECT_TRUE(w._saveWav(fs::path(file(name)).wstring(), 32));
        return file(name);
    }

    qw::WavFile32 readWav(const std::string& path) const
    {
        qw::WavFile32 w;
        EXPECT_TRUE(w._loadWav(fs::path(path).wstring())) << path;
        return w;
    }
};

std::vector<float> ramp(int n)
{
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = float(std::sin(i * 0.01) * 0.8);
    return v;
}

// ---------------------------------------------------------------------------
// Refusals

TEST_F(RunCommand, RefusalsNameWhatIsWrong)
{
    const std::string good = writeWav("good.wav", {ramp(10)}, 44100);
    const std::string tooFast = writeWav("fast.wav", {ramp(10)}, 20000000);
    {
        std::ofstream(file("text.wav")) << "not a wav";
    }
    // 2: the command line is at fault; 1: a file, bundle or module failed.
    constexpr int usage = 2, failed = 1;
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string named; // the message must contain this
    };
    const Case cases[] = {
        {{"run"}, usage, "BUNDLE and ID"},
        {{"run", kTestkit}, usage, "BUNDLE and ID"},
        {{"run", kTestkit, "QW_TestProbe", "extra"}, usage, "'extra'"},
        {{"run", file("nothere.so"), "QW_TestProbe"}, failed, file("nothere.so")},
        {{"run", kTestkit, "QW_NoSuchModule"}, failed, "QW_NoSuchModule"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Volume=1"}, usage, "'Volume'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Value=loud"}, usage, "'loud'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Value=nan"}, usage, "'nan'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Flag=maybe"}, usage, "'maybe'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Command=1.5"}, usage, "'1.5'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Value"}, usage, "'Value'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Value Out=1"}, usage, "'Value Out'"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "MIDI In=1"}, usage, "midi"},
        {{"run", kTestkit, "QW_TestProbe", "--in", file("missing.wav")}, failed, file("missing.wav")},
        {{"run", kTestkit, "QW_TestProbe", "--in", file("text.wav")}, failed, file("text.wav")},
        {{"run", kTestkit, "QW_TestProbe", "--in", dir_.string()}, failed, dir_.string()},
        {{"run", kTestkit, "QW_TestProbe", "--in", tooFast}, failed, "20000000 Hz"},
        {{"run", kTestkit, "QW_TestProbe", "--out", file("no/such/folder.wav")}, failed, file("no/such/folder.wav")},
        {{"run", kTestkit, "QW_TestProbe", "--rate", "fast"}, usage, "'fast'"},
        {{"run", kTestkit, "QW_TestProbe", "--rate", "0"}, usage, "--rate '0'"},
        {{"run", kTestkit, "QW_TestProbe", "--rate", "44100.5"}, usage, "'44100.5'"},
        {{"run", kTestkit, "QW_TestProbe", "--block", "0"}, usage, "--block '0'"},
        {{"run", kTestkit, "QW_TestProbe", "--block", "99999999999999999999"}, usage, "'99999999999999999999'"},
        {{"run", kTestkit, "QW_TestProbe", "--seconds", "-1"}, usage, "'-1'"},
        {{"run", kTestkit, "QW_TestProbe", "--seconds", "inf"}, usage, "'inf'"},
        {{"run", kTestkit, "QW_TestProbe", "--seconds", "1e-9"}, usage, "0 frames"},
        {{"run", kTestkit, "QW_TestProbe", "--seconds", "1e9"}, usage, "frames"},
        {{"run", kTestkit, "QW_TestProbe", "--seconds"}, usage, "--seconds needs a value"},
        {{"run", kTestkit, "QW_TestProbe", "--volume", "3"}, usage, "'--volume'"},
        {{"run", kTestkit, "QW_TestProbe", "--rate", "8000", "--rate", "8000"}, usage, "--rate is given twice"},
        {{"run", kTestkit, "QW_TestShared", "--in", good}, usage, "no audio input"},
        {{"run", kTestkit, "QW_TestPins", "--out", file("x.wav")}, usage, "no audio output"},
        {{"run", kTestkit, "QW_TestProbe", "--pin", "Signal=0.5", "--in", good}, usage, "no audio input"},
        // Two billion frames pass the format's 4 GiB: refused before the run starts.
        {{"run", kTestkit, "QW_TestProbe", "--rate", "10000000", "--seconds", "200", "--out", file("x.wav")},
         usage,
         "do not fit a WAV file"},
    };
    for (const Case& c : cases)
    {
        std::string joined;
        for (auto& a : c.args)
            joined += " " + a;
        const Result r = qwhost(c.args);
        EXPECT_EQ(r.code, c.code) << joined << "\n" << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << joined << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(file("x.wav")));
}

TEST_F(RunCommand, AShapeTextThatDoesNotReadIsRefusedWithItsReason)
{
    struct Case
    {
        std::string value, reason;
    };
    const Case cases[] = {
        {"(-4,0)(5,0)", "the first X must be -5"},          {"(-5,0)(0,1)(0,2)(5,0)", "pair 3: X must rise"},
        {"(-5,0)(5,9)", "pair 2: Y lies outside -5..5"},    {"(-5,0)(2,0)", "the last X must be 5"},
        {"(-5,0) (5,0)", "pair 2 does not start with '('"}, {"(-5,0)(5)", "pair 2 is not (X,Y)"},
    };
    for (const Case& c : cases)
    {
        const Result r = qwhost({"run", kTestkit, "QW_TestProbe", "--pin", "Blob=" + c.value});
        EXPECT_EQ(r.code, 2) << c.value;
        EXPECT_NE(r.err.find("pin 'Blob'"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.value << "\n" << r.err;
    }
    // A text that is not meant as a shape goes as its bytes.
    EXPECT_EQ(qwhost({"run", kTestkit, "QW_TestProbe", "--pin", "Blob=raw bytes"}).code, 0);
}

TEST_F(RunCommand, ALongRunStreamsInConstantMemory)
{
    // Ten times the frames of the short run; a host that kept the whole run
    // would need 4 bytes a frame more (about 80 MB here).
    auto peak = [this](const char* seconds) {
        const Result r = qwhost({"run", kTestkit, "QW_TestProbe", "--rate", "2000000", "--seconds", seconds, "--block",
                                 "4096", "--out", file("long.wav")});
        EXPECT_EQ(r.code, 0) << r.err;
        return r.peakKilobytes;
    };
    const long shortRun = peak("1");
    const long longRun = peak("10");
    EXPECT_LT(longRun - shortRun, 8 * 1024) << shortRun << " kB, then " << longRun << " kB";
    const qw::WavFile32 w = readWav(file("long.wav"));
    EXPECT_EQ(w.frames, 20000000);
}

TEST_F(RunCommand, HelpTellsAboutTheSweep)
{
    const Result main = qwhost({"--help"});
    EXPECT_EQ(main.code, 0);
    EXPECT_NE(main.out.find("qwhost run BUNDLE ID"), std::string::npos);
    EXPECT_NE(main.out.find("logarithmic sine sweep 20 Hz - 20 kHz at -6 dBFS"), std::string::npos);
    const Result run = qwhost({"run", "--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("--seconds S"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Real runs

TEST_F(RunCommand, GainOverAFileWritesTheProductAndPrintsUpdates)
{
    const std::vector<float> left = ramp(1000), right(1000, 0.25f);
    const std::string in = writeWav("in.wav", {left, right}, 22050);
    const std::string out = file("out.wav");
    const Result r = qwhost({"run", kTestkit, "QW_TestProbe", "--in", in, "--out", out, "--pin", "Value=0.5", "--pin",
                             "Text=hello", "--block", "7"});
    ASSERT_EQ(r.code, 0) << r.err;

    // The file's first channel feeds the one audio input; the rate and length are the file's.
    const qw::WavFile32 w = readWav(out);
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.channels, 1);
    ASSERT_EQ(w.frames, 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(w.data[0][i], left[i] * 0.5f) << i;

    // The probe echoes its value and text inputs on outputs at sample 0.
    EXPECT_NE(r.out.find("0\t0.000000\tValue Out\t0.5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0\t0.000000\tText Out\t\"hello\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("# wrote " + out), std::string::npos) << r.out;
}

TEST_F(RunCommand, BlockSizeDoesNotChangeTheOutput)
{
    const std::string in = writeWav("in.wav", {ramp(700)}, 48000);
    std::vector<std::vector<float>> outs;
    for (const char* block : {"1", "64", "256", "65536"})
    {
        const std::string out = file(std::string("out") + block + ".wav");
        const Result r =
            qwhost({"run", kTestkit, "QW_TestProbe", "--in", in, "--out", out, "--block", block, "--pin", "Value=-2"});
        ASSERT_EQ(r.code, 0) << block << ": " << r.err;
        outs.push_back(readWav(out).data.at(0));
    }
    for (size_t k = 1; k < outs.size(); ++k)
        EXPECT_EQ(outs[k], outs[0]) << k;
}

TEST_F(RunCommand, SecondsAndRateOverrideTheFile)
{
    // A longer run than the file: the input is silent after its end.
    const std::string in = writeWav("in.wav", {std::vector<float>(100, 0.5f)}, 8000);
    const std::string out = file("out.wav");
    const Result r =
        qwhost({"run", kTestkit, "QW_TestProbe", "--in", in, "--out", out, "--rate", "16000", "--seconds", "0.01"});
    ASSERT_EQ(r.code, 0) << r.err;
    const qw::WavFile32 w = readWav(out);
    EXPECT_EQ(w.sampleRate, 16000);
    ASSERT_EQ(w.frames, 160);
    EXPECT_EQ(w.data[0][99], 0.5f);
    EXPECT_EQ(w.data[0][100], 0.0f);
    EXPECT_EQ(w.data[0][159], 0.0f);
}

TEST_F(RunCommand, AnAudioInputGivenAValueIsHeldAtIt)
{
    const std::string out = file("out.wav");
    const Result r = qwhost({"run", kTestkit, "QW_TestProbe", "--pin", "Signal=0.25", "--pin", "Value=4", "--out", out,
                             "--seconds", "0.001"});
    ASSERT_EQ(r.code, 0) << r.err;
    const qw::WavFile32 w = readWav(out);
    ASSERT_EQ(w.frames, 44);
    for (float v : w.data[0])
        ASSERT_EQ(v, 1.0f);
}

TEST_F(RunCommand, WithoutAnInputTheSweepRisesLogarithmically)
{
    const int rate = 48000;
    const double seconds = 0.5;
    const std::string out = file("sweep.wav");
    const Result r = qwhost({"run", kTestkit, "QW_TestProbe", "--out", out, "--rate", "48000", "--seconds", "0.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    const qw::WavFile32 w = readWav(out);
    ASSERT_EQ(w.frames, 24000);
    const std::vector<float>& s = w.data[0];

    // -6 dBFS peak.
    float peak = 0.0f;
    for (float v : s)
        peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, std::pow(10.0, -6.0 / 20.0), 1e-3);
    EXPECT_EQ(s[0], 0.0f);

    // Frequency f(t) = 20 x 1000^(t/T): the phase up to t is
    // 2 pi x 20 T / ln 1000 x (1000^(t/T) - 1), and a sine crosses zero twice a cycle.
    auto cycles = [&](double t) { return 20.0 * seconds / std::log(1000.0) * (std::pow(1000.0, t / seconds) - 1.0); };
    auto crossings = [&](int from, int to) {
        int n = 0;
        for (int i = from + 1; i < to; ++i)
            n += (s[i - 1] < 0.0f) != (s[i] < 0.0f);
        return n;
    };
    const int tenth = rate / 10;
    EXPECT_NEAR(crossings(0, tenth), 2.0 * cycles(0.1), 2.0);
    EXPECT_NEAR(crossings(4 * tenth, 24000), 2.0 * (cycles(seconds) - cycles(0.4)), 4.0);
    // The last 1 ms runs near 20 kHz: about 40 crossings.
    EXPECT_NEAR(crossings(24000 - 48, 24000), 2.0 * (cycles(seconds) - cycles(seconds - 0.001)), 3.0);
}
} // namespace
