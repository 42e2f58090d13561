// Four colour channels (alpha, red, green, blue, each 0 to 1) as a colour
// text AARRGGBB: each channel clamped to [0, 1] (NaN as 0), times 255
// truncated, as two lower-case hexadecimal digits.
#include "../logic/family.h"
#include "text_values.h"

#include <cstdio>

class QW_ARGB2Str : public MpGuiInvisibleBase
{
public:
    QW_ARGB2Str()
    {
        for (auto& c : channels_)
            initializePin(c, &QW_ARGB2Str::onSetARGB);
        initializePin(colour_);
    }

private:
    void onSetARGB()
    {
        wchar_t text[9];
        for (int k = 0; k < 4; ++k)
        {
            const unsigned byte = static_cast<unsigned>(qw::unitChannel(channels_[k]) * 255.0f);
            std::swprintf(text + 2 * k, 3, L"%02x", byte);
        }
        colour_ = std::wstring(text, 8);
    }

    MpGuiPin<float> channels_[4]; // alpha, red, green, blue
    StringGuiPin colour_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ARGB2Str", &gmpi::Register<QW_ARGB2Str>::withId);
} // namespace
