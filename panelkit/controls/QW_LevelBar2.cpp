// Level bar: a value between 0 and 1 as a bar over a gradient, horizontal or
// vertical, optionally growing from the middle; dragged by the user.
#include "level_bar.h"

class QW_LevelBar2 : public qw::controls::LevelBar
{
public:
    QW_LevelBar2() : LevelBar(true, false)
    {
        initializePin(level_, &QW_LevelBar2::reDraw);
        initializePin(pointerDown_);
        initializePin(orientation_, &QW_LevelBar2::reDraw);
        initializePin(centre_, &QW_LevelBar2::reDraw);
        initializePin(passThrough_);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_LevelBar2::onSetColors);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_LevelBar2", &gmpi::Register<QW_LevelBar2>::withId);
} // namespace
