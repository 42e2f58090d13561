// qwhost run with a timer of the built signalkit bundle: the output's edges
// are printed at exact samples.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string kSignalkit = std::string(QW_BUNDLE_DIR) + "/signalkit.so";

class RunControl : public qwtest::CommandTest
{};

TEST_F(RunControl, TimerEdgesAtExactSamples)
{
    const Result r = qwhost({"run", kSignalkit, "QW_DSPTimer", "--pin", "Mode=2", "--pin", "T1=10", "--pin",
                             "Trigger=1@0.1", "--seconds", "0.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Trigger at 4410 of 44.1 kHz; 10 ms = 441 samples later a pulse of one sample.
    EXPECT_NE(r.out.find("4851\t0.110000\tOutput\ttrue\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("4852\t0.110023\tOutput\tfalse\n"), std::string::npos) << r.out;
}
} // namespace
