// Comparisons of two integers, floats or texts into a bool, computed at every
// notification of an operand or the comparison, from initialize on.
#include "family.h"

namespace
{
// Comparison codes 0 to 5: >, >=, ==, !=, <=, <. Floats compare by IEEE 754
// rules (with a NaN only "differs" is true). False for any other code: no
// result then.
template <class T> bool compare(int32_t code, const T& a, const T& b, bool& result)
{
    switch (code)
    {
    case 0:
        result = a > b;
        return true;
    case 1:
        result = a >= b;
        return true;
    case 2:
        result = a == b;
        return true;
    case 3:
        result = a != b;
        return true;
    case 4:
        result = a <= b;
        return true;
    case 5:
        result = a < b;
        return true;
    default:
        return false;
    }
}

// Texts are equal when they hold the same characters in the same order (no
// case folding, no locale); code 0 asks "equal", every other "differs".
bool compare(int32_t code, const std::wstring& a, const std::wstring& b, bool& result)
{
    result = code == 0 ? a == b : a != b;
    return true;
}
} // namespace

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
    void computeOut()
    {
        bool r;
        if (initialized_ && compare(comparison_, a_.getValue(), b_.getValue(), r))
            result_ = r;
    }

    qw::Pin<T> a_;
    qw::Pin<T> b_;
    MpGuiPin<int> comparison_;
    MpGuiPin<bool> result_;
    bool initialized_ = false;
};

using QW_CmpString = QW_CmpVal<std::wstring>;

namespace
{
auto r1 = qw::registerFamily<QW_CmpVal, int, float>(L"QW_Cmp", qw::STRING);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_CmpString", &gmpi::Register<QW_CmpString>::withId);
} // namespace
