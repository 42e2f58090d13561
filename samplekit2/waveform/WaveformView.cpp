#include "WaveformView.h"

#include "it_enum_list.h"
#include "mp_api_dialogs.h"
#include "skin_text.h"
#include "srgb.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

using GmpiDrawing::Color;
using GmpiDrawing::Point;
using GmpiDrawing::Rect;

namespace qw
{
namespace
{
constexpr int32_t kFirstButton = 0x10;
constexpr int32_t kControlKey = 0x20000;
// A press this close to a selection edge (in pixels) grabs it.
constexpr double kEdgeGrab = 5.0;
// Points of the waveform stay this far around the view at most (far enough
// that the lines inside it keep their slopes, near enough for the rasteriser).
constexpr float kFar = 65536.0f;

// Roles: background at the centre, at the edges, waveform outline, fill at
// the top and at the bottom, zero line, selection, grid.
constexpr uint32_t kDefaultColours[WaveformView::kColours] = {
    0xFF000000u, 0xFF505050u, 0xFF00D0FFu, 0xFF00D0FFu, 0x00000000u, 0xFF808080u, 0x8080FF00u, 0x40FFFFFFu,
};

// v limited to [lo, hi]; NaN gives lo.
float limit(float v, float lo, float hi)
{
    return v >= lo ? (v <= hi ? v : hi) : lo;
}

int64_t limit64(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// A pin's int that cannot be negative.
int32_t atLeastZero(int32_t v)
{
    return v > 0 ? v : 0;
}
} // namespace

// The view in pixels over the frames shown now. Usable only with a sample,
// a width of one pixel or more and frames in view.
struct WaveformView::Mapping
{
    double w = 0.0, h = 0.0;
    int64_t offset = 0, visible = 0, count = 0;
    float range = 1.0f;

