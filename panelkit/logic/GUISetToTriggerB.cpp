// Pulses a bool output once on mouse release when its value was set while the
// mouse was down; changes made before the press are forgotten.
#include "family.h"

template <class T> class QW_GUISet2TrigB : public MpGuiInvisibleBase
{
public:
    QW_GUISet2TrigB()
    {
        initializePin(value_, &QW_GUISet2TrigB::onSetVal);
        initializePin(mouseDown_, &QW_GUISet2TrigB::onSetMouseDown);
        initializePin(trigger_);
    }

private:
    void onSetVal() { changed_ = true; }

    void onSetMouseDown()
    {
        if (mouseDown_)
        {
            wasDown_ = true;
            changed_ = false;
            return;
        }
        if (wasDown_ && changed_)
            qw::pulse(trigger_);
        wasDown_ = false;
        changed_ = false;
    }

    qw::Pin<T> value_;
    MpGuiPin<bool> mouseDown_;
    MpGuiPin<bool> trigger_;
    bool wasDown_ = false;
    bool changed_ = false;
};

namespace
{
auto r = qw::registerFamily<QW_GUISet2TrigB, int, float, bool, std::wstring, MpBlob>(L"QW_GUISet2TrigB", qw::STRING);
}
