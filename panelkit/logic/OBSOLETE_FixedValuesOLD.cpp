// Earlier fixed values, kept registered for old patches: the constant goes to
// an L/R pair of outputs (right first), and with the lock on, a value written
// into an output from outside is set back to the constant on that output.
#include "family.h"

template <class T> class QW_FixedLegacy : public MpGuiInvisibleBase
{
public:
    QW_FixedLegacy()
    {
        initializePin(value_, &QW_FixedLegacy::onSetVal);
        initializePin(lock_);
        initializePin(outL_, &QW_FixedLegacy::onSetL);
        initializePin(outR_, &QW_FixedLegacy::onSetR);
        // A NaN value never equals itself: its echo would be set back for ever.
        expectOwnEchoes();
    }

private:
    void onSetVal()
    {
        outR_ = value_;
        outL_ = outR_;
    }
    void onSetL()
    {
        if (lock_)
            outL_ = value_;
    }
    void onSetR()
    {
        if (lock_)
            outR_ = value_;
    }

    qw::Pin<T> value_;
    MpGuiPin<bool> lock_;
    qw::Pin<T> outL_;
    qw::Pin<T> outR_;
};

using QW_Fixed_Int = QW_FixedLegacy<int>;
using QW_Fixed_Float = QW_FixedLegacy<float>;
using QW_Fixed_String = QW_FixedLegacy<std::wstring>;
using QW_Fixed_Bool = QW_FixedLegacy<bool>;

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Fixed_Int", &gmpi::Register<QW_Fixed_Int>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Fixed_Float", &gmpi::Register<QW_Fixed_Float>::withId);
auto r3 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Fixed_String", &gmpi::Register<QW_Fixed_String>::withId);
auto r4 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Fixed_Bool", &gmpi::Register<QW_Fixed_Bool>::withId);
} // namespace
