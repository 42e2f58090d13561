// Colour tables between 8-bit sRGB codes and linear light, and the rule that
// turns a colour pin's text into a drawing colour.
#pragma once

#include "mp_api_drawing.h"

#include <cstdint>
#include <string>

namespace mp_sdk
{
// Four tables of 256 f32 entries, one set per deliverable, filled once at load:
//   0: sRGB-to-linear of i/255
//   1: (i/255)^2.2
//   2: sRGB-to-linear of (i - 0.5)/255, the thresholds between codes i-1 and i
//   3: linear-to-sRGB of (i/255)^2.2
// Entry 0 of each is 0.
struct gammaLookupTables
{
    float table[1024];
    bool filled;

    void fill();

    const float* toLinear() const { return table; }
    const float* gamma22() const { return table + 256; }
    const float* toLinearThresholds() const { return table + 512; }
    const float* gamma22ToSrgb() const { return table + 768; }
};

// One zero-initialised instance of T per deliverable.
template <class T> struct static_holder
{
    static T static_resource;
};
template <class T> T static_holder<T>::static_resource;

// The deliverable's tables, filled.
const gammaLookupTables& gammaTables();

// Colour of a 32-bit AARRGGBB value: red, green and blue through table 0,
// alpha = A / 255.
GmpiDrawing_API::MP1_COLOR colorFromArgb(uint32_t argb);
// Colour of a skin style's 32-bit value, which holds red in the low byte,
// green in bits 8-15, blue in bits 16-23 and alpha in the top byte.
GmpiDrawing_API::MP1_COLOR colorFromAbgr(uint32_t abgr);
// Colour pin text: one hexadecimal number read as wcstoul base 16 does
// (leading blanks, stops at the first non-hex character, no digits = 0), laid
// out AARRGGBB; six digits therefore give alpha 0. An empty text sets nothing
// and answers false.
bool colorFromText(const std::wstring& text, GmpiDrawing_API::MP1_COLOR& color);
} // namespace mp_sdk