    bool usable() const { return count > 0 && w >= 1.0 && visible > 0; }
    // The frame under x, not limited to the sample.
    int64_t frameAt(double x) const
    {
        const double d = std::trunc(static_cast<double>(visible) * (std::isnan(x) ? 0.0 : x) / w);
        constexpr double kBig = 4.0e18;
        return offset + static_cast<int64_t>(d < -kBig ? -kBig : (d > kBig ? kBig : d));
    }
    int64_t clampFrame(int64_t i) const { return limit64(i, 0, count - 1); }
    double xOf(int64_t frame) const { return static_cast<double>(frame - offset) * w / static_cast<double>(visible); }
    // The value at y, limited to the vertical range.
    float valueAt(double y) const
    {
        const double v = (1.0 - 2.0 * y / h) * static_cast<double>(range);
        return std::isnan(v) ? 0.0f : limit(static_cast<float>(v), -range, range);
    }
};

WaveformView::WaveformView(Kind kind) : kind_(kind)
{
    for (int i = 0; i < kColours; ++i)
        colours_[i] = Color(mp_sdk::colorFromArgb(kDefaultColours[i]));
    // The view's own values coming back from the host (the selection sent
    // again around a new sample, say) change nothing.
    expectOwnEchoes();
}

void WaveformView::registerViewPins()
{
    using V = WaveformView;
    const bool editor = kind_ == Kind::Editor;
    initializePin(pinYRange_, &V::onSetYRng);
    initializePin(pinSelectEnabled_);
    if (editor)
    {
        initializePin(pinPencil_);
        initializePin(pinPencilNoModifier_);
    }
    initializePin(pinAutoZoom_, &V::onSetAutoZoom);
    initializePin(pinWholeOnNew_);
    initializePin(pinPointerDown_);
    if (editor)
    {
        initializePin(pinMenuItems_);
        initializePin(pinMenuChoice_);
        initializePin(pinToolTip_);
    }
    for (int i = 0; i < (editor ? kColours : kColours - 1); ++i)
        initializePin(pinColours_[i], &V::onSetColors);
    if (editor)
    {
        initializePin(pinGridStep_, &V::onSetGridStep);
        initializePin(pinHover_);
    }
    initializePin(pinOffset_, &V::onSetOffset);
    initializePin(pinVisible_, &V::onSetVisible);
    initializePin(pinTotal_);
    initializePin(pinZoom_, &V::onSetZoom);
    initializePin(pinZoomOut_, &V::onSetZoomOut);
    initializePin(pinHome_, &V::onSetHome);
    initializePin(pinSelectAll_, &V::onSetSelectAll);
    initializePin(pinSelStart_, &V::onSetSelection);
    initializePin(pinSelEnd_, &V::onSetSelection);
    initializePin(pinFrameUnder_);
    initializePin(pinValueUnder_);
}

// ---------------------------------------------------------------------------
// Pins

void WaveformView::newSample()
{
    gesture_ = Gesture::None; // a stroke never runs on into another sample
    const Frames f = shownFrames();
    pinSelEnd_ = -1;
    pinSelStart_ = -1;
    if (f.data && f.count > 0)
    {
        total_ = static_cast<int32_t>(std::min<int64_t>(f.count, INT32_MAX));
        pinTotal_ = total_;
        if (!pinWholeOnNew_ && visible_ != 0)
        {
            if (visible_ > total_)
            {
                visible_ = total_;
                pinVisible_ = visible_;
            }
            if (static_cast<int64_t>(offset_) + visible_ > total_)
            {
                offset_ = total_ - visible_;
                pinOffset_ = offset_;
            }
        }
        else
        {
            visible_ = total_;
            offset_ = 0;
            pinVisible_ = visible_;
            pinOffset_ = offset_;
        }
        pinSelStart_ = selStart_;
        pinSelEnd_ = selEnd_;
    }
    else
    {
        total_ = offset_ = visible_ = 0;
        pinOffset_ = 0;
        pinTotal_ = 0;
        pinVisible_ = 0;
        selStart_ = selEnd_ = -1;
    }
    dropWaveform();
    invalidateRect();
}

void WaveformView::onSetYRng()
{
    const float r = limit(pinYRange_ * 0.1f, 0.00001f, FLT_MAX);
    if (r == range_)
        return;
    range_ = r;
    dropWaveform();
    if (kind_ == Kind::Editor && visible(7))
        dropBackground();
    invalidateRect();
}

void WaveformView::onSetGridStep()
{
    const float s = limit(pinGridStep_ * 0.1f, 0.01f, 1.0f);
    if (s == gridStep_)
        return;
    gridStep_ = s;
    dropBackground();
    invalidateRect();
}

void WaveformView::onSetColors()
{
    for (int i = 0; i < kColours; ++i)
    {
        GmpiDrawing_API::MP1_COLOR c;
        colours_[i] = mp_sdk::colorFromText(pinColours_[i].getValue(), c)
                          ? Color(c)
                          : Color(mp_sdk::colorFromArgb(kDefaultColours[i]));
    }
    dropBackground();
    dropWaveform();
    invalidateRect();
}

void WaveformView::onSetOffset()
{
    viewFromPin(offset_, pinOffset_);
}

void WaveformView::onSetVisible()
{
    viewFromPin(visible_, pinVisible_);
}

// The first visible frame or the number of them, from its pin.
void WaveformView::viewFromPin(int32_t& state, const MpGuiPin<int>& pin)
{
    const int32_t v = atLeastZero(pin);
    if (v == state)
        return;
    state = v;
    dropWaveform();
    invalidateRect();
}

void WaveformView::onSetAutoZoom()
{
    if (!pinAutoZoom_)
        return;
    clearSelection();
    invalidateRect();
}

void WaveformView::onSetZoom()
{
    const Frames f = shownFrames();
    if (!pinZoom_ || f.count <= 0 || selStart_ < 0 || selEnd_ < 0 || static_cast<int64_t>(selEnd_) - selStart_ < 9)
        return;
    doZoom(f.count);
    invalidateRect();
}

void WaveformView::onSetZoomOut()
{
    if (!pinZoomOut_ || visible_ >= total_)
        return;
    const int64_t wider = 2 * static_cast<int64_t>(visible_);
    if (wider <= total_)
    {
        offset_ = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(offset_ - visible_ / 2, total_ - wider)));
        visible_ = static_cast<int32_t>(wider);
    }
    else
    {
        visible_ = total_;
        offset_ = 0;
    }
    pinVisible_ = visible_;
    pinOffset_ = offset_;
    dropWaveform();
    invalidateRect();
}

