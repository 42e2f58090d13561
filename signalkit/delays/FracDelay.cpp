// Fractional delay of 0 to 8191 samples: the whole part from the line, the
// fraction by a first-order all-pass (a fraction below 1/19 is dropped, where
// the all-pass would ring too long; its sum saturates at the float limit). A
// static input keeps the output streaming for one line length after it turned
// static.
#include "delay_line.h"
#include "mp_sdk_audio.h"

#include <algorithm>
#include <array>

using namespace qw::delay;

class QW_FracDelay final : public MpBase2
{
public:
    QW_FracDelay()
    {
        initializePin(pinSignal_);
        initializePin(pinDelay_);
        initializePin(pinOutput_);
        setSubProcess(&QW_FracDelay::subProcess);
    }

    void onSetPins() override
    {
        if (pinDelay_.isUpdated())
        {
            delay_ = clampOrZero(pinDelay_.getValue(), 0.0f, static_cast<float>(kMask));
            whole_ = static_cast<int>(delay_);
        }
        if (pinSignal_.isUpdated())
        {
            pinOutput_.setStreaming(true);
            tail_ = pinSignal_.isStreaming() ? 0 : kLength;
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* in = pinSignal_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        float* line = line_.data();
        const int k = whole_;
        const float f = delay_ - static_cast<float>(k);
        const float a = (1.0f - f) / (1.0f + f);
        int w = write_;
        float y = last_;
        float poison = 0.0f;
        if (a <= 0.9f)
            for (int i = 0; i < n; ++i)
            {
                line[w] = in[i];
                poison += poisonOf(in[i]);
                const float A = line[(w - k) & kMask], B = line[(w - k - 1) & kMask], y0 = y;
                y = qw::finite::finiteOr((A - y) * a + B, [=] {
                    using qw::finite::infinityAsNaN;
                    return (static_cast<double>(infinityAsNaN(A)) - y0) * a + infinityAsNaN(B);
                });
                out[i] = y;
                w = (w + 1) & kMask;
            }
        else
            for (int i = 0; i < n; ++i)
            {
                line[w] = in[i];
                poison += poisonOf(in[i]);
                y = line[(w - k) & kMask];
                out[i] = y;
                w = (w + 1) & kMask;
            }
        write_ = w;
        last_ = y;
        if (poison != 0.0f || y - y != 0.0f)
        {
            scrubRecent(line, kMask, w, n);
            last_ = 0.0f;
        }
        if (tail_ > 0)
        {
            if (tail_ <= n)
                pinOutput_.setStreaming(false, start + tail_);
            tail_ = std::max(tail_ - n, 0);
        }
    }

private:
    AudioInPin pinSignal_;
    FloatInPin pinDelay_;
    AudioOutPin pinOutput_;

    std::array<float, kLength> line_{};
    int write_ = 0;
    float delay_ = 0.0f;
    int whole_ = 0;
    float last_ = 0.0f;
    int tail_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FracDelay", &gmpi::Register<QW_FracDelay>::withId);
}
