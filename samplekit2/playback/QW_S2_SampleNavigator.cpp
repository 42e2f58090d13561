// Reads a second-generation sample at the position its input names, sample
// by sample (scrubbing, position-driven playback, wavetable scanning). The
// position is normalised (0 = the first frame, 1 = the last) or in volts
// (0.1 = one frame), held inside the sample. Kernel readers stretch by how far
// the position moved since the previous sample, at most 16 frames while the
// position streams and 1 while it is held, so a jump of a held position reads
// the new place sharply.
#include "Sample2Pins.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "resamp.h"

#include <algorithm>
#include <cmath>

class QW_S2_SampleNavigator final : public MpBase2
{
public:
    QW_S2_SampleNavigator()
    {
        initializePin(sample_);
        initializePin(position_);
        initializePin(positionMode_);
        initializePin(interpolation_);
        initializePin(output_);
    }

    int32_t open() override
    {
        // A host that never sets the interpolation pin still gets an output.
        selectReader();
        return MpBase2::open();
    }

    void onSetPins() override
    {
        // A new sample under a held position: one more block, then sleep.
        if (sample_.changed() && !position_.isStreaming())
            output_.setStreaming(false);
        if (position_.isUpdated())
            output_.setStreaming(position_.isStreaming());
        if (interpolation_.isUpdated())
            selectReader();
    }

private:
    void selectReader()
    {
        qw::resamp::withReader(interpolation_, [this](auto reader) {
            setSubProcess(&QW_S2_SampleNavigator::subProcessRead<decltype(reader)>);
        });
    }

    template <class R> void subProcessRead(int n)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const int count = sample_.count();
        const float* x = sample_.frames();
        if (count <= 0 || !x)
        {
            std::fill_n(out, n, 0.0f);
            return;
        }
        const float* in = position_.getBuffer() + blockPosition_;
        const float scale = positionMode_ == 1 ? static_cast<float>(count - 1) : 10.0f;
        const float top = static_cast<float>(count - 1);
        const float cap = position_.isStreaming() ? 16.0f : 1.0f;
        float last = last_;
        for (int k = 0; k < n; ++k)
        {
            // Not a number (also inf x 0) reads frame 0.
            const float p = qw::finite::clampOrZero(qw::finite::orZero(in[k]) * scale, 0.0f, top);
            int i;
            float frac;
            qw::resamp::split(p, i, frac);
            if (i >= count) // a frame count beyond float precision rounds up
            {
                i = count - 1;
                frac = 0.0f;
            }
            if constexpr (R::kInterpolates)
            {
                const float inc = std::min(std::abs(p - last), cap);
                out[k] = R::bounded(x, count, i, frac, inc > 1.0f ? 1.0f / inc : 1.0f);
            }
            else
                out[k] = R::bounded(x, count, i, frac, 1.0f);
            last = p;
        }
        last_ = last;
    }

    qw::Sample2InPin sample_;
    AudioInPin position_;
    EnumInPin positionMode_;
    EnumInPin interpolation_;
    AudioOutPin output_;

    float last_ = 0.0f; // the position of the previous output sample
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleNavigator", &gmpi::Register<QW_S2_SampleNavigator>::withId);
}
