// Harmonic generator: output k is half the Chebyshev polynomial of the first
// kind of order k + 1 at 2x, so an input of amplitude 0.5 gives harmonic
// k + 1 at amplitude 0.5. The host makes as many outputs as the user wires;
// the input is not limited.
#include "shapers.h"

#include <memory>
#include <vector>

class QW_Chebyshev final : public MpBase2
{
public:
    QW_Chebyshev() { initializePin(pinIn_); }

    int32_t open() override
    {
        for (int id : hostPinIds(gmpi::MP_OUT, gmpi::MP_AUDIO))
        {
            outputs_.push_back(std::make_unique<AudioOutPin>());
            initializePin(id, *outputs_.back());
        }
        buffers_.assign(outputs_.size(), nullptr);
        if (!outputs_.empty())
            setSubProcess(&QW_Chebyshev::subProcess);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinIn_.isUpdated())
            for (auto& out : outputs_)
                out->setStreaming(pinIn_.isStreaming());
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const size_t n = outputs_.size();
        float** out = buffers_.data();
        for (size_t k = 0; k < n; ++k)
            out[k] = outputs_[k]->getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const float y = 2.0f * x[i];
            const float twoY = 2.0f * y;
            float prev = 1.0f, c = y;
            out[0][i] = c * 0.5f;
            for (size_t k = 1; k < n; ++k)
            {
                const float next = twoY * c - prev;
                out[k][i] = next * 0.5f;
                prev = c;
                c = next;
            }
        }
    }

private:
    AudioInPin pinIn_;
    std::vector<std::unique_ptr<AudioOutPin>> outputs_;
    std::vector<float*> buffers_; // the outputs' buffers at the span's start
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Chebyshev", &gmpi::Register<QW_Chebyshev>::withId);
}
