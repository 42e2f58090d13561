// Level response by windowed overlap-add: Hann-windowed frames of N samples
// (256 to 4096) at a hop of N/2, each scaled by the gain of its own peak, so
// every input sample leaves N samples later as the sum of its two windowed
// copies. All buffers live in the module.
#include "level_response.h"
#include "qw_fm.h"

class QW_LevResp final : public qw::levresp::LevelResponse<1, 4096>
{
public:
    int32_t open() override { return openFrame(); }

protected:
    static constexpr int kMax = 4096;

    int frameLength(int exponent) const override
    {
        const int k = exponent & 31;
        const int n = static_cast<int>(1u << k); // negative at k = 31
        return n < 257 ? 256 : std::min(n, kMax);
    }

    void changeFrame(int n) override
    {
        N_ = n;
        clearFrames();
        // Hann window, its phase accumulated in single precision.
        float phi = 0.0f;
        const float step = 1.0f / static_cast<float>(n);
        for (int i = 0; i < n; ++i)
        {
            window_[i] = (1.0f - qw::fm::cosTurns(phi)) * 0.5f;
            phi += step;
        }
    }

    void onStart() override { clearFrames(); }

    void runFrames(int from, int n) override
    {
        const float* in = pinIn_[0].getBuffer() + from;
        float* out = pinOut_[0].getBuffer() + from;
        const int half = N_ / 2;
        int i = 0;
        while (i < n)
        {
            if (p_ == 0)
                evaluate(from + i);
            // Up to the next frame boundary or the span's end.
            const int k = std::min(n - i, half - p_);
            float* older = frame_[1 - c_] + p_;
            float* newer = frame_[c_] + p_ + half;
            for (int j = 0; j < k; ++j)
            {
                out[i + j] = older[j] + newer[j];
                const float x = qw::levresp::held(in[i + j]);
                older[j] = x;
                newer[j] = x;
            }
            i += k;
            p_ += k;
            if (p_ == half)
                p_ = 0;
        }
    }

private:
    void clearFrames()
    {
        p_ = 0;
        std::fill_n(frame_[0], N_, 0.0f);
        std::fill_n(frame_[1], N_, 0.0f);
    }

    // The frame due now: its peak, then every sample windowed and scaled.
    void evaluate(int position)
    {
        applyShape();
        float* f = frame_[c_];
        float peak = 0.0f;
        for (int k = 0; k < N_; ++k)
            peak = std::max(peak, std::fabs(f[k]));
        const float g = frameGain(peak, position);
        for (int k = 0; k < N_; ++k)
            f[k] *= window_[k] * g;
        c_ = 1 - c_;
    }

    float frame_[2][kMax] = {};
    float window_[kMax] = {};
    int c_ = 0; // the buffer evaluated next
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_LevResp", &gmpi::Register<QW_LevResp>::withId);
}
