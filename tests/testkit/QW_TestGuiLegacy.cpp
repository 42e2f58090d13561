// User-interface module on the first-generation base: a doubled value, the
// voice of an indexed handler, and a pin registered without a handler.
#include "mp_sdk_gui.h"

class QW_TestGuiLegacy : public MpGuiBase_base
{
public:
    QW_TestGuiLegacy()
    {
        initializePin(0, value_, &QW_TestGuiLegacy::onValue);
        initializePin(1, valueOut_);
        initializePin(2, voice_, &QW_TestGuiLegacy::onVoice);
        initializePin(3, voiceOut_);
        initializePin(4, plain_, nullptr);
    }

private:
    void onValue() { valueOut_ = value_ * 2.0f; }
    void onVoice(int32_t voice) { voiceOut_ = voice; }

    MpGuiPin<float> value_;
    MpGuiPin<float> valueOut_;
    MpGuiPin<int> voice_;
    MpGuiPin<int> voiceOut_;
    MpGuiPin<int> plain_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestGuiLegacy", &gmpi::Register<QW_TestGuiLegacy>::withId);
}
