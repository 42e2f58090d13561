// Flush-to-zero for the length of a processing call: subnormal results and
// inputs count as zero, so a module's output does not depend on the mode the
// host left the processor in, and recursive filters never slow down on
// subnormal numbers. The caller's mode comes back when the guard ends.
#pragma once

#include <cstdint>

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
    FlushDenormals() : saved_(_mm_getcsr())
    {
        if ((saved_ & kBits) != kBits)
            _mm_setcsr(saved_ | kBits);
    }
    ~FlushDenormals()
    {
        if ((saved_ & kBits) != kBits)
            _mm_setcsr(saved_);
    }

private:
    unsigned saved_;
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
