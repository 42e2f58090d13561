// Routes audio to output A or B, hard or with a short crossfade; mono and stereo.
#include "fade_router.h"

// Mono: 0 in; 1 bool to B; 2 enum mode (0 hard); 3 out A; 4 out B. Stereo:
// 0, 1 in; 2 to B; 3 mode; 4, 5 out A; 6, 7 out B.
template <int Channels> class QW_AudioSwitch1To2T final : public qw::control::FadeRouter<Channels, 2 * Channels>
{
    using Base = qw::control::FadeRouter<Channels, 2 * Channels>;

public:
    QW_AudioSwitch1To2T()
    {
        for (auto& in : this->in_)
            this->initializePin(in);
        this->initializePin(this->select_);
        this->initializePin(this->mode_);
        for (int c = 0; c < Channels; ++c)
        {
            this->sources_[c][0] = c; // A
            this->sources_[c][1] = Base::kNone;
            this->sources_[Channels + c][0] = Base::kNone; // B
            this->sources_[Channels + c][1] = c;
        }
        for (auto& out : this->out_)
            this->initializePin(out);
    }
};

using QW_AudioSwitch1To2 = QW_AudioSwitch1To2T<1>;
using QW_AudioSwitch1To2ST = QW_AudioSwitch1To2T<2>;

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_AudioSwitch1To2>(L"QW_AudioSwitch1To2");
    qw::control::registerModule<QW_AudioSwitch1To2ST>(L"QW_AudioSwitch1To2ST");
    return true;
}();
} // namespace
