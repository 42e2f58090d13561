// Level and frequency unit conversions shared by the control-rate and the
// audio-rate modules. Volts and decibels: 10 V = 0 dB. Octave volts:
// f = 440 * 2^(V - 5). Wavelength: the period in samples, fs / f. Audio pins
// carry every quantity divided by 10 (1.0 = 10 V, 10 Hz, 10 dB).
//
// Logarithms of 0 or less are -Inf and a wavelength of 0 an infinite
// frequency; a level saturates at the largest finite float instead of
// overflowing, so a finite level in decibels always gives a finite level.
#pragma once

#include "../maths/audio_modules.h"
#include "qw_fm.h"

namespace qw::conv
{
// Frequency units of the unit pins: every code from 3 up is the wavelength.
enum Unit
{
    Hz = 0,
    KHz = 1,
    Octave = 2,
    Wavelength = 3,
};

inline int unitOf(int code)
{
    return code >= Hz && code <= Octave ? code : Wavelength;
}

// Decibels to a factor; finite for every finite input.
inline float dBToFactor(float dB)
{
    return qw::fm::exp2Acc(qw::maths::belowOverflow(dB * 0.05f * 3.321928f));
}
// A factor to decibels; -Inf for 0 or less.
inline float factorTodB(float f)
{
    return 20.0f * 0.30103f * qw::fm::log2Acc(f);
}

// The exponent is kept where 10 times the power stays finite.
inline float dBToVolts(float dB)
{
    const float y = dB * 0.05f * 3.321928f;
    return 10.0f * qw::fm::exp2Acc(y > 124.67f ? 124.67f : y);
}
inline float voltsTodB(float v)
{
    return factorTodB(v * 0.1f);
}
} // namespace qw::conv
