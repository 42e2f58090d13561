// An on/off switch for audio, hard or with a short fade; mono and stereo.
#include "fade_router.h"

// Mono: 0 in; 1 bool on; 2 enum mode (0 hard); 3 out. Stereo: 0, 1 in; 2 on;
// 3 mode; 4, 5 out.
template <int Channels> class QW_AudioSwitchT final : public qw::control::FadeRouter<Channels, Channels>
{
    using Base = qw::control::FadeRouter<Channels, Channels>;

public:
    QW_AudioSwitchT()
    {
        for (auto& in : this->in_)
            this->initializePin(in);
        this->initializePin(this->select_);
        this->initializePin(this->mode_);
        for (int c = 0; c < Channels; ++c)
        {
            this->initializePin(this->out_[c]);
            this->sources_[c][0] = Base::kNone;
            this->sources_[c][1] = c;
        }
    }
};

using QW_AudioSwitch = QW_AudioSwitchT<1>;
using QW_AudioSwitchST = QW_AudioSwitchT<2>;

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_AudioSwitch>(L"QW_AudioSwitch");
    qw::control::registerModule<QW_AudioSwitchST>(L"QW_AudioSwitchST");
    return true;
}();
} // namespace