void WaveformView::onSetHome()
{
    if (!pinHome_)
        return;
    visible_ = total_;
    pinTotal_ = total_;
    pinVisible_ = visible_;
    offset_ = 0;
    pinOffset_ = 0;
    dropWaveform();
    invalidateRect();
}

void WaveformView::onSetSelectAll()
{
    if (!pinSelectAll_ || total_ <= 0 || shownFrames().count <= 0)
        return;
    selStart_ = 0;
    pinSelStart_ = 0;
    selEnd_ = total_ - 1;
    pinSelEnd_ = selEnd_;
    invalidateRect();
}

void WaveformView::onSetSelection()
{
    const int32_t a = pinSelStart_, b = pinSelEnd_;
    if (a >= 0 && b >= 0)
    {
        selStart_ = std::min(a, b);
        selEnd_ = std::max(a, b);
    }
    else
        selStart_ = selEnd_ = -1;
    invalidateRect();
}

// Shows the selection: from its start to its end or the last frame. A
// selection that starts past the last frame shows nothing and is left alone.
void WaveformView::doZoom(int64_t count)
{
    if (selStart_ > count - 1)
        return;
    visible_ = static_cast<int32_t>(std::min<int64_t>(count - 1, selEnd_) - selStart_ + 1);
    pinVisible_ = visible_;
    offset_ = selStart_;
    pinOffset_ = offset_;
    dropWaveform();
}

void WaveformView::clearSelection()
{
    selStart_ = selEnd_ = -1;
    pinSelEnd_ = -1;
    pinSelStart_ = -1;
}

// ---------------------------------------------------------------------------
// Pointer

int32_t WaveformView::onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    if (!(flags & kFirstButton))
        return gmpi::MP_UNHANDLED;
    gesture_ = Gesture::None;
    pinPointerDown_ = true;
    moved_ = false;
    const Frames f = shownFrames();
    Mapping m{size_.width, size_.height, offset_, visible_, f.data ? f.count : 0, range_};
    if (!m.usable())
        return gmpi::MP_UNHANDLED;
    if (kind_ == Kind::Editor && pinPencil_ && ((flags & kControlKey) || pinPencilNoModifier_))
    {
        if (!pencilFrames())
            return gmpi::MP_UNHANDLED;
        gesture_ = Gesture::Pencil;
        lastPencilFrame_ = m.clampFrame(m.frameAt(point.x));
        lastPencilValue_ = m.valueAt(point.y);
    }
    else if (pinSelectEnabled_)
    {
        gesture_ = Gesture::Select;
        lastX_ = point.x;
        const bool edges = selStart_ > 0 && selEnd_ > 0;
        if (edges && std::fabs(point.x - m.xOf(selStart_)) < kEdgeGrab)
            anchor_ = selEnd_;
        else if (edges && std::fabs(point.x - m.xOf(static_cast<int64_t>(selEnd_) + 1)) < kEdgeGrab)
            anchor_ = selStart_;
        else
            anchor_ = m.clampFrame(m.frameAt(point.x));
    }
    else
        return gmpi::MP_UNHANDLED;
    setCapture();
    return gmpi::MP_OK;
}

