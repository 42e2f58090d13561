// The older level bar, kept for existing patches: no centre mode, and its bar
// brush is made on every render.
#include "level_bar.h"

class QW_LevelBar : public qw::controls::LevelBar
{
public:
    QW_LevelBar() : LevelBar(false, true)
    {
        initializePin(level_, &QW_LevelBar::reDraw);
        initializePin(pointerDown_);
        initializePin(orientation_, &QW_LevelBar::reDraw);
        initializePin(passThrough_);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_LevelBar::onSetColors);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_LevelBar", &gmpi::Register<QW_LevelBar>::withId);
} // namespace
