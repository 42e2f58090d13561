#include "ImageBase.h"

#include "it_enum_list.h"
#include "mp_api_dialogs.h"
#include "skin_text.h"

ImageBase::~ImageBase() = default;

void ImageBase::initializeImagePins(int pointerPins)
{
    initializePin(pinFilename, &ImageBase::onSetFilename);
    initializePin(pinHint);
    initializePin(pinMenuItems);
    initializePin(pinMenuSelection);
    if (pointerPins > 0)
        initializePin(pinMouseDown);
    if (pointerPins > 1)
        initializePin(pinMouseDown2);
}

void ImageBase::onSetFilename()
{
    std::string name;
    skin::toUtf8Exact(pinFilename.getValue(), name);
    Load(name);
}

int32_t ImageBase::Load(const std::string& name)
{
    const int32_t r = skinBitmap::Load(getHost(), getGuiHost(), name.c_str());
    if (r != 0)
        return r;
    onLoaded();
    invalidateMeasure();
    calcDrawAt();
    invalidateRect(nullptr);
    return 0;
}

void ImageBase::calcDrawAt()
{
    if (skinBitmap::calcDrawAt(getAnimationPos()))
        invalidateRect(nullptr);
}

void ImageBase::reDraw()
{
    invalidateRect(nullptr);
}

int32_t ImageBase::getMouseResponse()
{
    return bitmapMetadata_ ? bitmapMetadata_->orientation : kNoMouseResponse;
}

int32_t ImageBase::OnRender(GmpiDrawing_API::IMpDeviceContext* drawingContext)
{
    GmpiDrawing::Graphics g(drawingContext);
    renderBitmap(g, {0, 0});
    return gmpi::MP_OK;
}

int32_t ImageBase::onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT)
{
    if (!getCapture())
        return gmpi::MP_UNHANDLED;
    releaseCapture();
    pinMouseDown = false;
    pinMouseDown2 = false;
    return gmpi::MP_OK;
}

int32_t ImageBase::populateContextMenu(float, float, gmpi::IMpUnknown* sink)
{
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpContextItemSink> items;
    if (!sink || sink->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, items.asIMpUnknownPtr()) != gmpi::MP_OK ||
        !items)
        return gmpi::MP_OK;
    it_enum_list list(pinMenuItems.getValue());
    int taken = 0;
    for (list.First(); !list.IsDone() && taken < kMaxMenuItems; list.Next(), ++taken)
    {
        const enum_entry& e = list.current();
        const int type = e.getType();
        if (type == 2 || type == 4)
            continue;
        items->AddItem(gmpi_sdk::toUtf8(e.text).c_str(), e.value, (type == 1 || type == 3) ? 8 : 0);
    }
    return gmpi::MP_OK;
}

int32_t ImageBase::onContextMenu(int32_t selection)
{
    pinMenuSelection = selection;
    pinMenuSelection = -1;
    return gmpi::MP_OK;
}

int32_t ImageBase::getToolTip(float, float, gmpi::IMpUnknown* out)
{
    const std::wstring hint = getHint();
    if (hint.empty() || !out)
        return gmpi::MP_NOSUPPORT;
    gmpi_sdk::mp_shared_ptr<gmpi::IString> text;
    if (out->queryInterface(gmpi::MP_IID_RETURNSTRING, text.asIMpUnknownPtr()) != gmpi::MP_OK || !text)
        return gmpi::MP_NOSUPPORT;
    std::string utf8;
    skin::toUtf8Exact(hint, utf8);
    text->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    return gmpi::MP_OK;
}

int32_t ImageBase::getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* out)
{
    if (!out)
        return gmpi::MP_FAIL;
    const std::string utf8 = pinHint;
    out->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    return gmpi::MP_OK;
}
