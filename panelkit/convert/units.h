// What the unit converters on interface pins share: the two-sided frame of
// the level and frequency converters, and the formulas of levels,
// frequencies, notes and pitches. Units are plain: volts as volts (10 V is
// 0 dB), frequency in hertz, pitch in volts at 1 V per octave with
// 5 V = 440 Hz = note 69.
#pragma once

#include "../arith/bidirectional.h"

#include <cmath>
#include <cstdint>

namespace qw
{
// 10 to the power x, single precision, from the C library.
inline float exp10In(float x)
{
#if defined(__APPLE__)
    return __exp10f(x);
#else
    return ::exp10f(x);
#endif
}

// Levels: decibels of volts (10 V = 0 dB) and of plain factors, and back. 0
// gives -infinity dB, a negative value NaN (the library's results).
inline float dBOfVolts(float v)
{
    return 20.0f * std::log10(v * 0.1f);
}
inline float voltsOfdB(float dB)
{
    return exp10In(dB * 0.05f) * 10.0f;
}
inline float dBOfFactor(float f)
{
    return 20.0f * std::log10(f);
}
inline float factorOfdB(float dB)
{
    return exp10In(dB * 0.05f);
}

// Octave volts and hertz: 5 V = 440 Hz; 0 Hz gives -infinity volts.
inline float hzOfOctave(float v)
{
    return std::exp2(v - 5.0f) * 440.0f;
}
inline float octaveOfHz(float hz)
{
    return std::log2(hz / 440.0f) + 5.0f;
}

// Pitch volts of a note number, in double precision from the difference.
inline float pitchOfNote(int32_t note)
{
    return static_cast<float>((static_cast<double>(note) - 69.0) / 12.0 + 5.0);
}
// The note number of a pitch, truncated toward zero. A pitch written from a
// note lies within a rounding error of it (62 gives 4.4166665 V, 61.999998),
// so a value within 1e-4 of a whole number counts as that number first;
// NaN gives 0 and values beyond the 32-bit range its ends.
int32_t noteOfPitch(float pitch);

// A converter between two units, each pin both ways: the input (pin 0)
// converts into the other pin (pin 1) and back. The module gives the two
// conversions as forward and inverse. The two sides may be of different
// types (a note number and a pitch, either way round).
template <class In, class Out = In> class UnitPair : public Bidirectional<In, 1, Out>
{
protected:
    UnitPair()
    {
        this->registerInputs();
        this->registerRight(0);
        this->convertsBothWays();
    }
    In x() const { return this->in(0); }
};
} // namespace qw
