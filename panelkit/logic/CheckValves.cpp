// Lets a value pass between two pins in one direction only; only a value that
// differs from the destination's is sent.
#include "family.h"

template <class T> class QW_CheckValve : public MpGuiInvisibleBase
{
public:
    QW_CheckValve()
    {
        initializePin(direction_);
        initializePin(in_, &QW_CheckValve::onSetIn);
        initializePin(out_, &QW_CheckValve::onSetOut);
        expectOwnEchoes();
    }

private:
    enum Direction
    {
        IN_TO_OUT = 0,
        OUT_TO_IN = 1,
    };

    void onSetIn()
    {
        if (guard_.raised() || direction_ != IN_TO_OUT)
            return;
        out_ = in_;
    }

    void onSetOut()
    {
        if (direction_ != OUT_TO_IN)
            return;
        qw::EchoGuard::Raise raise(guard_);
        in_ = out_;
    }

    MpGuiPin<int> direction_;
    qw::Pin<T> in_;
    qw::Pin<T> out_;
    qw::EchoGuard guard_;
};

namespace
{
auto r = qw::registerFamily<QW_CheckValve, int, float, std::wstring, bool, MpBlob>(L"QW_CheckValve", qw::TEXT);
}
