// The older list box, kept for existing patches: one text colour for every
// row (transparent by default, which hands it to the style), and with no
// rows a thumb over the whole track. Registered twice; the host describes
// both identifiers with the same pins.
#include "list_box.h"

using namespace qw::controls;

class QW_ListBox : public ListBox
{
public:
    QW_ListBox() : ListBox(true)
    {
        initializePin(choice_, &QW_ListBox::onSetChoice);
        initializePin(items_, &QW_ListBox::onSetItemList);
        initializePin(pointerDown_);
        initializePin(style_, &QW_ListBox::onSetStyle);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_ListBox::onSetColors);
        initializePin(autoHide_, &QW_ListBox::onSetLook);
        initializePin(backgroundMode_, &QW_ListBox::onSetLook);
        expectOwnEchoes();
        onSetColors();
    }

private:
    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0x00000000u, 0x00000000u, 0xFFE0E0F0u, 0xFFD0D0E0u,
                                                       0xFF90D040u, 0xFF90A0B0u, 0xFFFFFFFFu, 0xFF506070u};
        // The text colour serves folder entries too.
        const StringGuiPin* const pins[ColourCount] = {&colourPins_[0], &colourPins_[0], &colourPins_[1],
                                                       &colourPins_[2], &colourPins_[3], &colourPins_[4],
                                                       &colourPins_[5], &colourPins_[6]};
        readColours(pins, defaults);
    }

    StringGuiPin colourPins_[ColourCount - 1];
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListBox", &gmpi::Register<QW_ListBox>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListBoxC", &gmpi::Register<QW_ListBox>::withId);
} // namespace
