// Carries a blob both ways between the processing and the interface graph.
// A new input value passes straight on to the output, without a copy, and
// goes to the interface half as a handed-over copy; a value handed over from
// the interface half becomes the output's value.
#include "HandOver.h"
#include "SamplePins.h"

class QW_BridgeBlobDual_DSP : public MpBase2
{
public:
    QW_BridgeBlobDual_DSP()
    {
        initializePin(in_);
        initializePin(out_);
    }

    void onSetPins() override
    {
        if (!in_.updated)
            return;
        out_.send(in_.size, in_.data);
        toGui_.send(in_.size, in_.data, [this](int size, const void* message) {
            if (getHost())
                getHost()->sendMessageToGui(0, size, message);
        });
    }

    using MpPluginBase::receiveMessageFromGui;
    int32_t receiveMessageFromGui(int32_t, int32_t size, const void* data) override
    {
        // Messages come between blocks: the value goes out at the start of the next.
        const bool taken =
            qw::receiveHandOver(size, data, [this](int32_t bytes, const void* value) { out_.send(bytes, value, 0); });
        return taken ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

private:
    qw::BlobInPinNC in_;
    qw::BlobOutPinNC out_;
    qw::BridgeSender toGui_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BridgeBlobDual", &gmpi::Register<QW_BridgeBlobDual_DSP>::withId);
}
