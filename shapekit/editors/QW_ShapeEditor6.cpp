#include "QW_ShapeEditor6.h"

#include "it_enum_list.h"
#include "mp_api_dialogs.h"
#include "skin_text.h"
#include "srgb.h"
#include "steady_clock.h"

#include <cmath>
#include <cstring>
#include <limits>

using GmpiDrawing::Color;
using GmpiDrawing::Point;
using GmpiDrawing::Rect;
using GmpiDrawing::Size;

namespace
{
constexpr int32_t kLeftButton = 0x10;
constexpr int32_t kFineDrag = 0x20000;
constexpr int64_t kDoubleClickNs = 301000000;
constexpr int kMaxMenuItems = 10000;

constexpr uint32_t kDefaultColours[QW_ShapeEditor6::kColours] = {
    0xFF303030u, 0xFF000000u, 0xFF383838u, 0xFF505050u, 0xFF505050u, 0x00000000u,
    0xFF00A0C0u, 0xC00080A0u, 0x200080A0u, 0xFF00A0C0u, 0xFFFFFFFFu,
};

// v limited to [lo, hi]; NaN gives lo.
float limit(float v, float lo, float hi)
{
    return v >= lo ? (v <= hi ? v : hi) : lo;
}

int32_t limitInt(int32_t v, int32_t lo, int32_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}
} // namespace

void CoordConv::setParams(float width, float height, float factor)
{
    const float inner = 1.0f - factor - factor;
    w = inner * width - 1.0f;
    h = inner * height - 1.0f;
    l = factor * width;
    t = factor * height;
    ax = w;
    bx = l;
    ay = -0.5f * h;
    by = t + 0.5f * h;
    kx = 1.0f / w;
    cx = -l * kx;
    ky = -2.0f / h;
    cy = 1.0f - ky * t;
}

QW_ShapeEditor6::QW_ShapeEditor6(const Variant& variant) : variant_(variant)
{
    using E = QW_ShapeEditor6;
    initializePin(pinShape_, &E::onSetShape);
    initializePin(pinItp_, &E::onSetITP_Choice);
    initializePin(pinActiveNode_, &E::onSetActiveNode);
    initializePin(pinEditable_, &E::onSetEditable);
    initializePin(pinLockX_, &E::onSetLockX);
    initializePin(pinLockAddRem_, &E::onSetLockAddRem);
    initializePin(pinLockFirstLast_, &E::onSetLockFirstLast);
    initializePin(pinYUpper_, &E::onSetYLimits);
    initializePin(pinYLower_, &E::onSetYLimits);
    initializePin(pinBaseLine_, &E::onSetBaseLine);
    initializePin(pinResetText_);
    initializePin(pinEditUnits_, &E::onSetEditUnits);
    initializePin(pinPointerDown_);
    initializePin(pinToolTip_);
    if (variant_.menu)
    {
        initializePin(pinMenuItems_);
        initializePin(pinMenuChoice_);
    }
    initializePin(pinNodeSize_, &E::onSetNodeSize);
    initializePin(pinNodeThickness_, &E::onSetNodeThickness);
    initializePin(pinCircularNodes_, &E::onSetCircularNodes);
    initializePin(pinFillNodes_, &E::onSetFillNodes);
    initializePin(pinShapeThickness_, &E::onSetShapeThickness);
    initializePin(pinBorderFactor_, &E::onSetBorderFactor);
    initializePin(pinBorderClip_, &E::onSetBorderClip);
    initializePin(pinGridX_, &E::onSetGridDivisions);
    initializePin(pinGridY_, &E::onSetGridDivisions);
    for (auto& pin : pinColours_)
        initializePin(pin, &E::onSetColors);
    initializePin(pinEditX_, &E::onSetEditX);
    initializePin(pinEditY_, &E::onSetEditY);
    initializePin(pinReset_, &E::onSetReset);
    initializePin(pinFlipHoriz_, &E::onSetFlipHoriz);
    initializePin(pinFlipVert_, &E::onSetFlipVert);

    for (int i = 0; i < kColours; ++i)
        colours_[i] = Color(mp_sdk::colorFromArgb(kDefaultColours[i]));
    expectOwnEchoes();
}

