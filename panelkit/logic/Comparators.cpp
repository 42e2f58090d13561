// Comparisons of two integers, floats or texts into a bool, computed at every
// notification of an operand or the comparison, from initialize on.
#include "family.h"

template <class T> class QW_CmpVal : public MpGuiInvisibleBase
{
public:
    QW_CmpVal()
    {
        initializePin(a_, &QW_CmpVal::computeOut);
        initializePin(b_, &QW_CmpVal::computeOut);
        initializePin(comparison_, &QW_CmpVal::computeOut);
        initializePin(result_);
    }

    int32_t initialize() override
    {
        initialized_ = true;
        computeOut();
        return MpGuiInvisibleBase::initialize();
    }

private:
    // Floats compare by IEEE 754 rules: with a NaN only "differs" is true.
    void computeOut()
    {
        if (!initialized_)
            return;
        const T a = a_, b = b_;
        switch (comparison_)
        {
        case 0:
            result_ = a > b;
            break;
        case 1:
            result_ = a >= b;
            break;
        case 2:
            result_ = a == b;
            break;
        case 3:
            result_ = a != b;
            break;
        case 4:
            result_ = a <= b;
            break;
        case 5:
            result_ = a < b;
            break;
        default: // no comparison: the result keeps its value
            break;
        }
    }

    MpGuiPin<T> a_;
    MpGuiPin<T> b_;
    MpGuiPin<int> comparison_;
    MpGuiPin<bool> result_;
    bool initialized_ = false;
};

// Texts are equal when they hold the same characters in the same order (no
// case folding, no locale); comparison 0 asks "equal", every other "differs".
class QW_CmpString : public MpGuiInvisibleBase
{
public:
    QW_CmpString()
    {
        initializePin(a_, &QW_CmpString::computeOut);
        initializePin(b_, &QW_CmpString::computeOut);
        initializePin(comparison_, &QW_CmpString::computeOut);
        initializePin(result_);
    }

    int32_t initialize() override
    {
        initialized_ = true;
        computeOut();
        return MpGuiInvisibleBase::initialize();
    }

private:
    void computeOut()
    {
        if (!initialized_)
            return;
        const bool equal = a_.getValue() == b_.getValue();
        result_ = comparison_ == 0 ? equal : !equal;
    }

    StringGuiPin a_;
    StringGuiPin b_;
    MpGuiPin<int> comparison_;
    MpGuiPin<bool> result_;
    bool initialized_ = false;
};

namespace
{
auto r1 = qw::registerFamily<QW_CmpVal, int, float>(L"QW_Cmp", qw::STRING);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_CmpString", &gmpi::Register<QW_CmpString>::withId);
} // namespace
