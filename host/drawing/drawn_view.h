// Drawn modules on the stand-in: the graphics hosts of a user-interface host's
// modules, and a view that measures, arranges, draws and points at one of them.
//
//   qwhost::GuiHost host;
//   qwhost::DrawingDesk desk(host);             // drawn modules on `host` get graphics hosts
//   qwhost::DrawnView view(desk, bundle, L"QW_Name");
//   view.module().setFloat(0, 0.5f);            // pins as on any interface half
//   auto& bitmap = view.render(100, 20);        // measure, arrange, OnRender
//   view.pointerDown(0x10, {50, 10});           // pointer events, as the host sends them
//   view.graphicsHost().redraws                 // what the module asked for
//   view.populateContextMenu({5, 5}, items);    // the right button: the module's items,
//   view.chooseContextMenu(items[0].id);        // then the one the user picked
#pragma once

#include "dialogs.h"
#include "drawing/drawing.h"
#include "drawing/graphics_host.h"
#include "ui_host.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qwhost
{
class Dialogs;

// Gives every module that a user-interface host creates from now on a
// graphics host of its own (answered for MP_IID_GRAPHICS_HOST and
// MP_IID_GRAPHICS_HOST_BASE), all drawing with one factory.
class DrawingDesk
{
public:
    explicit DrawingDesk(GuiHost& host);
    ~DrawingDesk();
    DrawingDesk(const DrawingDesk&) = delete;
    DrawingDesk& operator=(const DrawingDesk&) = delete;

    // Whether new modules get a graphics host at all.
    bool offerGraphicsHost = true;
    // Widgets of every graphics host made from now on; none without.
    Dialogs* dialogs = nullptr;

    GuiHost& host() const { return host_; }
    drawing::Factory* factory() const { return factory_; }
    // The module's graphics host; null when it was made without one.
    GraphicsHost* graphicsHostOf(const GuiModule& module) const;
    // Lets go of the graphics host of a module that is gone.
    void forget(const GuiModule* module);

private:
    GuiHost& host_;
    drawing::Factory* factory_;
    std::function<void(GuiModule&)> previousPrepare_;
    std::map<const GuiModule*, GraphicsHost*> graphicsHosts_; // one reference each
};

class DrawnView
{
public:
    // Creates the interface half of `id` as GuiHost::create does (with
    // `start`: pin defaults and initialize). Throws Error when the object
    // answers no drawing interface.
    DrawnView(DrawingDesk& desk, std::shared_ptr<Bundle> bundle, const std::wstring& id, bool start = true);
    // Draws a module made elsewhere on the desk's host (a patch's interface
    // half, say), which must outlive the view. Throws Error as above.
    DrawnView(DrawingDesk& desk, GuiModule& module);
    ~DrawnView();
    DrawnView(const DrawnView&) = delete;
    DrawnView& operator=(const DrawnView&) = delete;

    GuiModule& module() const { return *module_; }
    // Throws Error when the module was made without one.
    GraphicsHost& graphicsHost() const;
    drawing::Factory* factory() const { return desk_.factory(); }
    gmpi_gui_api::IMpGraphics4* graphics() const { return graphics_; }

    // The host's calls, with the module's answers.
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE& desired);
    int32_t arrange(GmpiDrawing_API::MP1_RECT rect);
    int32_t pointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t pointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t pointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t wheel(int32_t flags, int32_t delta, GmpiDrawing_API::MP1_POINT point);
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point);
    // The context menu at a point: the items the module adds through the
    // host's sink (populateContextMenu); -2 for a module of the first
    // generation, which has no such call.
    int32_t populateContextMenu(GmpiDrawing_API::MP1_POINT point, std::vector<PlatformMenu::Item>& items);
    // The user picked the item of that id from the menu (onContextMenu).
    int32_t chooseContextMenu(int32_t id);
    // The module's tool tip at a point, as UTF-8 (empty when it gives none).
    int32_t toolTip(GmpiDrawing_API::MP1_POINT point, std::string& text);
    // The pointer came over the module (true) or left it (false).
    int32_t hover(bool isOver);

    // Measures with the size as available, arranges at (0, 0, width, height)
    // and draws (render). Throws Error for a size the stand-in cannot draw.
    drawing::Bitmap& layOutAndRender(int width, int height);
    // Draws the module into a new transparent bitmap of that size, between
    // the context's BeginDraw and EndDraw; the result of OnRender is kept.
    drawing::Bitmap& render(int width, int height);
    int32_t lastRenderResult() const { return renderResult_; }
    // The bitmap of the last render, or null.
    drawing::Bitmap* bitmap() const { return bitmap_; }

private:
    void openView();

    DrawingDesk& desk_;
    std::unique_ptr<GuiModule> owned_;
    GuiModule* module_;
    gmpi_gui_api::IMpGraphics4* graphics_ = nullptr;
    drawing::Bitmap* bitmap_ = nullptr;
    int32_t renderResult_ = 0;
};
} // namespace qwhost
