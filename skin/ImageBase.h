// Base of the drawn modules that show a skin image: loads the image named on
// a file-name pin, redraws when the module's position changes, offers a
// context menu from a text pin and answers tool tips from a hint.
//
// A derived module registers the base's pins among its own, in its own pin
// order, with onSetFilename as the file-name pin's handler, and uses
// calcDrawAt() as the handler of its position pin:
//
//   initializePin(position_, static_cast<void (ImageBase::*)()>(&ImageBase::calcDrawAt));
//   initializePin(pinFilename, &ImageBase::onSetFilename);
//   initializePin(pinMenuItems); initializePin(pinMenuSelection); ...
#pragma once

#include "mp_sdk_gui2.h"
#include "skinBitmap.h"

#include <string>

class ImageBase : public gmpi_gui::MpGuiGfxBase, public skinBitmap
{
public:
    // getMouseResponse before an image is loaded: the module does not
    // respond to the pointer.
    static constexpr int32_t kNoMouseResponse = -2;
    // Context-menu entries taken from the items text at the most.
    static constexpr int kMaxMenuItems = 10000;

    ImageBase() = default;
    ~ImageBase() override;

    // Entries of the menu-items text (an enumeration list): markers "----"
    // and ">>>>" with flags 8, "||||" and "<<<<" left out, others flags 0.
    int32_t populateContextMenu(float x, float y, gmpi::IMpUnknown* contextMenuItemsSink) override;
    // The menu-selection pin gets the id, then -1.
    int32_t onContextMenu(int32_t selection) override;
    // getHint() as UTF-8; -2 when it is empty or `out` takes no text.
    int32_t getToolTip(float x, float y, gmpi::IMpUnknown* returnToolTipString) override;
    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* drawingContext) override;
    // Holding the capture: releases it, lowers both pointer pins, 0; else -1.
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    // The hint pin's text as UTF-8.
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IString* returnString) override;

    virtual float getAnimationPos() = 0; // 0..1
    virtual void setAnimationPos(float position) = 0;
    virtual void onLoaded() = 0; // a new image is loaded
    virtual std::wstring getHint() = 0;
    // The image's orientation / mouse-response code (kNoMouseResponse before a load).
    virtual int32_t getMouseResponse();

    // Registers the base's pins in the order of the skinned image controls:
    // file name (with its handler), hint, menu items, menu selection, then
    // the first `pointerPins` (0 to 2) of the two pointer-down pins.
    void initializeImagePins(int pointerPins);

    // Handler of the file-name pin: loads the named image (a name with no
    // UTF-8 form counts as empty).
    void onSetFilename();
    // 0 when loaded (then onLoaded, a re-measure, calcDrawAt and a redraw);
    // -1 when not, with nothing re-measured or redrawn.
    int32_t Load(const std::string& name);
    using skinBitmap::Load;
    // Follows getAnimationPos(); redraws when the drawn offset changed.
    void calcDrawAt();
    using skinBitmap::calcDrawAt;
    void reDraw();

protected:
    StringGuiPin pinFilename;
    StringGuiPin pinMenuItems;
    MpGuiPin<int> pinMenuSelection; // output
    MpGuiPin<bool> pinMouseDown;    // lowered on pointer release
    StringGuiPin pinHint;
    MpGuiPin<bool> pinMouseDown2; // lowered on pointer release
};
