// The framework's process call counts subnormal numbers as zero, whatever
// mode the host left the processor in, and gives the host its mode back.
#include "denormals.h"
#include "test_support.h"

#include <gtest/gtest.h>

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

// The impulse response of y = x + y/2 through the module, block b run with
// the host's MXCSR set to hostModes[b % n]: the modes change between calls, so
// every order of a flushing and a non-flushing host is met. Sample 126 adds
// 2^-149 to 2^-126, which stays 2^-126 only when subnormal inputs count as
// zero. The mode seen after each call must be the host's again.
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
        {
            const int n = block * 64 + i;
            p->input(in)[i] = n == 0 ? 1.0f : n == 126 ? std::ldexp(1.0f, -149) : 0.0f;
        }
        const unsigned hostMode = withMode(saved, hostModes[static_cast<size_t>(block) % hostModes.size()]);
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
    std::vector<std::vector<unsigned>> runs;
    for (unsigned mode : kHostModes)
        runs.push_back({mode});
    runs.push_back(std::vector<unsigned>(std::begin(kHostModes), std::end(kHostModes)));
    runs.push_back({kFlushBits, 0, kFtz, kFlushBits, kDaz});
    for (const auto& modes : runs)
    {
        std::string lost;
        const std::vector<float> y = halvings(modes, lost);
        const std::string name = "host modes starting " + std::to_string(modes[0]);
        EXPECT_EQ(lost, "") << name;
        // 2^-n is normal up to n = 126 and subnormal from 127 on.
        EXPECT_EQ(y[125], std::ldexp(1.0f, -125)) << name;
        EXPECT_EQ(y[126], std::ldexp(1.0f, -126)) << name;
        for (size_t n = 127; n < y.size(); ++n)
            ASSERT_EQ(y[n], 0.0f) << "sample " << n << ", " << name;
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
