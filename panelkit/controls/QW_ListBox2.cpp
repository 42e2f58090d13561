// List box with a second text colour for folder entries (a text that ends
// with "/" or "\"); an empty list shows no thumb.
#include "list_box.h"

using namespace qw::controls;

class QW_ListBox2 : public ListBox
{
public:
    QW_ListBox2() : ListBox(false)
    {
        initializePin(choice_, &QW_ListBox2::onSetChoice);
        initializePin(items_, &QW_ListBox2::onSetItemList);
        initializePin(pointerDown_);
        initializePin(style_, &QW_ListBox2::onSetStyle);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_ListBox2::onSetColors);
        initializePin(autoHide_, &QW_ListBox2::onSetLook);
        initializePin(backgroundMode_, &QW_ListBox2::onSetLook);
        expectOwnEchoes();
    }

private:
    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0xFF000000u, 0xFF000000u, 0xFFE0E0F0u, 0xFFD0D0E0u,
                                                       0xFF90D040u, 0xFF90A0B0u, 0xFFFFFFFFu, 0xFF506070u};
        const StringGuiPin* const pins[ColourCount] = {&colourPins_[0], &colourPins_[1], &colourPins_[2],
                                                       &colourPins_[3], &colourPins_[4], &colourPins_[5],
                                                       &colourPins_[6], &colourPins_[7]};
        readColours(pins, defaults);
    }

    StringGuiPin colourPins_[ColourCount];
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListBox2", &gmpi::Register<QW_ListBox2>::withId);
} // namespace
