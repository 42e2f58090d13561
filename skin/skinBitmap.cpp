#include "skinBitmap.h"

#include "skin_text.h"
#include "srgb.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
bool isVertical(int32_t orientation)
{
    return orientation == ImageMetadata::VERTICAL || orientation == ImageMetadata::RELATIVE;
}
} // namespace

skinBitmap::~skinBitmap() = default;

void skinBitmap::unload()
{
    bitmapMetadata_ = nullptr;
    lastFrame_ = 0;
    bitmap_.setNull();
    hitMask_.clear();
    hitMaskRowBytes_ = hitMaskRows_ = 0;
}

int32_t skinBitmap::Load(gmpi::IMpUserInterfaceHost2* host, gmpi_gui::IMpGraphicsHost* graphicsHost, const char* name)
{
    unload();
    if (!name || !*name)
        return -1;

    ImageMetadata* metadata = nullptr;
    GmpiDrawing::Bitmap bitmap = ImageCache::instance().GetImage(host, graphicsHost, name, &metadata);
    if (!bitmap || !metadata)
        return -1;
    bitmap_ = bitmap;
    bitmapMetadata_ = metadata;
    const int64_t frameHeight = metadata->frameHeight > 0 ? metadata->frameHeight : 1;
    lastFrame_ = skin::saturate(std::max<int64_t>(0, bitmap.GetSize().height / frameHeight - 1));
    return 0;
}

int32_t skinBitmap::drawOffset(const ImageMetadata& m, int32_t lastFrame, float position)
{
    const double p = std::isnan(position) ? 0.0 : std::clamp(static_cast<double>(position), 0.0, 1.0);
    switch (m.imageType)
    {
    case ImageMetadata::SLIDER:
    {
        // |p x (end - start)| < 2^32: exact in 64 bits.
        const auto travel = static_cast<int64_t>(p * static_cast<double>(int64_t{m.rangeEnd} - m.rangeStart));
        return skin::saturate(isVertical(m.orientation) ? m.rangeEnd - travel : m.rangeStart + travel);
    }
    case ImageMetadata::BARGRAPH:
    {
        const int64_t level = skin::toInt32(p * (static_cast<double>(m.segmentCount) + 1.0));
        return skin::saturate(level * m.rangeEnd + m.rangeStart - 1);
    }
    default:
    {
        const int64_t frame = skin::toInt32(p * lastFrame + 0.5);
        return skin::saturate(frame * m.frameHeight);
    }
    }
}

bool skinBitmap::calcDrawAt(float position)
{
    if (!bitmap_ || !bitmapMetadata_)
        return false;
    const int32_t d = drawOffset(*bitmapMetadata_, lastFrame_, position);
    const bool changed = d != drawAt_;
    drawAt_ = d;
    return changed;
}

skinBitmap::Pieces skinBitmap::pieces(const ImageMetadata& m, int32_t drawAt, double x, double y)
{
    const double w = m.frameWidth, h = m.frameHeight;
    const double left = x + m.paddingLeft, top = y + m.paddingTop;
    Pieces out;
    switch (m.imageType)
    {
    case ImageMetadata::SLIDER:
    {
        out.push_back({left, top, left + w, top + h, 0.0, 0.0});
        const auto& r = m.handleRect;
        const double n = std::min(drawAt, 0), along = std::max(drawAt, 0);
        if (isVertical(m.orientation))
            out.push_back(
                {left + r.left, top + along, left + r.right, top + along + (r.bottom - r.top) + n, r.left, r.top - n});
        else
            out.push_back(
                {left + along, top + r.top, left + along + (r.right - r.left) + n, top + r.bottom, r.left - n, r.top});
        break;
    }
    case ImageMetadata::BARGRAPH:
    {
        // The level stays within the frame.
        const double d = std::clamp(static_cast<double>(drawAt), 0.0, std::max(h, 0.0));
        out.push_back({x, y + h - d, x + w, y + h, 0.0, h - d});
        out.push_back({x, y, x + w, y + h - d, 0.0, h});
        break;
    }
    default:
        out.push_back({left, top, left + w, top + h, 0.0, static_cast<double>(drawAt)});
        break;
    }
    return out;
}

void skinBitmap::renderBitmap(GmpiDrawing::Graphics_base& g, GmpiDrawing_API::MP1_SIZE_U offset, float opacity)
{
    using namespace GmpiDrawing;
    const double x = offset.width, y = offset.height;
    const Bitmap bitmap = getDrawBitmap();
    if (!bitmap || !bitmapMetadata_)
    {
        const Rect box(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 8),
                       static_cast<float>(y + 10));
        g.FillRectangle(box, g.CreateSolidColorBrush(mp_sdk::colorFromArgb(0xFFFFFFFFu)));
        const TextFormat format =
            g.GetFactory().CreateTextFormat(6.0f, "Arial", FontWeight::Normal, FontStyle::Normal, FontStretch::Normal);
        g.DrawTextU("X", format, box, g.CreateSolidColorBrush(mp_sdk::colorFromArgb(0xFF000000u)));
        return;
    }
    for (const Piece& p : pieces(*bitmapMetadata_, drawAt_, x, y))
    {
        const double width = p.right - p.left, height = p.bottom - p.top;
        g.DrawBitmap(bitmap,
                     Rect(static_cast<float>(p.left), static_cast<float>(p.top), static_cast<float>(p.right),
                          static_cast<float>(p.bottom)),
                     Rect(static_cast<float>(p.sourceLeft), static_cast<float>(p.sourceTop),
                          static_cast<float>(p.sourceLeft + width), static_cast<float>(p.sourceTop + height)),
                     opacity, BitmapInterpolationMode::Linear);
    }
}

