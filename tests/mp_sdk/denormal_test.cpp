// The framework's process call counts subnormal numbers as zero, whatever
// mode the host left the processor in, and gives the host its mode back.
#include "denormals.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <xmmintrin.h>

namespace
{
constexpr unsigned kFtz = 0x8000, kDaz = 0x0040, kFlushBits = kFtz | kDaz;
constexpr unsigned kRoundingBits = 0x6000, kTowardZero = 0x6000, kUp = 0x4000;
constexpr unsigned kFlagBits = 0x3f; // sticky exception flags: status, not mode

// Host modes: every mix of the two flush bits, some with another rounding.
const unsigned kHostModes[] = {0, kFlushBits, kFtz, kDaz, kTowardZero, kFlushBits | kUp, kFtz | kTowardZero, 0};

// The MXCSR with its flush and rounding bits replaced by `mode`.
unsigned withMode(unsigned mxcsr, unsigned mode)
{
    return (mxcsr & ~(kFlushBits | kRoundingBits)) | mode;
}

// The input: 1 at sample 0, 2^-149 at 126 (2^-126 plus it stays 2^-126 only
// when subnormal inputs count as zero), 1.5 at 128 and -2^-126 at 254
// (1.5 * 2^-126 - 2^-126 is subnormal unless results flush).
float halvingInput(int n)
{
    switch (n)
    {
    case 0:
        return 1.0f;
    case 126:
        return std::ldexp(1.0f, -149);
    case 128:
        return 1.5f;
    case 254:
        return -std::ldexp(1.0f, -126);
    default:
        return 0.0f;
    }
}

// The output when subnormal inputs and results are zero: 2^-n is normal up to
// n = 126 and subnormal from 127 on.
float expectedHalving(int n)
{
    if (n <= 126)
        return std::ldexp(1.0f, -n);
    if (n >= 128 && n <= 253)
        return std::ldexp(1.5f, 128 - n);
    return 0.0f;
}

// y = x + y/2 through the module, block b run with the host's MXCSR set to
// hostModes[min(b, n - 1)]. The mode seen after each call must be the host's
// again.
std::vector<float> halvings(const std::vector<unsigned>& hostModes, std::string& modeLost)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("testkit"), L"QW_TestHalve");
    const int in = p->pin("Signal"), out = p->pin("Output");
    p->startGraph();
    p->setStreaming(in, true);
    std::vector<float> y;
    const unsigned saved = _mm_getcsr();
    for (int block = 0; block < 4; ++block)
    {
        for (int i = 0; i < 64; ++i)
            p->input(in)[i] = halvingInput(block * 64 + i);
        const unsigned hostMode =
            withMode(saved, hostModes[std::min<size_t>(static_cast<size_t>(block), hostModes.size() - 1)]);
        _mm_setcsr(hostMode);
        p->run(64);
        const unsigned after = _mm_getcsr();
        _mm_setcsr(saved);
        if (modeLost.empty() && (after & ~kFlagBits) != (hostMode & ~kFlagBits))
            modeLost = "block " + std::to_string(block) + ": host mode " + std::to_string(hostMode) + " came back as " +
                       std::to_string(after);
        y.insert(y.end(), p->output(out), p->output(out) + 64);
    }
    return y;
}

TEST(FlushToZero, SubnormalsAreZeroWhateverTheHostsMode)
{
    // Each mode alone, and after a host that flushes and one that does not.
    std::vector<std::vector<unsigned>> runs;
    for (unsigned mode : kHostModes)
        for (std::vector<unsigned> run : {std::vector<unsigned>{mode}, {kFlushBits, mode}, {0, mode}})
            runs.push_back(run);
    for (const auto& modes : runs)
    {
        std::string lost;
        const std::vector<float> y = halvings(modes, lost);
        std::string name = "host modes";
        for (unsigned m : modes)
            name += " " + std::to_string(m);
        EXPECT_EQ(lost, "") << name;
        for (size_t n = 0; n < y.size(); ++n)
            ASSERT_EQ(y[n], expectedHalving(static_cast<int>(n))) << "sample " << n << ", " << name;
    }
}

// The check that stands in for a read of the mode agrees with the mode.
TEST(FlushToZero, ArithmeticCheckAgreesWithTheModeBits)
{
    const unsigned saved = _mm_getcsr();
    for (unsigned mode : kHostModes)
    {
        _mm_setcsr(withMode(saved, mode));
        const bool flushes = qw::FlushDenormals::processorFlushes();
        _mm_setcsr(saved);
        EXPECT_EQ(flushes, (mode & kFlushBits) == kFlushBits) << "mode " << mode;
    }
}
} // namespace
