#include "drawing/objects.h"

#include <cstring>

namespace qwhost::drawing
{
using namespace GmpiDrawing_API;

Bitmap::Bitmap(Factory* factory, cairo_surface_t* surface) : factory_(factory), surface_(surface)
{
    factory_->addRef();
}

Bitmap::~Bitmap()
{
    cairo_surface_destroy(surface_);
    factory_->release();
}

int32_t Bitmap::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

int32_t Bitmap::GetFactory(IMpFactory** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    factory_->addRef();
    *out = factory_;
    return gmpi::MP_OK;
}

int Bitmap::width() const
{
    return cairo_image_surface_get_width(surface_);
}
int Bitmap::height() const
{
    return cairo_image_surface_get_height(surface_);
}

int32_t Bitmap::GetSizeU(MP1_SIZE_U* out)
{
    if (!out)
        return gmpi::MP_FAIL;
    out->width = static_cast<uint32_t>(width());
    out->height = static_cast<uint32_t>(height());
    return gmpi::MP_OK;
}

int32_t Bitmap::lockPixels(IMpBitmapPixels** out, int32_t flags)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if ((flags & (MP1_BITMAP_LOCK_READ | MP1_BITMAP_LOCK_WRITE)) == 0 ||
        (flags & ~(MP1_BITMAP_LOCK_READ | MP1_BITMAP_LOCK_WRITE)) != 0)
        return gmpi::MP_FAIL;
    *out = new BitmapPixels(this, flags, factory_->pixelFormat);
    return gmpi::MP_OK;
}

Bitmap::Pixel Bitmap::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return {0, 0, 0, 0};
    cairo_surface_flush(surface_);
    const uint8_t* row =
        cairo_image_surface_get_data(surface_) + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface_);
    const uint8_t* p = row + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

bool Bitmap::writePng(const std::string& path) const
{
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Windows bitmap files

namespace
{
struct Reader
{
    const uint8_t* d;
    size_t n;
    bool has(uint64_t offset, uint64_t count) const { return offset <= n && count <= n - offset; }
    uint32_t u16(size_t o) const { return d[o] | (d[o + 1] << 8); }
    uint32_t u32(size_t o) const
    {
        return d[o] | (d[o + 1] << 8) | (d[o + 2] << 16) | (static_cast<uint32_t>(d[o + 3]) << 24);
    }
};

// A channel of a bit-field pixel, scaled to 0..255.
struct Channel
{
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    uint32_t get(uint32_t v) const
    {
        return max ? static_cast<uint32_t>((uint64_t{(v & mask) >> shift} * 255 + max / 2) / max) : 0;
    }
};
} // namespace

bool decodeBmp(const uint8_t* data, size_t size, int& width, int& height, std::vector<uint32_t>& pixels)
{
    const Reader r{data, size};
    if (!data || !r.has(0, 18) || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = r.u32(10);
    const uint32_t headerSize = r.u32(14);
    if (headerSize < 12 || !r.has(14, headerSize))
        return false;

    int64_t w, h;
    uint32_t bpp, compression = 0, coloursUsed = 0;
    size_t paletteEntry = 4;
    if (headerSize == 12)
    {
        w = r.u16(18);
        h = static_cast<int16_t>(r.u16(20));
        bpp = r.u16(24);
        paletteEntry = 3;
    }
    else
    {
        if (headerSize < 40)
            return false;
        w = static_cast<int32_t>(r.u32(18));
        h = static_cast<int32_t>(r.u32(22));
        bpp = r.u16(28);
        compression = r.u32(30);
        coloursUsed = r.u32(46);
    }
    const bool topDown = h < 0;
    if (topDown)
        h = -h;
    if (w < 1 || h < 1 || w > Factory::kMaxSide || h > Factory::kMaxSide)
        return false;

    // Masks of 16- and 32-bit pixels.
    uint32_t rm = 0, gm = 0, bm = 0, am = 0;
    size_t afterHeader = 14 + headerSize;
    if (compression == 3 || compression == 6)
    {
        if (bpp != 16 && bpp != 32)
            return false;
        if (headerSize >= 52)
        {
            rm = r.u32(54);
            gm = r.u32(58);
            bm = r.u32(62);
            am = headerSize >= 56 ? r.u32(66) : 0;
        }
        else
        {
            const size_t count = compression == 6 ? 16 : 12;
            if (!r.has(afterHeader, count))
                return false;
            rm = r.u32(afterHeader);
            gm = r.u32(afterHeader + 4);
            bm = r.u32(afterHeader + 8);
            am = compression == 6 ? r.u32(afterHeader + 12) : 0;
            afterHeader += count;
        }
    }
    else if (compression != 0)
    {
        return false;
    }
    else if (bpp == 16)
    {
        rm = 0x7C00, gm = 0x03E0, bm = 0x001F;
    }
    else if (bpp == 32)
    {
        rm = 0xFF0000, gm = 0xFF00, bm = 0xFF, am = 0xFF000000;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;

    std::vector<uint32_t> palette;
    if (bpp <= 8)
    {
        uint32_t count = coloursUsed ? coloursUsed : (1u << bpp);
        if (count > (1u << bpp))
            count = 1u << bpp;
        // A short palette ends where the pixels begin.
        for (uint32_t i = 0; i < count && r.has(afterHeader + i * paletteEntry, paletteEntry) &&
                             afterHeader + (i + 1) * paletteEntry <= pixelOffset;
             ++i)
        {
            const uint8_t* e = data + afterHeader + i * paletteEntry;
            palette.push_back(0xFF000000u | (e[2] << 16) | (e[1] << 8) | e[0]);
        }
    }

    const uint64_t rowBytes = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
    if (!r.has(pixelOffset, rowBytes * static_cast<uint64_t>(h)))
        return false;

    const Channel cr(rm), cg(gm), cb(bm), ca(am);
    pixels.assign(static_cast<size_t>(w * h), 0);
    bool anyAlpha = false;
    for (int64_t fileRow = 0; fileRow < h; ++fileRow)
    {
        const uint8_t* row = data + pixelOffset + fileRow * rowBytes;
        uint32_t* out = pixels.data() + (topDown ? fileRow : h - 1 - fileRow) * w;
        for (int64_t x = 0; x < w; ++x)
        {
            uint32_t argb;
            if (bpp <= 8)
            {
                const uint64_t bit = static_cast<uint64_t>(x) * bpp;
                const uint32_t index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                argb = index < palette.size() ? palette[index] : 0xFF000000u;
            }
            else if (bpp == 24)
            {
                const uint8_t* p = row + x * 3;
                argb = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
            }
            else
            {
                const uint8_t* p = row + x * (bpp / 8);
                const uint32_t v = bpp == 16 ? static_cast<uint32_t>(p[0] | (p[1] << 8)) : Reader{p, 4}.u32(0);
                const uint32_t a = ca.get(v);
                anyAlpha = anyAlpha || a != 0;
                argb = (a << 24) | (cr.get(v) << 16) | (cg.get(v) << 8) | cb.get(v);
            }
            out[x] = argb;
        }
    }

    // Without any alpha (or without an alpha channel) the image is opaque.
    const bool opaque = bpp <= 24 || !anyAlpha;
    for (auto& p : pixels)
    {
        if (opaque)
        {
            p |= 0xFF000000u;
            continue;
        }
        const uint32_t a = p >> 24;
        auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
        p = (a << 24) | (pm((p >> 16) & 255) << 16) | (pm((p >> 8) & 255) << 8) | pm(p & 255);
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

} // namespace qwhost::drawing
