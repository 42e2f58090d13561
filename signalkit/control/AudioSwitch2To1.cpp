// Selects audio input A or B, hard or with a short crossfade; mono and stereo.
#include "fade_router.h"

// Mono: 0 in A; 1 in B; 2 bool select B; 3 enum mode (0 hard); 4 out. Stereo:
// 0, 1 in A; 2, 3 in B; 4 select B; 5 mode; 6, 7 out.
template <int Channels> class QW_AudioSwitch2To1T final : public qw::control::FadeRouter<2 * Channels, Channels>
{
public:
    QW_AudioSwitch2To1T()
    {
        for (auto& in : this->in_)
            this->initializePin(in);
        this->initializePin(this->select_);
        this->initializePin(this->mode_);
        for (int c = 0; c < Channels; ++c)
        {
            this->initializePin(this->out_[c]);
            this->sources_[c][0] = c;
            this->sources_[c][1] = Channels + c;
        }
    }
};

using QW_AudioSwitch2To1 = QW_AudioSwitch2To1T<1>;
using QW_AudioSwitch2To1ST = QW_AudioSwitch2To1T<2>;

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_AudioSwitch2To1>(L"QW_AudioSwitch2To1");
    qw::control::registerModule<QW_AudioSwitch2To1ST>(L"QW_AudioSwitch2To1ST");
    return true;
}();
} // namespace