bool skinBitmap::pixelAt(GmpiDrawing_API::MP1_POINT point, uint32_t& pixel) const
{
    if (!bitmapMetadata_ || !bitmap_ || bitmapMetadata_->imageType == ImageMetadata::BARGRAPH ||
        !std::isfinite(point.x) || !std::isfinite(point.y))
        return false;
    const ImageMetadata& m = *bitmapMetadata_;
    const Pieces drawn = pieces(m, drawAt_, 0.0, 0.0);
    const Piece& p = m.imageType == ImageMetadata::SLIDER ? drawn.back() : drawn.front();
    const int64_t x = skin::toInt32(point.x - p.left + p.sourceLeft);
    const int64_t y = skin::toInt32(point.y - p.top + p.sourceTop);
    const double x0 = p.sourceLeft, y0 = p.sourceTop;
    if (x < x0 || x > x0 + (p.right - p.left) || y < y0 || y > y0 + (p.bottom - p.top))
        return false;
    const GmpiDrawing::SizeU size = bitmap_.GetSize();
    if (x < 0 || y < 0 || x >= int64_t{size.width} || y >= int64_t{size.height})
        return false;
    const GmpiDrawing::BitmapPixels pixels = bitmap_.lockPixels(GmpiDrawing::BitmapLockFlags::Read);
    const uint8_t* data = pixels.getAddress();
    if (!data)
        return false;
    std::memcpy(&pixel, data + y * pixels.getBytesPerRow() + 4 * x, 4);
    return true;
}

int32_t skinBitmap::frameCount() const
{
    if (!bitmapMetadata_ || !bitmap_)
        return 0;
    const int64_t frameHeight = bitmapMetadata_->frameHeight > 0 ? bitmapMetadata_->frameHeight : 1;
    return skin::saturate(int64_t{bitmap_.GetSize().height} / frameHeight);
}

GmpiDrawing_API::MP1_SIZE skinBitmap::paddedFrameSize() const
{
    if (!bitmapMetadata_ || !bitmap_)
        return {10.0f, 10.0f};
    const ImageMetadata& m = *bitmapMetadata_;
    return {static_cast<float>(m.frameWidth) + m.paddingLeft + m.paddingRight,
            static_cast<float>(m.frameHeight) + m.paddingTop + m.paddingBottom};
}

bool skinBitmap::bitmapHitTestLocal(GmpiDrawing_API::MP1_POINT point)
{
    if (!bitmapMetadata_ || !bitmap_)
        return false;
    const ImageMetadata& m = *bitmapMetadata_;
    if (m.imageType == ImageMetadata::BARGRAPH)
        return true;
    const Pieces drawn = pieces(m, drawAt_, 0.0, 0.0);
    const double px = point.x, py = point.y;
    auto inside = [px, py](const Piece& p) { return px >= p.left && px < p.right && py >= p.top && py < p.bottom; };

    // A slider is hit on its handle; without pixel testing, anywhere on its frame.
    const bool slider = m.imageType == ImageMetadata::SLIDER;
    if (slider && !pixelHitTesting)
        return inside(drawn.front());
    const Piece& p = slider ? drawn.back() : drawn.front();
    if (!inside(p))
        return false;
    if (!pixelHitTesting)
        return true;
    if (hitMask_.empty())
        buildHitMask();
    return maskBit(static_cast<int64_t>(std::floor(px - p.left + p.sourceLeft)),
                   static_cast<int64_t>(std::floor(py - p.top + p.sourceTop)));
}

void skinBitmap::buildHitMask()
{
    const GmpiDrawing::SizeU size = bitmap_.GetSize();
    const GmpiDrawing::BitmapPixels pixels = bitmap_.lockPixels(GmpiDrawing::BitmapLockFlags::Read);
    const uint8_t* data = pixels.getAddress();
    if (!data || size.width == 0 || size.height == 0)
        return;
    hitMaskRowBytes_ = size.width / 8 + 1;
    hitMaskRows_ = size.height;
    hitMask_.assign(static_cast<size_t>(hitMaskRowBytes_ * hitMaskRows_), 0);
    const int64_t bytesPerRow = pixels.getBytesPerRow();
    for (int64_t y = 0; y < hitMaskRows_; ++y)
    {
        const uint8_t* row = data + y * bytesPerRow;
        uint8_t* bits = hitMask_.data() + y * hitMaskRowBytes_;
        for (int64_t x = 0; x < size.width; ++x)
            if (row[4 * x + 3] != 0) // alpha
                bits[x / 8] |= static_cast<uint8_t>(1u << (x % 8));
    }
}

bool skinBitmap::maskBit(int64_t x, int64_t y) const
{
    if (x < 0 || y < 0 || y >= hitMaskRows_ || x / 8 >= hitMaskRowBytes_ ||
        static_cast<uint64_t>(x) >= bitmap_.GetSize().width)
        return false;
    return (hitMask_[static_cast<size_t>(y * hitMaskRowBytes_ + x / 8)] >> (x % 8)) & 1;
}
