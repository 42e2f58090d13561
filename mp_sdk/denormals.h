// Flush-to-zero for the length of a processing call: subnormal results and
// inputs count as zero, so a module's output does not depend on the mode the
// host left the processor in, and recursive filters never slow down on
// subnormal numbers. The caller's mode comes back when the guard ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace qw
{
class FlushDenormals
{
public:
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    // MXCSR: flush to zero (bit 15) and denormals are zero (bit 6).
    static constexpr unsigned kBits = 0x8040;

    // Reading the MXCSR costs several times an empty process call, and most
    // hosts flush already. So a host seen flushing is asked by two additions
    // instead; only a host that does not flush pays the read and two writes.
    FlushDenormals()
    {
        if (hostSeenFlushing_.load(std::memory_order_relaxed) && processorFlushes())
            return;
        saved_ = _mm_getcsr();
        const bool flushes = (saved_ & kBits) == kBits;
        if (flushes != hostSeenFlushing_.load(std::memory_order_relaxed))
            hostSeenFlushing_.store(flushes, std::memory_order_relaxed); // a hint only: either way is sound
        if (!flushes)
        {
            _mm_setcsr(saved_ | kBits);
            restore_ = true;
        }
    }
    ~FlushDenormals()
    {
        if (restore_)
            _mm_setcsr(saved_);
    }

    // True when the processor flushes subnormal results to zero and reads
    // subnormal inputs as zero, found by arithmetic in the current mode:
    // 1.5·2^-126 - 2^-126 is subnormal unless results flush, and
    // 2^-126 + 2^-149 stays above 2^-126 unless inputs count as zero. Both are
    // exact in every rounding mode; the results are compared as bits, since a
    // comparison of floats would itself read a subnormal as zero.
    static bool processorFlushes()
    {
        float a = 0x1.8p-126f, b = 0x1p-126f, c = 0x1p-149f;
        __asm__ volatile("" : "+x"(a), "+x"(b), "+x"(c)); // values unknown to the compiler: computed here, now
        float difference = a - b, sum = c + b;
        __asm__ volatile("" : "+x"(difference), "+x"(sum));
        return bits(difference) == 0 && bits(sum) == bits(b);
    }

private:
    static uint32_t bits(float x)
    {
        uint32_t u;
        std::memcpy(&u, &x, 4);
        return u;
    }

    // Whether the last guard found the host flushing: picks the cheaper check
    // first. Shared by all threads; a wrong guess costs time, never a sample.
    static inline std::atomic<bool> hostSeenFlushing_{true};
    unsigned saved_ = 0;
    bool restore_ = false;
#elif defined(__aarch64__)
    // FPCR: flush to zero (bit 24) covers both results and inputs.
    static constexpr uint64_t kBits = uint64_t(1) << 24;
    FlushDenormals()
    {
        __asm__ __volatile__("mrs %0, fpcr" : "=r"(saved_));
        if ((saved_ & kBits) != kBits)
            __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_ | kBits));
    }
    ~FlushDenormals()
    {
        if ((saved_ & kBits) != kBits)
            __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_));
    }

private:
    uint64_t saved_;
#else
#error "flush-to-zero is not known for this processor"
#endif
public:
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;
};
} // namespace qw
