#include "srgb.h"

#include <cmath>
#include <cwchar>

namespace mp_sdk
{
namespace
{
double srgbToLinear(double x)
{
    return x <= 0.0404482362771082 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}

double linearToSrgb(double y)
{
    return y <= 0.00313066844250063 ? 12.92 * y : 1.055 * std::pow(y, 0.4166666666666667) - 0.055;
}

// Fills the tables when the deliverable is loaded.
const bool filledAtLoad = (gammaTables(), true);
} // namespace

void gammaLookupTables::fill()
{
    if (filled)
        return;
    // 1/255 rounded to single precision; products and conversions in double.
    const double s = static_cast<double>(1.0f / 255.0f);
    for (int i = 1; i < 256; ++i)
    {
        const double x = i * s;
        table[256 + i] = static_cast<float>(std::pow(x, 2.2));
        table[i] = static_cast<float>(srgbToLinear(x));
        table[512 + i] = static_cast<float>(srgbToLinear((static_cast<float>(i) - 0.5f) * s));
    }
    table[0] = table[256] = table[512] = table[768] = 0.0f;
    for (int i = 1; i < 256; ++i)
        table[768 + i] = static_cast<float>(linearToSrgb(std::pow(i * s, 2.2)));
    filled = true;
}

const gammaLookupTables& gammaTables()
{
    auto& t = static_holder<gammaLookupTables>::static_resource;
    if (!t.filled)
        t.fill();
    return t;
}

GmpiDrawing_API::MP1_COLOR colorFromArgb(uint32_t v)
{
    const float* lin = gammaTables().toLinear();
    return {lin[(v >> 16) & 255], lin[(v >> 8) & 255], lin[v & 255],
            static_cast<float>((v >> 24) & 255) * 0.003921569f};
}

GmpiDrawing_API::MP1_COLOR colorFromAbgr(uint32_t v)
{
    const float* lin = gammaTables().toLinear();
    return {lin[v & 255], lin[(v >> 8) & 255], lin[(v >> 16) & 255],
            static_cast<float>((v >> 24) & 255) * 0.003921569f};
}

bool colorFromText(const std::wstring& text, GmpiDrawing_API::MP1_COLOR& color)
{
    if (text.empty())
        return false;
    const unsigned long v = std::wcstoul(text.c_str(), nullptr, 16);
    color = colorFromArgb(static_cast<uint32_t>(v));
    return true;
}
} // namespace mp_sdk