int32_t WaveformView::onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point)
{
    if (!getCapture() || gesture_ == Gesture::None)
        return gmpi::MP_OK;
    const Frames f = shownFrames();
    Mapping m{size_.width, size_.height, offset_, visible_, f.data ? f.count : 0, range_};
    if (!m.usable())
        return gmpi::MP_OK;
    if (gesture_ == Gesture::Pencil)
    {
        float* frames = pencilFrames();
        if (frames)
            pencilTo(frames, m.count, m, point);
        return gmpi::MP_OK;
    }

    moved_ = true;
    // Past an edge the view scrolls while the pointer moves away from the
    // view; moving back towards it holds the edge frame.
    double x = point.x;
    if (x >= m.w && x - lastX_ < 0.0)
        x = m.w - 1.0;
    else if (x < 0.0 && x - lastX_ > 0.0)
        x = 0.0;
    const int64_t i = m.clampFrame(m.frameAt(x));
    const int64_t anchor = m.clampFrame(anchor_);
    const int64_t lo = std::min(i, anchor), hi = std::max(i, anchor);
    if (lo != selStart_ || hi != selEnd_)
    {
        selStart_ = static_cast<int32_t>(lo);
        pinSelStart_ = selStart_;
        selEnd_ = static_cast<int32_t>(hi);
        pinSelEnd_ = selEnd_;
        if (i < offset_ || i >= static_cast<int64_t>(offset_) + visible_)
        {
            offset_ = static_cast<int32_t>(i < offset_ ? i : i - visible_ + 1);
            pinOffset_ = offset_;
            dropWaveform();
        }
        invalidateRect();
    }
    lastX_ = point.x;
    if (kind_ == Kind::Editor)
    {
        pinValueUnder_ = f.data[i];
        pinFrameUnder_ = static_cast<int32_t>(i);
    }
    return gmpi::MP_OK;
}

// A straight line of values from the last pencil point to the frame and
// value under the pointer; the last point's own frame is not written again.
void WaveformView::pencilTo(float* frames, int64_t count, const Mapping& m, GmpiDrawing_API::MP1_POINT point)
{
    const int64_t i = m.clampFrame(m.frameAt(point.x));
    const float v = m.valueAt(point.y);
    const int64_t last = limit64(lastPencilFrame_, 0, count - 1);
    const int64_t n = i == last ? 1 : std::llabs(i - last);
    const int64_t d = i >= last ? 1 : -1;
    // In double: both ends are finite floats, so every point between is too.
    const double step = (static_cast<double>(v) - lastPencilValue_) / static_cast<double>(n);
    int64_t frame = i == last ? i : last + d;
    for (int64_t k = 1; k <= n; ++k, frame += d)
        frames[frame] = static_cast<float>(lastPencilValue_ + static_cast<double>(k) * step);
    lastPencilFrame_ = i;
    lastPencilValue_ = v;
    pinFrameUnder_ = static_cast<int32_t>(i);
    pinValueUnder_ = frames[i];
    dropWaveform();
    invalidateRect();
}

int32_t WaveformView::onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT)
{
    pinPointerDown_ = false;
    if (getCapture())
        releaseCapture();
    const Gesture g = gesture_;
    gesture_ = Gesture::None;
    if (g == Gesture::Pencil)
        publishStroke();
    else if (g == Gesture::Select)
    {
        if (moved_)
        {
            if (!pinAutoZoom_)
                return gmpi::MP_OK;
            if (static_cast<int64_t>(selEnd_) - selStart_ >= 9 && selStart_ >= 0)
                doZoom(shownFrames().count);
            clearSelection();
        }
        else if (selStart_ >= 0 && selEnd_ >= 0)
            clearSelection();
    }
    invalidateRect();
    return gmpi::MP_OK;
}

int32_t WaveformView::hitTest(GmpiDrawing_API::MP1_POINT point)
{
    const Frames f = shownFrames();
    Mapping m{size_.width, size_.height, offset_, visible_, f.data ? f.count : 0, range_};
    int64_t i = -1;
    if (m.usable())
        i = m.frameAt(point.x);
    if (i >= 0 && i < m.count)
    {
        pinFrameUnder_ = static_cast<int32_t>(i);
        pinValueUnder_ = f.data[i];
    }
    else
    {
        pinFrameUnder_ = -1;
        pinValueUnder_ = 0.0f;
    }
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Host calls of the editors

int32_t WaveformView::getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* text)
{
    if (kind_ != Kind::Editor)
        return gmpi::MP_UNHANDLED;
    if (!text)
        return gmpi::MP_FAIL;
    const std::string utf8 = gmpi_sdk::toUtf8(pinToolTip_.getValue());
    text->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    return gmpi::MP_OK;
}

