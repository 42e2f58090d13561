#include "drawing/drawn_view.h"

#include "mp_sdk_common.h"

namespace qwhost
{
DrawingDesk::DrawingDesk(GuiHost& host) : host_(host), factory_(new drawing::Factory()), previousPrepare_(host.prepare)
{
    host_.prepare = [this](GuiModule& module) {
        if (previousPrepare_)
            previousPrepare_(module);
        if (!offerGraphicsHost)
            return;
        auto* g = new GraphicsHost(factory_);
        g->dialogs = dialogs;
        module.answer(gmpi::MP_IID_GRAPHICS_HOST, static_cast<gmpi_gui::IMpGraphicsHost*>(g));
        module.answer(gmpi::MP_IID_GRAPHICS_HOST_BASE, static_cast<gmpi_gui::IMpGraphicsHostBase*>(g));
        forget(&module); // an earlier module at the same address is gone
        graphicsHosts_[&module] = g;
    };
}

DrawingDesk::~DrawingDesk()
{
    host_.prepare = previousPrepare_;
    for (auto& h : graphicsHosts_)
        h.second->release();
    factory_->release();
}

GraphicsHost* DrawingDesk::graphicsHostOf(const GuiModule& module) const
{
    auto it = graphicsHosts_.find(&module);
    return it == graphicsHosts_.end() ? nullptr : it->second;
}

void DrawingDesk::forget(const GuiModule* module)
{
    auto it = graphicsHosts_.find(module);
    if (it == graphicsHosts_.end())
        return;
    it->second->release();
    graphicsHosts_.erase(it);
}

DrawnView::DrawnView(DrawingDesk& desk, std::shared_ptr<Bundle> bundle, const std::wstring& id, bool start)
    : desk_(desk), owned_(desk.host().create(std::move(bundle), id, start)), module_(owned_.get())
{
    openView();
}

DrawnView::DrawnView(DrawingDesk& desk, GuiModule& module) : desk_(desk), module_(&module)
{
    openView();
}

void DrawnView::openView()
{
    void* view = nullptr;
    if (module_->object()->queryInterface(gmpi::MP_IID_GRAPHICS_MPGUI4, &view) != gmpi::MP_OK || !view)
    {
        const std::string id = gmpi_sdk::toUtf8(module_->info().id);
        if (owned_)
        {
            owned_.reset();
            desk_.forget(module_);
        }
        throw Error(id + " does not draw (it answers no drawing interface)");
    }
    graphics_ = static_cast<gmpi_gui_api::IMpGraphics4*>(view);
}

DrawnView::~DrawnView()
{
    if (bitmap_)
        bitmap_->release();
    if (graphics_)
        graphics_->release();
    if (owned_)
    {
        owned_.reset();
        desk_.forget(module_);
    }
}

GraphicsHost& DrawnView::graphicsHost() const
{
    GraphicsHost* g = desk_.graphicsHostOf(*module_);
    if (!g)
        throw Error("the module was made without a graphics host");
    return *g;
}

int32_t DrawnView::measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE& desired)
{
    desired = {0.0f, 0.0f};
    return graphics_->measure(available, &desired);
}

int32_t DrawnView::arrange(GmpiDrawing_API::MP1_RECT rect)
{
    return graphics_->arrange(rect);
}
int32_t DrawnView::pointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT p)
{
    return graphics_->onPointerDown(flags, p);
}
int32_t DrawnView::pointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT p)
{
    return graphics_->onPointerMove(flags, p);
}
int32_t DrawnView::pointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT p)
{
    return graphics_->onPointerUp(flags, p);
}
int32_t DrawnView::wheel(int32_t flags, int32_t delta, GmpiDrawing_API::MP1_POINT p)
{
    return graphics_->onMouseWheel(flags, delta, p);
}
int32_t DrawnView::hitTest(GmpiDrawing_API::MP1_POINT p)
{
    return graphics_->hitTest(p);
}

int32_t DrawnView::populateContextMenu(GmpiDrawing_API::MP1_POINT p, std::vector<PlatformMenu::Item>& items)
{
    items.clear();
    if (!module_->ui())
        return gmpi::MP_NOSUPPORT;
    ContextMenuSink sink;
    const int32_t r = module_->ui()->populateContextMenu(p.x, p.y, &sink);
    items = sink.items;
    return r;
}
int32_t DrawnView::chooseContextMenu(int32_t id)
{
    return module_->ui() ? module_->ui()->onContextMenu(id) : gmpi::MP_NOSUPPORT;
}
int32_t DrawnView::toolTip(GmpiDrawing_API::MP1_POINT p, std::string& text)
{
    gmpi_sdk::MpString s;
    const int32_t r = graphics_->getToolTip(p, &s);
    text = s.str();
    return r;
}
int32_t DrawnView::hover(bool isOver)
{
    return graphics_->setHover(isOver);
}

drawing::Bitmap& DrawnView::layOutAndRender(int width, int height)
{
    if (width < 1 || height < 1 || width > drawing::Factory::kMaxSide || height > drawing::Factory::kMaxSide)
        throw Error("cannot draw at " + std::to_string(width) + " x " + std::to_string(height) + " pixels (1 to " +
                    std::to_string(drawing::Factory::kMaxSide) + " each way)");
    GmpiDrawing_API::MP1_SIZE desired;
    measure({static_cast<float>(width), static_cast<float>(height)}, desired);
    arrange({0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height)});
    return render(width, height);
}

drawing::Bitmap& DrawnView::render(int width, int height)
{
    drawing::Bitmap* target = desk_.factory()->createBitmap(width, height);
    if (!target)
        throw Error("cannot draw at " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    if (bitmap_)
        bitmap_->release();
    bitmap_ = target;
    drawing::DeviceContext* context = desk_.factory()->createContext(target);
    context->BeginDraw();
    renderResult_ = graphics_->OnRender(context);
    context->EndDraw();
    context->release();
    return *bitmap_;
}
} // namespace qwhost
