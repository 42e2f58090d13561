// A float, clamped to a range, shown as text with a number of digits, and a
// typed text read back into it.
//
//   pin 0  value    shown clamped (a NaN as it is); the pin keeps its value
//   pin 1  minimum  acts from the next value or text
//   pin 2  maximum  acts from the next value or text
//   pin 3  digits   reformats the text at once
//   pin 4  text     the clamped value in the C library's %g form, or the
//                   typed text
//
// Digits d give d + 1 significant digits from 1 on, else d (0 and negative
// as %g takes them). A typed number in the range becomes the value and the
// text stays as typed; one outside it gives the nearer limit, shown as the
// text; one beyond the float range counts as the largest float of its sign.
// A text with no number, or NaN, leaves the value and shows it again.
#include "../logic/family.h"
#include "text_values.h"

class QW_Float2TxtC : public MpGuiInvisibleBase
{
public:
    QW_Float2TxtC()
    {
        initializePin(value_, &QW_Float2TxtC::onSetVal);
        initializePin(minimum_);
        initializePin(maximum_);
        initializePin(digits_, &QW_Float2TxtC::onSetVal);
        initializePin(text_, &QW_Float2TxtC::onSetTxt);
        expectOwnEchoes();
    }

    static std::wstring toString(float x, int32_t digits)
    {
        return qw::generalText(x, digits >= 1 ? (digits < qw::kMostDigits ? digits + 1 : qw::kMostDigits) : digits);
    }

private:
    float clamped(float v) const { return minimum_ > v ? minimum_ : v > maximum_ ? maximum_ : v; }

    void onSetVal() { text_ = toString(clamped(value_), digits_); }

    void onSetTxt()
    {
        double typed;
        if (!qw::leadingDouble(text_, typed) || typed != typed)
        {
            onSetVal();
            return;
        }
        const float x = qw::saturatedFloat(typed);
        if (!(minimum_ > x) && !(x > maximum_))
        {
            value_ = x;
            return;
        }
        const float c = minimum_ > x ? minimum_.getValue() : maximum_.getValue();
        value_ = c;
        text_ = toString(c, digits_);
    }

    MpGuiPin<float> value_;
    MpGuiPin<float> minimum_;
    MpGuiPin<float> maximum_;
    MpGuiPin<int> digits_;
    StringGuiPin text_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Float2TxtC", &gmpi::Register<QW_Float2TxtC>::withId);
} // namespace
