// A recursion that halves its state each sample (y = x + y / 2): after an
// impulse it passes through the subnormal range, where the framework's
// flush-to-zero must make it exactly zero.
#include "mp_sdk_audio.h"

#include <cmath>

class QW_TestHalve : public MpBase2
{
public:
    QW_TestHalve()
    {
        initializePin(input_);
        initializePin(output_);
        setSubProcess(&QW_TestHalve::subProcess);
        setSleep(false);
    }
    void onSetPins() override { output_.setStreaming(true); }
    void subProcess(int sampleFrames)
    {
        const float* in = input_.getBuffer() + getBlockPosition();
        float* out = output_.getBuffer() + getBlockPosition();
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = y_ = in[i] + 0.5f * y_;
        if (!std::isfinite(y_))
            y_ = 0.0f; // a non-finite input leaves no trace past its block
    }

private:
    AudioInPin input_;
    AudioOutPin output_;
    float y_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestHalve", &gmpi::Register<QW_TestHalve>::withId);
}
