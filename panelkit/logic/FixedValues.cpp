// A constant value, set as a parameter of the module, published on an output.
#include "family.h"

template <class T> class QW_GUI_Fixed : public MpGuiInvisibleBase
{
public:
    QW_GUI_Fixed()
    {
        initializePin(value_, &QW_GUI_Fixed::onSetVal);
        initializePin(output_);
    }

private:
    void onSetVal() { output_ = value_; }

    qw::Pin<T> value_;
    qw::Pin<T> output_;
};

namespace
{
auto r = qw::registerFamily<QW_GUI_Fixed, int, float, bool, std::wstring>(L"QW_GUI_Fixed_", qw::STRING);
}