// ---------------------------------------------------------------------------
// Sending

void QW_ShapeEditor6::updateShapePin()
{
    const qw::Shape& s = interpolator_.shape;
    echoGuard_ = true;
    pinShape_.set(0, static_cast<int32_t>(s.blobSize()), s.blobData());
    pinTransmit(pinShape_.getId(), static_cast<int32_t>(s.blobSize()), s.blobData(), 0);
    echoGuard_ = false;
}

void QW_ShapeEditor6::updateActiveNodePin()
{
    echoGuard_ = true;
    pinActiveNode_ = activeNode_;
    echoGuard_ = false;
}

void QW_ShapeEditor6::updateEditPins()
{
    if (!validActive())
        return;
    const qw::Shape::Node& n = interpolator_.shape.nodes[activeNode_];
    pinEditX_ = shownX(n.x);
    pinEditY_ = shownY(n.y);
}

// ---------------------------------------------------------------------------
// Pointer

int QW_ShapeEditor6::pointInsideNode(GmpiDrawing_API::MP1_POINT point) const
{
    const qw::Shape& s = interpolator_.shape;
    if (s.count < 1)
        return -1;
    const Point p = conv_.toUnits(point);
    int best = 0;
    float bestD = 0.0f;
    for (int i = 0; i < s.count; ++i)
    {
        const float dx = s.nodes[i].x - p.x, dy = s.nodes[i].y - p.y;
        const float d = dx * dx + dy * dy;
        if (i == 0 || d < bestD)
            best = i, bestD = d;
    }
    if (variant_.hideLockedEnds && lockFirstLast_ && isEnd(best))
        return -1;
    const Point c = conv_.toPixels(s.nodes[best].x, s.nodes[best].y);
    const float r = nodeSize_ * 0.5f;
    const float dx = point.x - c.x, dy = point.y - c.y;
    const bool inside = circularNodes_ ? dx * dx + dy * dy < r * r : std::fabs(dx) < r && std::fabs(dy) < r;
    return inside ? best : -1;
}

int32_t QW_ShapeEditor6::hitTest(GmpiDrawing_API::MP1_POINT point)
{
    if (!editable_)
        return gmpi::MP_UNHANDLED;
    if (!lockAddRem_)
        return gmpi::MP_OK;
    return pointInsideNode(point) >= 0 ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
}

int32_t QW_ShapeEditor6::onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    if (!(flags & kLeftButton))
        return gmpi::MP_UNHANDLED;
    pinPointerDown_ = true;
    setCapture();
    if (!editable_)
        return gmpi::MP_OK;

    const Point units = conv_.toUnits(point);
    const int i = pointInsideNode(point);
    if (i < 0)
    {
        if (activeNode_ >= 0)
        {
            activeNode_ = -1;
            updateActiveNodePin();
            dropForeground();
            redraw();
        }
        if (lockAddRem_)
            return gmpi::MP_OK;
        const int64_t now = gmpi_gui::steadyClockNanoseconds();
        if (now - lastClick_ < kDoubleClickNs)
        {
            addNodeAt(units);
            if (std::isfinite(units.x) && std::isfinite(units.y))
                dragStart_ = units;
        }
        else
        {
            lastClick_ = now;
        }
        return gmpi::MP_OK;
    }

    const int64_t now = gmpi_gui::steadyClockNanoseconds();
    if (now - lastClick_ < kDoubleClickNs)
    {
        doubleClickOnNode(i);
        return gmpi::MP_OK;
    }
    lastClick_ = now;
    if (activeNode_ != i)
    {
        activeNode_ = i;
        updateActiveNodePin();
        updateEditPins();
        dropForeground();
        redraw();
    }
    dragStart_ = units; // finite: the point lies inside a node
    return 1;
}

void QW_ShapeEditor6::addNodeAt(Point units)
{
    float y = units.y;
    if (y > yMax_)
        y = yMax_;
    if (y < yMin_)
        y = yMin_;
    const int index = shape().addNode({units.x, y});
    if (index < 0)
        return;
    activeNode_ = index;
    dropForeground();
    redraw();
    updateShapePin();
    updateEditPins();
    updateActiveNodePin();
}

