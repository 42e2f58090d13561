// Detector and filter of infinite and NaN samples: each such sample raises
// its flag (at that sample's position; the flags stay raised until a reset)
// and comes out as 0; finite samples pass unchanged.
#include "ordering.h"

// 0 a in x; 1 bool in reset; 2 bool out infinity seen; 3 bool out NaN seen;
// 4 a out cleaned signal.
class QW_InfNanFltDet final : public MpBase2
{
public:
    QW_InfNanFltDet()
    {
        initializePin(in_);
        initializePin(reset_);
        initializePin(infinity_);
        initializePin(nan_);
        initializePin(out_);
        setSubProcess(&QW_InfNanFltDet::subProcess);
    }

    void onSetPins() override
    {
        if (in_.isUpdated())
            out_.setStreaming(in_.isStreaming());
        if (reset_.isUpdated() && reset_)
        {
            nan_ = false;
            infinity_ = false;
        }
    }

    void subProcess(int n)
    {
        const float* x = in_.getBuffer() + blockPosition_;
        float* y = out_.getBuffer() + blockPosition_;
        for (int i = 0; i < n; ++i)
        {
            const float v = x[i];
            if (v - v == 0.0f) // finite
            {
                y[i] = v;
                continue;
            }
            y[i] = 0.0f;
            (v != v ? nan_ : infinity_).setValue(true, blockPosition_ + i);
        }
    }

private:
    AudioInPin in_;
    BoolInPin reset_;
    BoolOutPin infinity_;
    BoolOutPin nan_;
    AudioOutPin out_;
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_InfNanFltDet>(L"QW_InfNanFltDet");
    return true;
}();
} // namespace
