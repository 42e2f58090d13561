#include "mp_sdk_gui2.h"

namespace gmpi_gui
{
MpGuiGfxBase::~MpGuiGfxBase()
{
    if (guiHost_)
        guiHost_->release();
}

int32_t MpGuiGfxBase::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (out && (iid == gmpi::MP_IID_GRAPHICS_MPGUI || iid == gmpi::MP_IID_GRAPHICS_MPGUI2 ||
                iid == gmpi::MP_IID_GRAPHICS_MPGUI3 || iid == gmpi::MP_IID_GRAPHICS_MPGUI4))
    {
        *out = static_cast<gmpi_gui_api::IMpGraphics4*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    return MpGuiBase2::queryInterface(iid, out);
}

int32_t MpGuiGfxBase::release()
{
    const int32_t r = --refCount_;
    if (r == 0)
        delete this;
    return r;
}

int32_t MpGuiGfxBase::setHost(gmpi::IMpUnknown* host)
{
    if (guiHost_)
        guiHost_->release();
    guiHost_ = nullptr;
    if (host)
        host->queryInterface(gmpi::MP_IID_GRAPHICS_HOST, reinterpret_cast<void**>(&guiHost_));
    return MpGuiBase2::setHost(host);
}

int32_t MpGuiGfxBase::measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired)
{
    if (!desired)
        return gmpi::MP_FAIL;
    // NaN fails both comparisons and so becomes 1 as well.
    desired->width = available.width >= 1.0f ? available.width : 1.0f;
    desired->height = available.height >= 1.0f ? available.height : 1.0f;
    return gmpi::MP_OK;
}

int32_t MpGuiGfxBase::arrange(GmpiDrawing_API::MP1_RECT r)
{
    // A NaN on either side compares unequal: it counts as a change.
    if (r.left == rect_.left && r.top == rect_.top && r.right == rect_.right && r.bottom == rect_.bottom)
        return gmpi::MP_OK;
    rect_ = r;
    invalidateRect(nullptr);
    return gmpi::MP_OK;
}

int32_t MpGuiGfxBase::getClipArea(GmpiDrawing_API::MP1_RECT* r)
{
    if (!r)
        return gmpi::MP_FAIL;
    *r = rect_;
    return gmpi::MP_OK;
}

void MpGuiGfxBase::invalidateRect(const GmpiDrawing_API::MP1_RECT* rect)
{
    if (guiHost_)
        guiHost_->invalidateRect(rect);
}

void MpGuiGfxBase::invalidateMeasure()
{
    if (guiHost_)
        guiHost_->invalidateMeasure();
}

int32_t MpGuiGfxBase::setCapture()
{
    return guiHost_ ? guiHost_->setCapture() : gmpi::MP_FAIL;
}

bool MpGuiGfxBase::getCapture() const
{
    int32_t held = 0;
    return guiHost_ && guiHost_->getCapture(held) == gmpi::MP_OK && held != 0;
}

int32_t MpGuiGfxBase::releaseCapture()
{
    return guiHost_ ? guiHost_->releaseCapture() : gmpi::MP_FAIL;
}
} // namespace gmpi_gui
