// Base of the user-interface modules that draw themselves.
#pragma once

#include "Drawing.h"
#include "mp_api_gui2.h"
#include "mp_sdk_gui.h"

namespace gmpi_gui
{
// Adds to MpGuiBase2 the drawing entry points the host calls, the graphics
// host (redraws, re-measurement, pointer capture, native widgets) and the
// rectangle the host last arranged the module in. Every operation below is a
// default that a module overrides as it needs; the host reaches the same
// functions through the IMpGraphics4 view.
class MpGuiGfxBase : public MpGuiBase2, public gmpi_gui_api::IMpGraphics4
{
public:
    MpGuiGfxBase() = default;
    ~MpGuiGfxBase() override;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    // Takes the graphics host (a host without one is accepted), then the
    // user-interface host as MpGuiBase2 does; answers MpGuiBase2's result.
    int32_t setHost(gmpi::IMpUnknown* host) override;

    // The drawing entry points, in slot order.
    // Desired size: the available size, at least 1 by 1 (NaN gives 1).
    int32_t measure(GmpiDrawing_API::MP1_SIZE availableSize, GmpiDrawing_API::MP1_SIZE* returnDesiredSize) override;
    // Stores the rectangle; asks for a redraw of the whole module when it changed.
    int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) override;
    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext*) override { return gmpi::MP_OK; }
    int32_t onPointerDown(int32_t, GmpiDrawing_API::MP1_POINT point) override { return hitTest(point); }
    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override { return hitTest(point); }
    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT point) override { return hitTest(point); }
    // 0: every point of the module is a hit.
    int32_t hitTest(GmpiDrawing_API::MP1_POINT) override { return gmpi::MP_OK; }
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString*) override { return gmpi::MP_UNHANDLED; }
    int32_t hitTest2(int32_t, GmpiDrawing_API::MP1_POINT point) override { return hitTest(point); }
    int32_t onMouseWheel(int32_t, int32_t, GmpiDrawing_API::MP1_POINT) override { return gmpi::MP_UNHANDLED; }
    int32_t setHover(bool) override { return gmpi::MP_UNHANDLED; }
    int32_t getClipArea(GmpiDrawing_API::MP1_RECT* returnRect) override;

    using MpGuiBase2::getToolTip;

    // The graphics host, or null when the host offers none.
    gmpi_gui::IMpGraphicsHost* getGuiHost() const { return guiHost_; }
    // The rectangle of the last arrange; (0, 0, 0, 0) before the first.
    GmpiDrawing::Rect getRect() const { return rect_; }

    // Requests to the graphics host; without one they do nothing (and the
    // capture calls answer -1 or false).
    void invalidateRect(const GmpiDrawing_API::MP1_RECT* rect = nullptr);
    void invalidateMeasure();
    int32_t setCapture();
    bool getCapture() const;
    int32_t releaseCapture();

protected:
    int32_t refCount_ = 1;
    gmpi_gui::IMpGraphicsHost* guiHost_ = nullptr;
    GmpiDrawing_API::MP1_RECT rect_{0.0f, 0.0f, 0.0f, 0.0f};
};
} // namespace gmpi_gui
