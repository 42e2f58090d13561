// Blends any number of audio inputs by a position in [0, 1]: the inputs sit at
// equal steps along the position, each weighted by a triangle (linear law) or
// its exponential bend. Weights are recomputed only when the position moves.
#include "control.h"
#include "qw_fm.h"

#include <memory>
#include <vector>

// 0 in audio position; 1 enum law (0 linear); 2 out audio; then one audio input
// per further audio input the host has, at the host's ids (pins of another
// direction or datatype in the host's list are skipped).
class QW_Morph1D final : public MpBase2
{
public:
    QW_Morph1D() { setSubProcess(&QW_Morph1D::subProcessSilence); }

    int32_t open() override
    {
        initializePin(position_);
        initializePin(law_);
        initializePin(out_);
        for (int id : hostPinIds(gmpi::MP_IN, gmpi::MP_AUDIO))
        {
            inputs_.push_back(std::make_unique<AudioInPin>());
            initializePin(id, *inputs_.back());
        }
        weights_.assign(inputs_.size(), 0.0f);
        buffers_.assign(inputs_.size(), nullptr);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (law_.isUpdated())
        {
            last_ = -1.0f;
            if (law_ == 0)
                setSubProcess(&QW_Morph1D::subProcessLaw<false>);
            else
                setSubProcess(&QW_Morph1D::subProcessLaw<true>);
        }
        bool streaming = position_.isStreaming();
        for (auto& in : inputs_)
            streaming = streaming || in->isStreaming();
        out_.setStreaming(streaming);
    }

    void subProcessSilence(int sampleFrames) { std::fill_n(out_.getBuffer() + getBlockPosition(), sampleFrames, 0.0f); }

    template <bool Exponential> void subProcessLaw(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* position = position_.getBuffer() + p;
        float* out = out_.getBuffer() + p;
        const size_t n = inputs_.size();
        for (size_t k = 0; k < n; ++k)
            buffers_[k] = inputs_[k]->getBuffer() + p;
        const float span = n > 0 ? static_cast<float>(n - 1) : 0.0f;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const float x = position[i];
            const float pos = x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; // NaN counts as 0
            if (pos != last_)
            {
                last_ = pos;
                const float at = pos * span;
                const int inputs = static_cast<int>(n);
                for (int k = 0; k < inputs; ++k)
                {
                    const float d = at - static_cast<float>(k); // from int: converts faster
                    const float t = std::max(0.0f, 1.0f - (d < 0.0f ? -d : d));
                    weights_[k] = Exponential ? qw::fm::exp2Acc(4.3f * (t - 1.0f)) * 1.0534807f - 0.053480767f : t;
                }
            }
            float sum = 0.0f;
            for (size_t k = 0; k < n; ++k)
                sum += buffers_[k][i] * weights_[k];
            out[i] = sum;
        }
    }

private:
    AudioInPin position_;
    EnumInPin law_;
    AudioOutPin out_;
    std::vector<std::unique_ptr<AudioInPin>> inputs_;
    std::vector<float> weights_;
    std::vector<const float*> buffers_;
    float last_ = -1.0f;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_Morph1D>(L"QW_Morph1D");
    return true;
}();
} // namespace
