// The shape editor: a breakpoint shape drawn as a curve with its nodes over a
// grid, edited with the pointer and through pins. The shape arrives and
// leaves as a shape blob on pin 0; the selected node's position is mirrored
// on two value pins. Drawn in two cached layers: a background (gradient, grid,
// guide lines) and a foreground (curve or spikes, fill, nodes).
#pragma once

#include "Drawing.h"
#include "mp_sdk_gui2.h"
#include "qw_shape.h"

#include <cstdint>

// Mapping between shape units (x in [0, 1], y in [-1, 1]) and pixels.
struct CoordConv
{
    float w = 0, h = 0, l = 0, t = 0;     // inner width and height, left and top margin
    float ax = 0, bx = 0, ay = 0, by = 0; // pixel = a * unit + b
    float kx = 0, cx = 0, ky = 0, cy = 0; // unit = k * pixel + c

    void setParams(float width, float height, float factor);
    GmpiDrawing::Point toPixels(float x, float y) const { return {ax * x + bx, ay * y + by}; }
    GmpiDrawing::Point toUnits(GmpiDrawing_API::MP1_POINT p) const { return {kx * p.x + cx, ky * p.y + cy}; }
};

class QW_ShapeEditor6 : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_ShapeEditor6() : QW_ShapeEditor6(Variant{}) {}
    ~QW_ShapeEditor6() override = default;

    int32_t populateContextMenu(float x, float y, gmpi::IMpUnknown* sink) override;
    int32_t onContextMenu(int32_t id) override;
    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override;
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override;
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IString* text) override;
    using gmpi_gui::MpGuiGfxBase::getToolTip;

    static constexpr int kColours = 11;
    // Widest inner area drawn, in pixel columns (one table entry each).
    static constexpr int kMaxColumns = 16384;

protected:
    // What the smaller editor does otherwise.
    struct Variant
    {
        bool menu = true;           // pins 14 and 15 and the context menu
        bool hideLockedEnds = true; // lockFirstLast: end nodes neither found, drawn nor redrawn for
        bool reorderSpikes = true;  // a spike dragged past its neighbour changes places with it
        float squareShrink = 0.0f;  // square nodes span nodeSize minus this
        bool selectedOnTop = true;  // the selected node drawn last, in its own colour
    };
    explicit QW_ShapeEditor6(const Variant& variant);