int32_t WaveformView::setHover(bool isMouseOverMe)
{
    if (kind_ != Kind::Editor)
        return gmpi::MP_UNHANDLED;
    pinHover_ = isMouseOverMe;
    return gmpi::MP_OK;
}

int32_t WaveformView::populateContextMenu(float, float, gmpi::IMpUnknown* sink)
{
    if (kind_ != Kind::Editor)
        return gmpi::MP_UNHANDLED;
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpContextItemSink> items;
    if (!sink || sink->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, items.asIMpUnknownPtr()) != gmpi::MP_OK ||
        !items)
        return gmpi::MP_OK;
    it_enum_list list(pinMenuItems_.getValue());
    int taken = 0;
    for (list.First(); !list.IsDone() && taken < kMaxListEntries; list.Next(), ++taken)
    {
        std::string utf8; // empty when the entry has no UTF-8 form
        skin::toUtf8Exact(list.current().text, utf8);
        items->AddItem(utf8.c_str(), list.current().value, 0);
    }
    return gmpi::MP_OK;
}

int32_t WaveformView::onContextMenu(int32_t id)
{
    if (kind_ != Kind::Editor)
        return gmpi::MP_UNHANDLED;
    pinMenuChoice_ = id;
    pinMenuChoice_ = -1;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Drawing

bool WaveformView::backgroundVisible() const
{
    return visible(0) || visible(1) || (kind_ == Kind::Editor && visible(7));
}

int32_t WaveformView::OnRender(GmpiDrawing_API::IMpDeviceContext* context)
{
    GmpiDrawing::Graphics g(context);
    if (g.isNull())
        return gmpi::MP_OK;
    const Rect r = getRect();
    const GmpiDrawing::Size size(r.getWidth(), r.getHeight());
    if (size.width != size_.width || size.height != size_.height)
    {
        size_ = size;
        dropBackground();
        dropWaveform();
    }
    const float w = size_.width, h = size_.height, half = 0.5f * h;
    if (!(w >= 1.0f && h >= 1.0f && w <= 1.0e6f && h <= 1.0e6f))
        return gmpi::MP_OK;
    const Rect whole(0.0f, 0.0f, w, h);

    if (backgroundVisible())
    {
        if (background_.isNull())
            background_ = buildLayer(g, false, {});
        if (!background_.isNull())
            g.DrawBitmap(background_, whole, whole, 1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
    }
    if (visible(5))
        g.DrawLine(Point(0.0f, half), Point(w, half), g.CreateSolidColorBrush(colours_[5]), 1.0f);

    const Frames f = shownFrames();
    const Mapping m{w, h, offset_, visible_, f.data ? f.count : 0, range_};
    if (!m.usable())
        return gmpi::MP_OK;
    if (offset_ >= 0 && static_cast<int64_t>(offset_) + visible_ <= m.count)
    {
        if (waveform_.isNull())
            waveform_ = buildLayer(g, true, f);
        if (!waveform_.isNull())
            g.DrawBitmap(waveform_, whole, whole, 1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
    }
    if (visible(6) && selStart_ >= 0 && selEnd_ >= 0)
    {
        const double left = m.xOf(selStart_), right = m.xOf(static_cast<int64_t>(selEnd_) + 1);
        const double l = std::max(0.0, left), rt = std::min(right, m.w - 1.0);
        if (left < m.w && right >= 0.0 && rt > l)
            g.FillRectangle(Rect(static_cast<float>(l), 0.0f, static_cast<float>(rt), h),
                            g.CreateSolidColorBrush(colours_[6]));
    }
    return gmpi::MP_OK;
}

// A layer drawn into an off-screen bitmap of the view's size; where the host
// makes none, drawn straight into the context, clipped, and not kept.
GmpiDrawing::Bitmap WaveformView::buildLayer(const GmpiDrawing::Graphics& g, bool wave, const Frames& f)
{
    GmpiDrawing::BitmapRenderTarget target = g.CreateCompatibleRenderTarget(size_);
    if (target.isNull())
    {
        g.PushAxisAlignedClip(Rect(0.0f, 0.0f, size_.width, size_.height));
        wave ? paintWaveform(g, f) : paintBackground(g);
        g.PopAxisAlignedClip();
        return {};
    }
    target.BeginDraw();
    target.Clear(Color(0.0f, 0.0f, 0.0f, 0.0f));
    wave ? paintWaveform(target, f) : paintBackground(target);
    target.EndDraw();
    return target.GetBitmap();
}

void WaveformView::paintBackground(const GmpiDrawing::Graphics_base& g) const
{
    const float w = size_.width, h = size_.height, half = 0.5f * h;
    if (visible(0) || visible(1))
    {
        g.FillRectangle(Rect(0.0f, 0.0f, w, half),
                        g.CreateLinearGradientBrush(colours_[1], colours_[0], Point(0.0f, 0.0f), Point(0.0f, half)));
        g.FillRectangle(Rect(0.0f, half, w, h),
                        g.CreateLinearGradientBrush(colours_[0], colours_[1], Point(0.0f, half), Point(0.0f, h)));
    }
    if (kind_ != Kind::Editor || !visible(7))
        return;
    // Lines at every step from the highest multiple in range down to -range.
    // Where they would lie closer than a pixel, only every n-th is drawn, so
    // there are never more lines than pixel rows.
    const float step = gridStep_, range = range_;
    const double spacing = static_cast<double>(step) * half / range;
    const double stride = spacing >= 1.0 ? 1.0 : std::ceil(1.0 / spacing);
    const double top = std::floor(range / step);
    auto brush = g.CreateSolidColorBrush(colours_[7]);
    for (double k = top;; k -= stride)
    {
        const double v = k * step;
        if (!(v >= -static_cast<double>(range)))
            break;
        const float y = static_cast<float>(half - v * half / range);
        g.DrawLine(Point(0.0f, y), Point(w, y), brush, 1.0f);
    }
}

void WaveformView::paintWaveform(const GmpiDrawing::Graphics_base& g, const Frames& f)
{
    const float w = size_.width, h = size_.height, half = 0.5f * h;
    const int wanted = static_cast<int>(std::min<float>(std::floor(w), kMaxColumns));
    if (static_cast<int>(columns_.size()) < wanted)
        columns_.resize(static_cast<size_t>(wanted));
    const int n = wave::walkColumns(f.data, offset_, visible_, w, columns_.data(), wanted);
    if (n < 1)
        return;
    const float range = range_;
    auto yOf = [&](float v) { return limit((1.0f - v / range) * half, -kFar, h + kFar); };

    GmpiDrawing::Factory factory = g.GetFactory();
    GmpiDrawing::PathGeometry fill = factory.CreatePathGeometry(), outline = factory.CreatePathGeometry();
    GmpiDrawing::GeometrySink fs = fill.Open(), os = outline.Open();
    fs.BeginFigure(Point(0.0f, half), GmpiDrawing::FigureBegin::Filled);
    for (int c = 0; c < n; ++c)
    {
        const float x = static_cast<float>(c);
        const float top = yOf(columns_[c].hi), bottom = yOf(columns_[c].lo);
        if (c == 0)
            os.BeginFigure(Point(x, top), GmpiDrawing::FigureBegin::Hollow);
        else
            os.AddLine(Point(x, top));
        fs.AddLine(Point(x, top));
        if (bottom != top)
        {
            os.AddLine(Point(x, bottom));
            fs.AddLine(Point(x, bottom));
        }
    }
    fs.AddLine(Point(w - 1.0f, half));
    fs.EndFigure(GmpiDrawing::FigureEnd::Closed);
    os.EndFigure(GmpiDrawing::FigureEnd::Open);
    fs.Close();
    os.Close();
    if (visible(2))
        g.DrawGeometry(outline, g.CreateSolidColorBrush(colours_[2]), 1.0f);
    if (visible(3) || visible(4))
        g.FillGeometry(fill, g.CreateLinearGradientBrush(colours_[3], colours_[4], Point(0.0f, 0.0f), Point(0.0f, h)));
}
} // namespace qw
