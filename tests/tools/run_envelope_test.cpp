// qwhost run playing a shape envelope of the built shapekit bundle: a shape
// given as text on a blob pin, a gate from the start or at given times.
#include "WavFile32.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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

const std::string kShapekit = std::string(QW_BUNDLE_DIR) + "/shapekit.so";
constexpr int kRate = 48000;

class RunEnvelope : public qwtest::CommandTest
{
protected:
    // The envelope written by a run of QW_ShapeEnv5 with these pins.
    std::vector<float> play(const std::vector<std::string>& pins, double seconds)
    {
        std::vector<std::string> args = {"run",
                                         kShapekit,
                                         "QW_ShapeEnv5",
                                         "--rate",
                                         std::to_string(kRate),
                                         "--seconds",
                                         std::to_string(seconds),
                                         "--out",
                                         file("env.wav")};
        for (auto& pin : pins)
        {
            args.push_back("--pin");
            args.push_back(pin);
        }
        last_ = qwhost(args);
        EXPECT_EQ(last_.code, 0) << last_.err;
        qw::WavFile32 w;
        if (!w._loadWav(fs::path(file("env.wav")).wstring()) || w.channels != 1)
        {
            ADD_FAILURE() << "no envelope written";
            return {};
        }
        return w.data[0];
    }

    Result last_;
};

// The triangle shape rises from 0 to 1 over the first half of its duration
// and falls back to 0 over the second (unipolar output): with 100 ms at
// 48 kHz the table's 1024 points take 4800 samples.
double triangle(double samplesIntoRun)
{
    const double phase = std::min(samplesIntoRun * 1024.0 / 4800.0, 1023.0);
    const double x = phase / 1023.0;
    return x <= 0.5 ? 2.0 * x : 2.0 - 2.0 * x;
}

TEST_F(RunEnvelope, AShapeTextOnTheBlobPinIsPlayedAtTheGate)
{
    const auto out = play({"Shape=(-5,-5)(0,5)(5,-5)", "Gate=1", "Duration=100"}, 0.2);
    ASSERT_EQ(out.size(), 9600u);
    for (int n : {0, 600, 1200, 2300, 3000, 4000, 4700})
        EXPECT_NEAR(out[static_cast<size_t>(n)], triangle(n), 1e-3) << "sample " << n;
    EXPECT_EQ(out[4800], 0.0f) << "the end of the run";
    EXPECT_EQ(out.back(), 0.0f);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 0.999f);
    // The position output reports the end.
    EXPECT_NE(last_.out.find("\tPosition\t1\n"), std::string::npos) << last_.out;
}

TEST_F(RunEnvelope, TimedValuesRaiseAndDropTheGateAtTheirSamples)
{
    // Sustain at the peak from 0.05 s to 0.15 s.
    const auto out = play(
        {"Shape=(-5,-5)(0,5)(5,-5)", "Sustain Node=1", "Duration=100", "Gate=0", "Gate=1@0.05", "Gate=0@0.15"}, 0.3);
    ASSERT_EQ(out.size(), 14400u);
    for (int n = 0; n <= 2400; ++n)
        ASSERT_EQ(out[static_cast<size_t>(n)], 0.0f) << "sample " << n;
    EXPECT_NEAR(out[2401], triangle(1), 1e-6) << "rising from sample 2400";
    EXPECT_NEAR(out[2400 + 1200], triangle(1200), 1e-3);
    EXPECT_NEAR(out[7199], 1.0, 2e-3) << "held at the sustain node";
    EXPECT_NEAR(out[7200 + 1200], triangle(2400 + 1200), 2e-3) << "released at sample 7200";
    EXPECT_EQ(out.back(), 0.0f);
}

TEST_F(RunEnvelope, RefusesTimesOutsideTheRunAndBadValues)
{
    struct Case
    {
        std::vector<std::string> pins;
        std::string named;
    };
    const Case cases[] = {
        {{"Gate=1@-0.1"}, "'-0.1'"},           {{"Gate=1@nan"}, "'nan'"},
        {{"Gate=1@2"}, "not inside the run"},  {{"Gate=maybe@0.1"}, "'maybe'"},
        {{"Attack Speed=fast@0.1"}, "'fast'"},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> args = {"run", kShapekit, "QW_ShapeEnv5", "--seconds", "1"};
        for (auto& pin : c.pins)
        {
            args.push_back("--pin");
            args.push_back(pin);
        }
        const Result r = qwhost(args);
        EXPECT_NE(r.code, 0) << c.pins[0];
        EXPECT_LT(r.code, 128) << c.pins[0] << ": died\n" << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << c.pins[0] << "\n" << r.err;
    }
    // A shape text that does not read is refused with the pin and the reason.
    const Result r = qwhost({"run", kShapekit, "QW_ShapeEnv5", "--pin", "Shape=(1,2)", "--pin", "Gate=1"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("pin 'Shape'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the first X must be -5"), std::string::npos) << r.err;
}

TEST_F(RunEnvelope, HelpTellsAboutShapeTextsAndTimes)
{
    const Result r = qwhost({"run", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("NAME=VALUE@S"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("shape text"), std::string::npos) << r.out;
}
} // namespace
