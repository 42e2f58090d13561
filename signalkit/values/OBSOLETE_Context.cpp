// Where a patch runs. The processing half sets both its outputs true at graph
// start; the user-interface half copies its first pin to its second.
#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

class QW_Context_DSP final : public MpBase2
{
public:
    QW_Context_DSP()
    {
        initializePin(out0_);
        initializePin(out1_);
    }

    // In place of the framework's first updates: only these two are sent.
    void onGraphStart() override
    {
        out1_ = true;
        out0_ = true;
    }

private:
    BoolOutPin out0_;
    BoolOutPin out1_;
};

class QW_Context_GUI final : public MpGuiInvisibleBase
{
public:
    QW_Context_GUI()
    {
        initializePin(in_, &QW_Context_GUI::onSetPar);
        initializePin(out_);
    }

private:
    void onSetPar() { out_ = in_; }

    MpGuiPin<bool> in_;
    MpGuiPin<bool> out_;
};

namespace
{
const bool registered = [] {
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Context", &gmpi::Register<QW_Context_DSP>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Context", &gmpi::Register<QW_Context_GUI>::withId);
    return true;
}();
} // namespace
