// Binary interface of drawn user-interface objects: the drawing entry points
// the host calls (IMpGraphics .. IMpGraphics4) and the graphics host through
// which a module asks for redraws, re-measurement, pointer capture and the
// host's native widgets.
//
// As in mp_api.h, the order of the virtual functions is the slot order the
// host calls (0-2 queryInterface, addRef, release) and must never change.
#pragma once

#include "mp_api_drawing.h"

#include <cstdint>

namespace gmpi_gui
{
// The host's native widgets (mp_api_dialogs.h).
class IMpPlatformMenu;
class IMpPlatformText;
class IMpOkCancelDialog;
class IMpFileDialog;
} // namespace gmpi_gui

namespace gmpi_gui_api
{
using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;

// Bits of the flags word of the pointer entry points.
enum GG_POINTER_FLAGS : int32_t
{
    GG_POINTER_FLAG_FIRSTBUTTON = 0x10, // left button
    GG_POINTER_KEY_CONTROL = 0x20000,   // the fine-adjustment modifier
};

// What the host calls on a drawn object (MP_IID_GRAPHICS_MPGUI). Results:
// 0 handled (for hit tests: a hit), -1 not handled.
class IMpGraphics : public gmpi::IMpUnknown
{
public:
    virtual int32_t measure(MP1_SIZE availableSize, MP1_SIZE* returnDesiredSize) = 0; // 3
    virtual int32_t arrange(MP1_RECT finalRect) = 0;                                  // 4
    virtual int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* drawingContext) = 0;  // 5
    virtual int32_t onPointerDown(int32_t flags, MP1_POINT point) = 0;                // 6
    virtual int32_t onPointerMove(int32_t flags, MP1_POINT point) = 0;                // 7
    virtual int32_t onPointerUp(int32_t flags, MP1_POINT point) = 0;                  // 8
};

// MP_IID_GRAPHICS_MPGUI2
class IMpGraphics2 : public IMpGraphics
{
public:
    virtual int32_t hitTest(MP1_POINT point) = 0;                                 // 9
    virtual int32_t getToolTip(MP1_POINT point, gmpi::IString* returnString) = 0; // 10
};

// MP_IID_GRAPHICS_MPGUI3
class IMpGraphics3 : public IMpGraphics2
{
public:
    virtual int32_t hitTest2(int32_t flags, MP1_POINT point) = 0;                    // 11
    virtual int32_t onMouseWheel(int32_t flags, int32_t delta, MP1_POINT point) = 0; // 12
    virtual int32_t setHover(bool isMouseOverMe) = 0;                                // 13
};

// MP_IID_GRAPHICS_MPGUI4
class IMpGraphics4 : public IMpGraphics3
{
public:
    virtual int32_t getClipArea(MP1_RECT* returnRect) = 0; // 14
};
} // namespace gmpi_gui_api

namespace gmpi_gui
{
// The graphics host of a drawn module (MP_IID_GRAPHICS_HOST).
class IMpGraphicsHost : public gmpi::IMpUnknown
{
public:
    virtual int32_t unusedSlot3() = 0;
    virtual int32_t GetDrawingFactory(GmpiDrawing_API::IMpFactory** returnFactory) = 0; // 4
    // Redraw soon; null = the whole module.
    virtual void invalidateRect(const GmpiDrawing_API::MP1_RECT* invalidRect) = 0; // 5
    // Measure and arrange the module again.
    virtual void invalidateMeasure() = 0; // 6
    // Further pointer events go to this module until released.
    virtual int32_t setCapture() = 0;                     // 7
    virtual int32_t getCapture(int32_t& returnValue) = 0; // 8: non-zero while this module holds it
    virtual int32_t releaseCapture() = 0;                 // 9
    virtual int32_t createPlatformMenu(const GmpiDrawing_API::MP1_RECT* rect,
                                       IMpPlatformMenu** returnMenu) = 0; // 10
    virtual int32_t createPlatformTextEdit(const GmpiDrawing_API::MP1_RECT* rect,
                                           IMpPlatformText** returnTextEdit) = 0;                   // 11
    virtual int32_t createOkCancelDialog(int32_t dialogType, IMpOkCancelDialog** returnDialog) = 0; // 12
};

// Second view, asked of the user-interface host (MP_IID_GRAPHICS_HOST_BASE).
class IMpGraphicsHostBase : public gmpi::IMpUnknown
{
public:
    virtual int32_t createFileDialog(int32_t dialogType, IMpFileDialog** returnFileDialog) = 0; // 3
};
} // namespace gmpi_gui
