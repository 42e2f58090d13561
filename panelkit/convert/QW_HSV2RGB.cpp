// Hue, saturation and value (each 0 to 1, clamped; NaN as 0) to red, green
// and blue, written in that order. The hue runs red, yellow, green, cyan,
// blue, magenta and back to red at 1.
#include "../logic/family.h"
#include "text_values.h"

#include <cmath>

class QW_HSV2RGB : public MpGuiInvisibleBase
{
public:
    QW_HSV2RGB()
    {
        initializePin(hue_, &QW_HSV2RGB::onSetHSV);
        initializePin(saturation_, &QW_HSV2RGB::onSetHSV);
        initializePin(value_, &QW_HSV2RGB::onSetHSV);
        initializePin(red_);
        initializePin(green_);
        initializePin(blue_);
    }

    static void hsv2rgb(float h, float s, float v, float& r, float& g, float& b)
    {
        constexpr float q = 0.16666666f; // the float just below 1/6
        h = qw::unitChannel(h);
        s = qw::unitChannel(s);
        v = qw::unitChannel(v);
        // Each channel's full hue as a triangle over the hue circle.
        const float rh = qw::unitChannel(3.0f * std::fabs(2.0f * h - 1.0f) - 1.0f);
        const float gh = qw::unitChannel(2.0f - 3.0f * std::fabs(2.0f * (h + q) - 1.0f));
        const float bh = qw::unitChannel(2.0f - 3.0f * std::fabs(2.0f * (h - q) - 1.0f));
        r = (rh * s + 1.0f - s) * v;
        g = (gh * s + 1.0f - s) * v;
        b = (bh * s + 1.0f - s) * v;
    }

private:
    void onSetHSV()
    {
        float r, g, b;
        hsv2rgb(hue_, saturation_, value_, r, g, b);
        red_ = r;
        green_ = g;
        blue_ = b;
    }

    MpGuiPin<float> hue_, saturation_, value_;
    MpGuiPin<float> red_, green_, blue_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_HSV2RGB", &gmpi::Register<QW_HSV2RGB>::withId);
} // namespace
