#include "drawing/graphics_host.h"

#include "dialogs.h"

namespace qwhost
{
namespace
{
WidgetRect widgetRect(const GmpiDrawing_API::MP1_RECT* r)
{
    return r ? WidgetRect{r->left, r->top, r->right, r->bottom} : WidgetRect{};
}
} // namespace

GraphicsHost::GraphicsHost(drawing::Factory* factory) : factory_(factory)
{
    factory_->addRef();
}

GraphicsHost::~GraphicsHost()
{
    factory_->release();
}

int32_t GraphicsHost::release()
{
    const int32_t r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

int32_t GraphicsHost::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    if (iid == gmpi::MP_IID_GRAPHICS_HOST || iid == gmpi::MP_IID_UNKNOWN)
        *out = static_cast<gmpi_gui::IMpGraphicsHost*>(this);
    else if (iid == gmpi::MP_IID_GRAPHICS_HOST_BASE)
        *out = static_cast<gmpi_gui::IMpGraphicsHostBase*>(this);
    else
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    addRef();
    return gmpi::MP_OK;
}

int32_t GraphicsHost::GetDrawingFactory(GmpiDrawing_API::IMpFactory** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    factory_->addRef();
    *out = factory_;
    return gmpi::MP_OK;
}

void GraphicsHost::invalidateRect(const GmpiDrawing_API::MP1_RECT* rect)
{
    redraws.push_back(rect ? Redraw{false, *rect} : Redraw{true, {0, 0, 0, 0}});
}

int32_t GraphicsHost::setCapture()
{
    ++captureCalls;
    captured_ = true;
    return gmpi::MP_OK;
}

int32_t GraphicsHost::getCapture(int32_t& returnValue)
{
    returnValue = captured_ ? 1 : 0;
    return gmpi::MP_OK;
}

int32_t GraphicsHost::releaseCapture()
{
    ++releaseCalls;
    captured_ = false;
    return gmpi::MP_OK;
}

int32_t GraphicsHost::createPlatformMenu(const GmpiDrawing_API::MP1_RECT* rect, gmpi_gui::IMpPlatformMenu** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    return dialogs ? dialogs->createMenu(widgetRect(rect), out) : gmpi::MP_FAIL;
}

int32_t GraphicsHost::createPlatformTextEdit(const GmpiDrawing_API::MP1_RECT* rect, gmpi_gui::IMpPlatformText** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    return dialogs ? dialogs->createTextEdit(widgetRect(rect), out) : gmpi::MP_FAIL;
}

int32_t GraphicsHost::createOkCancelDialog(int32_t dialogType, gmpi_gui::IMpOkCancelDialog** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    return dialogs ? dialogs->createOkCancel(dialogType, out) : gmpi::MP_FAIL;
}

int32_t GraphicsHost::createFileDialog(int32_t dialogType, gmpi_gui::IMpFileDialog** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    return dialogs ? dialogs->createFileDialog(dialogType, out) : gmpi::MP_FAIL;
}
} // namespace qwhost
