// Interface half of QW_BridgeDSP2GUIBlob: each value handed over from the
// processing half is transmitted on the blob pin, then acknowledged.
#include "HandOver.h"

#include "mp_sdk_gui.h"

class QW_BirdgeDSP2GUIBlob_GUI : public MpGuiInvisibleBase
{
public:
    QW_BirdgeDSP2GUIBlob_GUI() { initializePin(out_); }

    int32_t receiveMessageFromAudio(int32_t, int32_t size, const void* data) override
    {
        return qw::transmitHandOver(*this, out_.getId(), size, data) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

private:
    MpGuiPin<MpBlob> out_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_BridgeDSP2GUIBlob", &gmpi::Register<QW_BirdgeDSP2GUIBlob_GUI>::withId);
}