private:
    void onSetShape();
    void onSetITP_Choice();
    void onSetActiveNode();
    void onSetEditable();
    void onSetLockX();
    void onSetLockAddRem();
    void onSetLockFirstLast();
    void onSetYLimits();
    void onSetBaseLine();
    void onSetEditUnits();
    void onSetNodeSize();
    void onSetNodeThickness();
    void onSetCircularNodes();
    void onSetFillNodes();
    void onSetShapeThickness();
    void onSetBorderFactor();
    void onSetBorderClip();
    void onSetGridDivisions();
    void onSetColors();
    void onSetEditX();
    void onSetEditY();
    void onSetReset();
    void onSetFlipHoriz();
    void onSetFlipVert();

    void updateEditPins();
    // A node's x and y as the edit pins show them.
    float shownX(float x) const { return editUnits_ != 0 ? x : 10.0f * x - 5.0f; }
    float shownY(float y) const { return editUnits_ != 0 ? y : 5.0f * y; }
    void updateShapePin();
    void updateActiveNodePin();
    int pointInsideNode(GmpiDrawing_API::MP1_POINT point) const;

    qw::Shape& shape() { return interpolator_.shape; }
    bool validActive() const { return activeNode_ >= 0 && activeNode_ < interpolator_.shape.count; }
    bool isEnd(int i) const { return i == 0 || i == interpolator_.shape.count - 1; }
    // x of inner node i kept strictly between its neighbours on the x + 1 grid; true when it moved.
    bool placeInnerX(int i, float x);
    void addNodeAt(GmpiDrawing::Point units);
    void doubleClickOnNode(int i);
    void dropForeground() { foreground_.setNull(), frontTarget_.setNull(); }
    // Only nodes moved: the foreground is drawn again into the target it was
    // drawn into, which stays.
    void nodesMoved() { foreground_.setNull(); }
    void dropBoth() { background_.setNull(), dropForeground(); }
    void redraw() { invalidateRect(); }

    bool visible(int colour) const { return colours_[colour].a > 0.0f; }
    GmpiDrawing::Bitmap buildLayer(const GmpiDrawing::Graphics& g, bool front);
    GmpiDrawing::Bitmap redrawForeground();
    GmpiDrawing::Color frontClear() const;
    void paintBackground(const GmpiDrawing::Graphics_base& g);
    void paintForeground(const GmpiDrawing::Graphics_base& g);
    void paintCurve(const GmpiDrawing::Graphics_base& g, float yb);
    void paintNode(const GmpiDrawing::Graphics_base& g, GmpiDrawing::Point c, const GmpiDrawing::Brush& brush);

    const Variant variant_;

    MpGuiPin<MpBlob> pinShape_;
    MpGuiPin<int> pinItp_;
    MpGuiPin<int> pinActiveNode_;
    MpGuiPin<bool> pinEditable_;
    MpGuiPin<bool> pinLockX_;
    MpGuiPin<bool> pinLockAddRem_;
    MpGuiPin<bool> pinLockFirstLast_;
    MpGuiPin<float> pinYUpper_;
    MpGuiPin<float> pinYLower_;
    MpGuiPin<float> pinBaseLine_;
    StringGuiPin pinResetText_;
    MpGuiPin<int> pinEditUnits_;
    MpGuiPin<bool> pinPointerDown_;
    StringGuiPin pinToolTip_;
    StringGuiPin pinMenuItems_;
    MpGuiPin<int> pinMenuChoice_;
    MpGuiPin<int> pinNodeSize_;
    MpGuiPin<int> pinNodeThickness_;
    MpGuiPin<bool> pinCircularNodes_;
    MpGuiPin<bool> pinFillNodes_;
    MpGuiPin<int> pinShapeThickness_;
    MpGuiPin<float> pinBorderFactor_;
    MpGuiPin<bool> pinBorderClip_;
    MpGuiPin<int> pinGridX_;
    MpGuiPin<int> pinGridY_;
    StringGuiPin pinColours_[kColours];
    MpGuiPin<float> pinEditX_;
    MpGuiPin<float> pinEditY_;
    MpGuiPin<bool> pinReset_;
    MpGuiPin<bool> pinFlipHoriz_;
    MpGuiPin<bool> pinFlipVert_;

    GmpiDrawing::Color colours_[kColours];
    qw::Shape::Interpolator interpolator_;
    CoordConv conv_;
    float shapeThickness_ = 2.0f;
    float nodeThickness_ = 1.0f;
    float nodeSize_ = 10.0f;
    float borderFactor_ = 0.035f;
    float baseLine_ = 0.0f;
    float yMin_ = -1.0f, yMax_ = 1.0f;
    bool editable_ = false, lockX_ = false, lockAddRem_ = false, lockFirstLast_ = false;
    bool circularNodes_ = false, fillNodes_ = false, borderClip_ = false;
    int32_t gridX_ = 10, gridY_ = 10;
    int32_t editUnits_ = 0;
    GmpiDrawing::Bitmap background_, foreground_;
    GmpiDrawing::BitmapRenderTarget frontTarget_; // the foreground's own target, kept while only nodes move
    GmpiDrawing::Size size_{0.0f, 0.0f};
    GmpiDrawing::Size laidOutSize_{0.0f, 0.0f};
    GmpiDrawing::Point dragStart_{0.0f, 0.0f};
    int32_t activeNode_ = -1;
    int64_t lastClick_ = 0;
    bool echoGuard_ = false;
};
