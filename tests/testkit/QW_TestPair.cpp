// Both halves of one identifier. The processing half scales its signal by the
// Gain parameter, reports twice the gain on its Peak output parameter and
// answers each message of its user-interface half with the same bytes under
// the id + 100. The user-interface half writes Gain, shows the Peak it reads,
// and sends and receives messages.
#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

class QW_TestPair : public MpBase2
{
public:
    QW_TestPair()
    {
        initializePin(gain_);
        initializePin(signal_);
        initializePin(output_);
        initializePin(peak_);
        setSubProcess(&QW_TestPair::subProcess);
    }

    void onSetPins() override
    {
        if (signal_.isUpdated())
            output_.setStreaming(signal_.isStreaming());
        if (gain_.isUpdated())
            peak_ = gain_ * 2.0f;
    }

    void subProcess(int sampleFrames)
    {
        const float* in = signal_.getBuffer() + getBlockPosition();
        float* out = output_.getBuffer() + getBlockPosition();
        const float gain = gain_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = in[i] * gain;
    }

    using MpPluginBase::receiveMessageFromGui;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, const void* data) override
    {
        if (getHost())
            getHost()->sendMessageToGui(id + 100, size, data);
        return gmpi::MP_OK;
    }

private:
    FloatInPin gain_;
    AudioInPin signal_;
    AudioOutPin output_;
    FloatOutPin peak_;
};

class QW_TestPairGui : public MpGuiInvisibleBase
{
public:
    QW_TestPairGui()
    {
        initializePin(gain_);
        initializePin(peak_, &QW_TestPairGui::onPeak);
        initializePin(setGain_, &QW_TestPairGui::onSetGain);
        initializePin(send_, &QW_TestPairGui::onSend);
        initializePin(peakSeen_);
        initializePin(reply_);
    }

    int32_t receiveMessageFromAudio(int32_t id, int32_t size, const void* data) override
    {
        if (id != 107 || size != 4 || !data)
            return gmpi::MP_UNHANDLED;
        int32_t v;
        std::memcpy(&v, data, 4);
        reply_ = v;
        return gmpi::MP_OK;
    }

private:
    void onPeak() { peakSeen_ = peak_; }
    void onSetGain() { gain_ = setGain_; }
    void onSend()
    {
        const int32_t v = send_;
        if (v != 0)
            sendMessageToAudio(7, 4, &v);
    }

    MpGuiPin<float> gain_;
    MpGuiPin<float> peak_;
    MpGuiPin<float> setGain_;
    MpGuiPin<int> send_;
    MpGuiPin<float> peakSeen_;
    MpGuiPin<int> reply_;
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestPair", &gmpi::Register<QW_TestPair>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestPair", &gmpi::Register<QW_TestPairGui>::withId);
}
