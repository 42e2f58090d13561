// The older shape editor: the same editor without the context menu (and its
// two pins), whose end nodes stay findable and drawn while locked, whose
// spikes keep their order when dragged, and which draws every node in index
// order with square nodes one pixel smaller.
#include "../QW_ShapeEditor6.h"

class QW_ShapeEditor5 : public QW_ShapeEditor6
{
public:
    QW_ShapeEditor5() : QW_ShapeEditor6(older()) {}

    int32_t populateContextMenu(float x, float y, gmpi::IMpUnknown* sink) override
    {
        return gmpi_gui::MpGuiGfxBase::populateContextMenu(x, y, sink);
    }
    int32_t onContextMenu(int32_t id) override { return gmpi_gui::MpGuiGfxBase::onContextMenu(id); }

private:
    static Variant older()
    {
        Variant v;
        v.menu = false;
        v.hideLockedEnds = false;
        v.reorderSpikes = false;
        v.squareShrink = 1.0f;
        v.selectedOnTop = false;
        return v;
    }
};

namespace
{
auto r5 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor5", &gmpi::Register<QW_ShapeEditor5>::withId);
auto r5c = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor5c", &gmpi::Register<QW_ShapeEditor5>::withId);
auto r5cc = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor5cc", &gmpi::Register<QW_ShapeEditor5>::withId);
} // namespace
