// The framework's process call counts subnormal numbers as zero, whatever
// mode the host left the processor in, and gives the host its mode back.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <xmmintrin.h>

namespace
{
constexpr unsigned kFlushBits = 0x8040; // flush to zero, denormals are zero

// The impulse response of y = x + y/2 through the module, with the host's
// MXCSR set to `hostMode` around every call; the mode seen after each call
// must be the host's again.
std::vector<float> halvings(unsigned hostMode, bool& modeKept)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("testkit"), L"QW_TestHalve");
    const int in = p->pin("Signal"), out = p->pin("Output");
    p->startGraph();
    p->setStreaming(in, true);
    std::vector<float> y;
    const unsigned saved = _mm_getcsr();
    modeKept = true;
    for (int block = 0; block < 4; ++block)
    {
        for (int i = 0; i < 64; ++i)
            p->input(in)[i] = block == 0 && i == 0 ? 1.0f : 0.0f;
        _mm_setcsr((saved & ~kFlushBits) | hostMode);
        p->run(64);
        modeKept &= (_mm_getcsr() & kFlushBits) == hostMode;
        _mm_setcsr(saved);
        y.insert(y.end(), p->output(out), p->output(out) + 64);
    }
    return y;
}

TEST(FlushToZero, SubnormalResultsAreZeroWhateverTheHostsMode)
{
    for (unsigned mode : {0u, kFlushBits})
    {
        bool kept = false;
        const std::vector<float> y = halvings(mode, kept);
        EXPECT_TRUE(kept) << "the host's mode " << mode << " was not restored";
        // 2^-n is normal up to n = 126 and subnormal from 127 on.
        EXPECT_EQ(y[126], std::ldexp(1.0f, -126)) << mode;
        for (size_t n = 127; n < y.size(); ++n)
            ASSERT_EQ(y[n], 0.0f) << "sample " << n << " with the host's mode " << mode;
    }
}
} // namespace
