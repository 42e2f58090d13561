// Carries a blob from the processing graph to the interface graph: each new
// value of the input goes to the interface half as a copy handed over by
// address (see HandOver.h). No audio: the module sleeps between values.
#include "HandOver.h"
#include "SamplePins.h"

class QW_BridgeDSP2GUIBlob_DSP : public MpBase2
{
public:
    QW_BridgeDSP2GUIBlob_DSP() { initializePin(in_); }

    void onSetPins() override
    {
        if (!in_.updated)
            return;
        toGui_.send(in_.size, in_.data, [this](int size, const void* message) {
            if (getHost())
                getHost()->sendMessageToGui(0, size, message);
        });
    }

private:
    qw::BlobInPinNC in_;
    qw::BridgeSender toGui_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BridgeDSP2GUIBlob", &gmpi::Register<QW_BridgeDSP2GUIBlob_DSP>::withId);
}
