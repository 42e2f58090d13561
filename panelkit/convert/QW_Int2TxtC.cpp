// An integer, clamped to a range, shown as text, and a typed text read back
// into it.
//
//   pin 0  value    shown clamped; the pin itself keeps what it was given
//   pin 1  minimum  acts from the next value or text
//   pin 2  maximum  acts from the next value or text
//   pin 3  text     the clamped value in decimal, or the typed text
//
// A typed number in the range becomes the value and the text stays as typed
// ("42abc" gives 42); one outside it gives the nearer limit, shown as the
// text. A text with no number leaves the value and shows it again. With the
// minimum above the maximum, values from the minimum up give the maximum,
// those below it the minimum.
#include "../logic/family.h"
#include "text_values.h"

class QW_Int2TxtC : public MpGuiInvisibleBase
{
public:
    QW_Int2TxtC()
    {
        initializePin(value_, &QW_Int2TxtC::onSetVal);
        initializePin(minimum_);
        initializePin(maximum_);
        initializePin(text_, &QW_Int2TxtC::onSetTxt);
        expectOwnEchoes();
    }

private:
    int32_t clamped(int32_t v) const { return v < minimum_ ? minimum_ : v < maximum_ ? v : maximum_; }

    void onSetVal() { text_ = std::to_wstring(clamped(value_)); }

    void onSetTxt()
    {
        int32_t n;
        if (!qw::leadingInt(text_, n))
        {
            onSetVal();
            return;
        }
        if (minimum_ <= n && n <= maximum_)
        {
            value_ = n;
            return;
        }
        const int32_t c = n < minimum_ ? minimum_.getValue() : maximum_.getValue();
        value_ = c;
        text_ = std::to_wstring(c);
    }

    MpGuiPin<int> value_;
    MpGuiPin<int> minimum_;
    MpGuiPin<int> maximum_;
    StringGuiPin text_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Int2TxtC", &gmpi::Register<QW_Int2TxtC>::withId);
} // namespace