void QW_ShapeEditor6::doubleClickOnNode(int i)
{
    qw::Shape& s = shape();
    const int code = (isEnd(i) ? 1 : 0) + (lockFirstLast_ ? 2 : 0) + (lockAddRem_ ? 4 : 0);
    if (code == 3 || code == 7)
        return;
    if (code == 0 || code == 2)
    {
        std::memmove(&s.nodes[i], &s.nodes[i + 1], static_cast<size_t>(s.count - 1 - i) * sizeof(qw::Shape::Node));
        --s.count;
        s.changed = 1;
        activeNode_ = -1;
        updateActiveNodePin();
    }
    else
    {
        const float y = limit(baseLine_, -1.0f, 1.0f);
        if (s.nodes[i].y != y)
        {
            s.nodes[i].y = y;
            s.changed = 1;
        }
    }
    dropForeground();
    redraw();
    updateShapePin();
}

bool QW_ShapeEditor6::placeInnerX(int i, float x)
{
    qw::Shape& s = shape();
    const float lo = std::nextafterf(s.nodes[i - 1].x + 1.0f, 2.0f);
    const float hi = std::nextafterf(s.nodes[i + 1].x + 1.0f, 0.0f);
    float p = x + 1.0f;
    if (!(p >= lo)) // also NaN
        p = lo;
    if (p > hi)
        p = hi;
    if (p == s.nodes[i].x + 1.0f)
        return false;
    s.nodes[i].x = p - 1.0f;
    s.changed = 1;
    return true;
}

int32_t QW_ShapeEditor6::onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    qw::Shape& s = shape();
    if (!getCapture() || !editable_ || activeNode_ < 0)
        return gmpi::MP_OK;
    const int i = activeNode_;
    if (lockFirstLast_ && isEnd(i))
        return gmpi::MP_OK;

    const Point p = conv_.toUnits(point);
    const float g = (flags & kFineDrag) ? 0.1f : 1.0f;
    const bool present = i < s.count;
    const qw::Shape::Node n = present ? s.nodes[i] : qw::Shape::Node{-1.0f, 0.0f};
    // A pointer off the number line moves nothing.
    float dx = g * (p.x - dragStart_.x), dy = g * (p.y - dragStart_.y);
    if (!std::isfinite(dx))
        dx = 0.0f;
    if (!std::isfinite(dy))
        dy = 0.0f;
    const float x = lockX_ ? n.x : n.x + dx;
    float y = n.y + dy;
    if (y > yMax_)
        y = yMax_;
    if (y < yMin_)
        y = yMin_;

    bool moved = false;
    bool clamped = false;
    const bool inner = i > 0 && i < s.count - 1;
    if (inner)
    {
        moved = placeInnerX(i, x);
        const float want = x + 1.0f;
        clamped = !(want >= std::nextafterf(s.nodes[i - 1].x + 1.0f, 2.0f) &&
                    want <= std::nextafterf(s.nodes[i + 1].x + 1.0f, 0.0f));
    }
    if (present)
    {
        const float yc = limit(y, -1.0f, 1.0f);
        if (yc != s.nodes[i].y)
        {
            s.nodes[i].y = yc;
            s.changed = 1;
            moved = true;
        }
    }
    bool reordered = false;
    if (variant_.reorderSpikes && inner && s.itp == qw::Shape::kItpNone && x > 0.0f && x < 1.0f && clamped)
    {
        bool taken = false;
        for (int k = 0; k < s.count; ++k)
            taken = taken || s.nodes[k].x == x;
        if (!taken)
        {
            std::memmove(&s.nodes[i], &s.nodes[i + 1], static_cast<size_t>(s.count - 1 - i) * sizeof(qw::Shape::Node));
            --s.count;
            s.changed = 1;
            activeNode_ = s.addNode({x, y});
            updateActiveNodePin();
            reordered = true;
        }
    }
    if (moved || reordered)
    {
        nodesMoved();
        redraw();
        updateShapePin();
        updateEditPins();
    }
    if (std::isfinite(p.x) && std::isfinite(p.y))
        dragStart_ = p;
    return 1;
}

