// A drawn module on the skinned-image base: shows the skin image named on its
// file-name pin at the position of its position pin, is hit where the image
// is drawn, and holds the pointer from a press on the image to the release.
#include "ImageBase.h"

class QW_TestSkin : public ImageBase
{
public:
    QW_TestSkin()
    {
        initializePin(position_, static_cast<void (ImageBase::*)()>(&ImageBase::calcDrawAt));
        initializePin(pinFilename, &ImageBase::onSetFilename);
        initializePin(pinMenuItems);
        initializePin(pinMenuSelection);
        initializePin(pinMouseDown);
        initializePin(pinHint);
        initializePin(pinMouseDown2);
    }

    float getAnimationPos() override { return position_; }
    void setAnimationPos(float position) override { position_ = position; }
    void onLoaded() override {}
    std::wstring getHint() override { return pinHint; }

    // One frame and its padding, once an image is loaded.
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override
    {
        const ImageMetadata* m = getMetadata();
        if (!m || !desired)
            return MpGuiGfxBase::measure(available, desired);
        desired->width = m->paddingLeft + static_cast<float>(m->frameWidth);
        desired->height = m->paddingTop + static_cast<float>(m->frameHeight);
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        return bitmapHitTestLocal(point) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !bitmapHitTestLocal(point))
            return gmpi::MP_UNHANDLED;
        setCapture();
        pinMouseDown = true;
        pinMouseDown2 = true;
        return gmpi::MP_OK;
    }

private:
    MpGuiPin<float> position_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestSkin", &gmpi::Register<QW_TestSkin>::withId);
} // namespace
