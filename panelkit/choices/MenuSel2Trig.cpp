// A menu selection as one bool output per menu item: item i sets output i + 1
// true, no selection (-1) sets every output false. The outputs are the host's
// copies of an auto-duplicating pin, counted from the ids the host sets values
// on (ids 0 to 4095). Values go to the host every time, equal or not. At
// start the selection is set to none.
#include "../logic/family.h"

#include <algorithm>

class QW_MenuSel2Trig : public MpGuiInvisibleBase
{
public:
    // The selection is kept in a pin with no handler: this module's own
    // setPin acts on every value the host sets.
    QW_MenuSel2Trig() { initializePin(kSelection, selection_); }

    int32_t initialize() override
    {
        MpGuiInvisibleBase::initialize();
        const int32_t none = -1;
        pinTransmit(kSelection, sizeof none, &none, 0);
        return gmpi::MP_OK;
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        GuiPinOwner::setPin(pinId, voice, size, data);
        if (!qw::takenPinId(pinId))
            return gmpi::MP_OK;
        if (pinId != kSelection)
        {
            outputs_ = std::max(outputs_, pinId);
            return gmpi::MP_OK;
        }
        if (outputs_ <= 0)
            return gmpi::MP_OK;
        const int32_t selection = selection_;
        if (selection < 0)
            for (int32_t out = 1; out <= outputs_; ++out)
                send(out, false);
        else if (selection < outputs_)
            send(selection + 1, true);
        return gmpi::MP_OK;
    }

private:
    static constexpr int32_t kSelection = 0;

    void send(int32_t pinId, bool value) { pinTransmit(pinId, sizeof value, &value, 0); }

    MpGuiPin<int> selection_;
    int32_t outputs_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_MenuSel2Trig", &gmpi::Register<QW_MenuSel2Trig>::withId);
}
