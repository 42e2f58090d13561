// Interface half of QW_BridgeBlobDual: a value set on its pin goes to the
// processing half as a handed-over copy; a value handed over from there is
// transmitted on the pin, then acknowledged. The host's echo of that
// transmission, inside the call or later, is not sent back.
#include "HandOver.h"

#include "mp_sdk_gui.h"

#include <new>

class QW_BridgeBlobDual_GUI : public MpGuiInvisibleBase
{
public:
    QW_BridgeBlobDual_GUI() { initializePin(io_, &QW_BridgeBlobDual_GUI::onSetIO); }

    int32_t receiveMessageFromAudio(int32_t, int32_t size, const void* data) override
    {
        passing_ = true;
        echoedInside_ = false;
        bool kept = true;
        const bool taken = qw::receiveHandOver(size, data, [this, &kept](int32_t bytes, const void* value) {
            try
            {
                passed_.setValueRaw(static_cast<size_t>(bytes), value);
            }
            catch (const std::bad_alloc&)
            {
                kept = false; // its echo, should it come later, is then sent back
            }
            pinTransmit(io_.getId(), bytes, value, 0);
        });
        passing_ = false;
        if (taken)
            echoDue_ = kept && !echoedInside_;
        return taken ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

private:
    void onSetIO()
    {
        if (passing_)
        {
            echoedInside_ = true;
            return;
        }
        const MpBlob& value = io_.getValue();
        const bool echo = echoDue_ && value == passed_;
        echoDue_ = false;
        if (echo)
            return;
        toAudio_.send(value.getSize(), value.getData(),
                      [this](int size, const void* message) { sendMessageToAudio(0, size, message); });
    }

    MpGuiPin<MpBlob> io_;
    qw::BridgeSender toAudio_;
    MpBlob passed_;             // the last value passed on from the processing half
    bool passing_ = false;      // transmitting it now
    bool echoedInside_ = false; // its echo came back inside the transmission
    bool echoDue_ = false;      // its echo may still come back later
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_BridgeBlobDual", &gmpi::Register<QW_BridgeBlobDual_GUI>::withId);
}