int32_t QW_ShapeEditor6::onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT)
{
    if (getCapture())
        releaseCapture();
    pinPointerDown_ = false;
    return gmpi::MP_OK;
}

int32_t QW_ShapeEditor6::getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* text)
{
    if (!text)
        return gmpi::MP_FAIL;
    const std::string utf8 = gmpi_sdk::toUtf8(pinToolTip_.getValue());
    text->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    return gmpi::MP_OK;
}

int32_t QW_ShapeEditor6::populateContextMenu(float, float, gmpi::IMpUnknown* sink)
{
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpContextItemSink> items;
    if (!sink || sink->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, items.asIMpUnknownPtr()) != gmpi::MP_OK ||
        !items)
        return gmpi::MP_OK;
    it_enum_list list(pinMenuItems_.getValue());
    int taken = 0;
    for (list.First(); !list.IsDone() && taken < kMaxMenuItems; list.Next(), ++taken)
    {
        std::string narrow;
        skin::toUtf8Exact(list.current().text, narrow); // empty when it has no narrow form
        items->AddItem(narrow.c_str(), list.current().value, 0);
    }
    return gmpi::MP_OK;
}

int32_t QW_ShapeEditor6::onContextMenu(int32_t id)
{
    pinMenuChoice_ = id;
    pinMenuChoice_ = -1;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Pins

void QW_ShapeEditor6::onSetShape()
{
    if (echoGuard_)
        return;
    qw::Shape& s = shape();
    const MpBlob& blob = pinShape_.getValue();
    const unsigned long size = static_cast<unsigned long>(blob.getSize());
    if (qw::Shape::isValidBlob(size, blob.getData()))
    {
        s.invalid = 0;
        qw::Shape::Node in[qw::Shape::kMaxNodes];
        const int n = static_cast<int>((size - 8) / 8);
        std::memcpy(in, blob.getData() + 8, static_cast<size_t>(n) * sizeof(qw::Shape::Node));
        if (s._importNodes(in, n))
            s.changed = 1;
    }
    else
    {
        const qw::Shape::Node flat[2] = {{0.0f, 0.0f}, {1.0f, 0.0f}};
        s._importNodes(flat, 2);
        s.invalid = 1;
        s.changed = 1;
    }
    if (validActive())
        updateEditPins();
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetITP_Choice()
{
    if (shape().setItp(pinItp_))
    {
        dropForeground();
        redraw();
    }
}

void QW_ShapeEditor6::onSetActiveNode()
{
    if (echoGuard_)
        return;
    activeNode_ = pinActiveNode_ < 0 ? -1 : pinActiveNode_.getValue();
    dropForeground();
    redraw();
    if (activeNode_ < interpolator_.shape.count)
        updateEditPins();
}

void QW_ShapeEditor6::onSetEditable()
{
    editable_ = pinEditable_;
}

void QW_ShapeEditor6::onSetLockX()
{
    lockX_ = pinLockX_;
}

void QW_ShapeEditor6::onSetLockAddRem()
{
    lockAddRem_ = pinLockAddRem_;
}

void QW_ShapeEditor6::onSetLockFirstLast()
{
    lockFirstLast_ = pinLockFirstLast_;
    if (!variant_.hideLockedEnds)
        return;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetYLimits()
{
    // A limit that is not a number leaves that side open.
    const float a = std::isnan(pinYUpper_.getValue()) ? 1.0f : limit(pinYUpper_ * 0.2f, -1.0f, 1.0f);
    const float b = std::isnan(pinYLower_.getValue()) ? -1.0f : limit(pinYLower_ * 0.2f, -1.0f, 1.0f);
    yMin_ = b <= a ? b : a;
    yMax_ = b <= a ? a : b;
}

void QW_ShapeEditor6::onSetBaseLine()
{
    if (std::isnan(pinBaseLine_.getValue()))
        return;
    const float v = limit(0.2f * pinBaseLine_, -1.0f, 1.0f);
    if (v == baseLine_)
        return;
    baseLine_ = v;
    dropBoth();
    redraw();
}

void QW_ShapeEditor6::onSetEditUnits()
{
    editUnits_ = pinEditUnits_;
    if (activeNode_ >= 0)
        updateEditPins();
}

void QW_ShapeEditor6::onSetNodeSize()
{
    const float v = static_cast<float>(limitInt(pinNodeSize_, 4, 20));
    if (v == nodeSize_)
        return;
    nodeSize_ = v;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetNodeThickness()
{
    const float v = static_cast<float>(limitInt(pinNodeThickness_, 1, 4));
    if (v == nodeThickness_)
        return;
    nodeThickness_ = v;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetShapeThickness()
{
    const float v = static_cast<float>(limitInt(pinShapeThickness_, 1, 4));
    if (v == shapeThickness_)
        return;
    shapeThickness_ = v;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetCircularNodes()
{
    circularNodes_ = pinCircularNodes_;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetFillNodes()
{
    fillNodes_ = pinFillNodes_;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetBorderClip()
{
    borderClip_ = pinBorderClip_;
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetBorderFactor()
{
    if (std::isnan(pinBorderFactor_.getValue()))
        return;
    const float f = limit(0.01f * pinBorderFactor_, 0.0f, 0.25f);
    if (f == borderFactor_)
        return;
    borderFactor_ = f;
    conv_.setParams(size_.width, size_.height, f);
    dropBoth();
    redraw();
}

void QW_ShapeEditor6::onSetGridDivisions()
{
    const int32_t gx = limitInt(pinGridX_, 0, 40), gy = limitInt(pinGridY_, 0, 40);
    if (gx == gridX_ && gy == gridY_)
        return;
    gridX_ = gx;
    gridY_ = gy;
    background_.setNull();
    redraw();
}

void QW_ShapeEditor6::onSetColors()
{
    for (int i = 0; i < kColours; ++i)
    {
        GmpiDrawing_API::MP1_COLOR c;
        colours_[i] = mp_sdk::colorFromText(pinColours_[i].getValue(), c)
                          ? Color(c)
                          : Color(mp_sdk::colorFromArgb(kDefaultColours[i]));
    }
    dropBoth();
    redraw();
}

void QW_ShapeEditor6::onSetEditX()
{
    const float v = pinEditX_;
    if (std::isnan(v) || activeNode_ < 0 || lockX_)
        return;
    const int i = activeNode_;
    if (!(i > 0 && i < interpolator_.shape.count - 1))
        return;
    // The position the pin shows already (the host handing back the editor's
    // own value): read back through the units it could land a hair away.
    if (v == shownX(interpolator_.shape.nodes[i].x))
        return;
    if (!placeInnerX(i, editUnits_ != 0 ? v : (v + 5.0f) * 0.1f))
        return;
    dropForeground();
    redraw();
    updateShapePin();
}

void QW_ShapeEditor6::onSetEditY()
{
    const float v = pinEditY_;
    if (std::isnan(v) || activeNode_ < 0 || activeNode_ >= interpolator_.shape.count)
        return;
    if ((lockFirstLast_ && isEnd(activeNode_)) || v == shownY(interpolator_.shape.nodes[activeNode_].y))
        return;
    qw::Shape& s = shape();
    float y = editUnits_ != 0 ? v : 0.2f * v;
    y = limit(limit(y, yMin_, yMax_), -1.0f, 1.0f);
    if (y == s.nodes[activeNode_].y)
        return;
    s.nodes[activeNode_].y = y;
    s.changed = 1;
    dropForeground();
    redraw();
    updateShapePin();
}

void QW_ShapeEditor6::onSetReset()
{
    if (!pinReset_)
        return;
    qw::Shape& s = shape();
    if (!s.setString(pinResetText_.getValue()) && s.invalid)
    {
        const qw::Shape::Node flat[2] = {{0.0f, baseLine_}, {1.0f, baseLine_}};
        if (s._importNodes(flat, 2))
            s.changed = 1;
        s.invalid = 0;
    }
    updateShapePin();
    if (activeNode_ >= 0)
        updateEditPins();
    dropForeground();
    redraw();
}

void QW_ShapeEditor6::onSetFlipHoriz()
{
    if (!pinFlipHoriz_)
        return;
    qw::Shape& s = shape();
    const int n = s.count;
    for (int i = 0; i < (n + 1) / 2; ++i)
    {
        const int j = n - 1 - i;
        const qw::Shape::Node a = s.nodes[i], b = s.nodes[j];
        s.nodes[i] = {1.0f - b.x, b.y};
        s.nodes[j] = {1.0f - a.x, a.y};
    }
    s.changed = 1;
    dropForeground();
    redraw();
    updateShapePin();
    if (activeNode_ >= 0)
    {
        // A selection beyond the nodes stays no selection.
        activeNode_ = activeNode_ < n ? n - 1 - activeNode_ : -1;
        updateActiveNodePin();
        updateEditPins();
    }
}

void QW_ShapeEditor6::onSetFlipVert()
{
    if (!pinFlipVert_)
        return;
    qw::Shape& s = shape();
    for (int i = 0; i < s.count; ++i)
        s.nodes[i].y = -s.nodes[i].y;
    s.changed = 1;
    dropForeground();
    redraw();
    updateShapePin();
    if (activeNode_ >= 0)
        updateEditPins();
}

// ---------------------------------------------------------------------------
// Drawing

int32_t QW_ShapeEditor6::OnRender(GmpiDrawing_API::IMpDeviceContext* context)
{
    const Rect r = getRect();
    const Size size(r.right - r.left, r.bottom - r.top);
    // Nothing sensible to draw into.
    if (!(size.width > 0.0f && size.height > 0.0f && std::isfinite(size.width) && std::isfinite(size.height)))
        return gmpi::MP_OK;
    GmpiDrawing::Graphics g(context);
    if (g.isNull())
        return gmpi::MP_OK;
    size_ = size;
    if (size != laidOutSize_)
    {
        laidOutSize_ = size;
        conv_.setParams(size.width, size.height, borderFactor_);
        dropBoth();
    }
    const Rect dest(0.0f, 0.0f, size.width, size.height);
    for (bool front : {false, true})
    {
        GmpiDrawing::Bitmap& layer = front ? foreground_ : background_;
        if (layer.isNull() && front)
            layer = redrawForeground();
        if (layer.isNull())
            layer = buildLayer(g, front);
        if (!layer.isNull())
            g.DrawBitmap(layer, dest, r, 1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
    }
    return gmpi::MP_OK;
}

// A layer drawn into an off-screen target of the module's size; where the
// host makes none (too large), drawn straight into the context, clipped.
GmpiDrawing::Bitmap QW_ShapeEditor6::buildLayer(const GmpiDrawing::Graphics& g, bool front)
{
    GmpiDrawing::BitmapRenderTarget target = g.CreateCompatibleRenderTarget(size_);
    if (target.isNull())
    {
        g.PushAxisAlignedClip(Rect(0.0f, 0.0f, size_.width, size_.height));
        front ? paintForeground(g) : paintBackground(g);
        g.PopAxisAlignedClip();
        return {};
    }
    target.BeginDraw();
    if (front)
    {
        target.Clear(frontClear());
        paintForeground(target);
        frontTarget_ = target; // kept for the redraws of a drag
    }
    else
    {
        target.Clear(Color(0.0f, 0.0f, 0.0f, 0.0f));
        paintBackground(target);
    }
    target.EndDraw();
    return target.GetBitmap();
}

// The foreground drawn whole again into its kept target, which saves making
// a new one for every move of a drag; empty when none is kept. (Redrawing
// only a strip around the moved node, clipped, gave pixels that differ from a
// whole drawing, so the whole foreground is drawn.)
GmpiDrawing::Bitmap QW_ShapeEditor6::redrawForeground()
{
    if (frontTarget_.isNull())
        return {};
    frontTarget_.BeginDraw();
    frontTarget_.Clear(frontClear());
    paintForeground(frontTarget_);
    frontTarget_.EndDraw();
    return frontTarget_.GetBitmap();
}

// The foreground's transparent ground.
GmpiDrawing::Color QW_ShapeEditor6::frontClear() const
{
    const float dark = mp_sdk::gammaTables().toLinear()[0];
    return Color(dark, dark, dark, 0.0f);
}

void QW_ShapeEditor6::paintBackground(const GmpiDrawing::Graphics_base& g)
{
    const float W = size_.width, H = size_.height;
    const float left = conv_.bx, right = conv_.ax + conv_.bx;
    const float top = conv_.ay + conv_.by, bottom = conv_.by - conv_.ay;
    const float yb = conv_.ay * baseLine_ + conv_.by;

    if (visible(0) || visible(1))
    {
        auto brush = g.CreateLinearGradientBrush(colours_[0], colours_[1], Point(0.0f, 0.0f), Point(0.0f, H));
        g.FillRectangle(getRect(), brush);
    }
    if (visible(2))
    {
        auto brush = g.CreateSolidColorBrush(colours_[2]);
        if (gridX_ > 0)
        {
            const float step = (right - left) / static_cast<float>(gridX_);
            float x = left;
            for (int i = 0; i <= gridX_; ++i, x += step)
                g.DrawLine(Point(x, 0.0f), Point(x, H), brush, 1.0f);
        }
        if (gridY_ > 0)
        {
            const float step = (bottom - top) / static_cast<float>(gridY_);
            float y = top;
            for (int i = 0; i <= gridY_; ++i, y += step)
                g.DrawLine(Point(0.0f, y), Point(W, y), brush, 1.0f);
        }
    }
    if (visible(5))
        g.DrawLine(Point(0.0f, H), Point(W, 0.0f), g.CreateSolidColorBrush(colours_[5]), 1.0f);
    if (visible(4))
        g.DrawLine(Point(0.5f * W, 0.0f), Point(0.5f * W, H), g.CreateSolidColorBrush(colours_[4]), 1.0f);
    if (visible(3))
        g.DrawLine(Point(0.0f, yb), Point(W, yb), g.CreateSolidColorBrush(colours_[3]), 1.0f);
}

void QW_ShapeEditor6::paintForeground(const GmpiDrawing::Graphics_base& g)
{
    const qw::Shape& s = interpolator_.shape;
    const float yb = conv_.ay * baseLine_ + conv_.by;

    if (s.itp == qw::Shape::kItpNone)
    {
        if (visible(6))
        {
            auto brush = g.CreateSolidColorBrush(colours_[6]);
            for (int i = 0; i < s.count; ++i)
            {
                const Point p = conv_.toPixels(s.nodes[i].x, s.nodes[i].y);
                g.DrawLine(Point(p.x, yb), p, brush, shapeThickness_);
            }
        }
    }
    else if (visible(6) || visible(7) || visible(8))
    {
        paintCurve(g, yb);
    }

    if (!(visible(9) || visible(10)))
        return;
    auto plain = g.CreateSolidColorBrush(colours_[9]);
    auto selected = g.CreateSolidColorBrush(colours_[10]);
    if (variant_.selectedOnTop)
    {
        const int skip = lockFirstLast_ ? 1 : 0;
        for (int i = skip; i <= s.count - 1 - skip; ++i)
            if (i != activeNode_)
                paintNode(g, conv_.toPixels(s.nodes[i].x, s.nodes[i].y), plain);
        if (activeNode_ >= 0)
        {
            const qw::Shape::Node n = activeNode_ < s.count ? s.nodes[activeNode_] : qw::Shape::Node{-1.0f, 0.0f};
            paintNode(g, conv_.toPixels(n.x, n.y), selected);
        }
        return;
    }
    for (int i = 0; i < s.count; ++i)
        paintNode(g, conv_.toPixels(s.nodes[i].x, s.nodes[i].y), i == activeNode_ ? selected : plain);
}

void QW_ShapeEditor6::paintCurve(const GmpiDrawing::Graphics_base& g, float yb)
{
    const float left = conv_.bx, right = conv_.ax + conv_.bx;
    const float W = size_.width, H = size_.height;
    // One column a pixel from left to right, counted whole and bounded.
    const double span = std::floor(static_cast<double>(right) - static_cast<double>(left) + 1.0);
    const int columns = span >= 1.0 ? (span < kMaxColumns ? static_cast<int>(span) : kMaxColumns) : 0;

    qw::Shape::Interpolator& it = interpolator_;
    if (columns != it.N)
    {
        const qw::Shape kept = it.shape;
        it = qw::Shape::Interpolator(columns);
        it.shape = kept;
    }
    it.render();
    auto next = [&it]() -> float {
        return it.readPos < it.renderedN ? it.table[static_cast<size_t>(it.readPos++)] : 0.0f;
    };
    const float lim = borderClip_ ? 1.0f : 10.0f;

    GmpiDrawing::Factory factory = g.GetFactory();
    GmpiDrawing::PathGeometry curve, fill;
    GmpiDrawing::GeometrySink curveSink, fillSink;
    if (visible(6))
    {
        curve = factory.CreatePathGeometry();
        curveSink = curve.Open();
        curveSink.BeginFigure(Point(left, conv_.ay * limit(next(), -lim, lim) + conv_.by),
                              GmpiDrawing::FigureBegin::Hollow);
        it.readPos = 0;
    }
    const bool filled = visible(7) || visible(8);
    if (filled)
    {
        fill = factory.CreatePathGeometry();
        fillSink = fill.Open();
        fillSink.BeginFigure(Point(left, yb), GmpiDrawing::FigureBegin::Filled);
    }
    float x = left;
    float lastX = left - 1.0f;
    for (int i = 0; i < columns; ++i, x = left + static_cast<float>(i))
    {
        const Point p(x, conv_.ay * limit(next(), -lim, lim) + conv_.by);
        if (!curveSink.isNull())
            curveSink.AddLine(p);
        if (!fillSink.isNull())
            fillSink.AddLine(p);
        lastX = x;
    }
    if (filled)
    {
        fillSink.AddLine(Point(lastX, yb));
        fillSink.EndFigure(GmpiDrawing::FigureEnd::Closed);
        fillSink.Close();
        if (baseLine_ < 1.0f)
        {
            g.PushAxisAlignedClip(Rect(0.0f, 0.0f, W, yb));
            g.FillGeometry(
                fill, g.CreateLinearGradientBrush(colours_[7], colours_[8], Point(0.0f, 0.0f), Point(0.0f, yb + 1.0f)));
            g.PopAxisAlignedClip();
        }
        if (baseLine_ > -1.0f)
        {
            g.PushAxisAlignedClip(Rect(0.0f, yb + 1.0f, W, H));
            g.FillGeometry(
                fill, g.CreateLinearGradientBrush(colours_[8], colours_[7], Point(0.0f, yb - 1.0f), Point(0.0f, H)));
            g.PopAxisAlignedClip();
        }
    }
    if (!curveSink.isNull())
    {
        curveSink.EndFigure(GmpiDrawing::FigureEnd::Open);
        curveSink.Close();
        g.DrawGeometry(curve, g.CreateSolidColorBrush(colours_[6]), shapeThickness_);
    }
}

void QW_ShapeEditor6::paintNode(const GmpiDrawing::Graphics_base& g, Point c, const GmpiDrawing::Brush& brush)
{
    const float r = nodeSize_ * 0.5f;
    if (circularNodes_)
    {
        const GmpiDrawing::Ellipse e(c, r, r);
        if (fillNodes_)
            g.FillEllipse(e, brush);
        else
            g.DrawEllipse(e, brush, nodeThickness_);
        return;
    }
    const float side = nodeSize_ - variant_.squareShrink;
    const Rect box(c.x - r, c.y - r, c.x - r + side, c.y - r + side);
    if (fillNodes_)
        g.FillRectangle(box, brush);
    else
        g.DrawRectangle(box, brush, nodeThickness_);
}

namespace
{
auto r6 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor6", &gmpi::Register<QW_ShapeEditor6>::withId);
auto r6c = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor6c", &gmpi::Register<QW_ShapeEditor6>::withId);
auto r6cc = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeEditor6cc", &gmpi::Register<QW_ShapeEditor6>::withId);
} // namespace
