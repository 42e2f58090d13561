#include "ImageCache.h"

#include "mp_sdk_gui2.h"
#include "skin_text.h"
#include "srgb.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace skin
{
std::string withoutExtension(const std::string& name)
{
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name;
    return name.substr(0, dot);
}

bool isBmp(const std::string& uri)
{
    if (uri.size() < 3)
        return false;
    const char* e = uri.c_str() + uri.size() - 3;
    return std::tolower(static_cast<unsigned char>(e[0])) == 'b' &&
           std::tolower(static_cast<unsigned char>(e[1])) == 'm' &&
           std::tolower(static_cast<unsigned char>(e[2])) == 'p';
}

uint8_t premultiplySrgb(uint8_t c, uint32_t a)
{
    const auto& tables = mp_sdk::gammaTables();
    const float v = tables.toLinear()[c] * (static_cast<float>(a) / 255.0f);
    // The largest code whose lower threshold is below v.
    const float* thresholds = tables.toLinearThresholds();
    int b = 0;
    for (int step = 128; step > 0; step >>= 1)
        if (thresholds[b + step] < v)
            b += step;
    return static_cast<uint8_t>(b);
}

namespace
{
// premultiplySrgb of every alpha (row) and code (column), made on first use.
const uint8_t* premultipliedCodes()
{
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(256 * 256);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t c = 0; c < 256; ++c)
                t[a * 256 + c] = premultiplySrgb(static_cast<uint8_t>(c), a);
        return t;
    }();
    return table.data();
}
} // namespace

void applyMask(uint8_t* image, int32_t imageBytesPerRow, const uint8_t* mask, int32_t maskBytesPerRow, int32_t width,
               int32_t height, int32_t pixelFormat)
{
    if (!image || !mask || width <= 0 || height <= 0)
        return;
    const bool srgb = pixelFormat == GmpiDrawing_API::MP1_PIXEL_FORMAT_BGRA_SRGB;
    const uint8_t* codes = srgb ? premultipliedCodes() : nullptr;
    for (int32_t y = 0; y < height; ++y)
    {
        uint8_t* p = image + static_cast<int64_t>(y) * imageBytesPerRow;
        const uint8_t* m = mask + static_cast<int64_t>(y) * maskBytesPerRow;
        for (int32_t x = 0; x < width; ++x, p += 4, m += 4)
        {
            const uint32_t a = 255u - m[0];
            if (srgb)
            {
                const uint8_t* row = codes + a * 256;
                p[0] = row[p[0]];
                p[1] = row[p[1]];
                p[2] = row[p[2]];
            }
            else
            {
                for (int c = 0; c < 3; ++c)
                {
                    const uint32_t t = p[c] * a;
                    p[c] = static_cast<uint8_t>((t + ((t + 127) >> 8) + 128) >> 8);
                }
            }
            p[3] = static_cast<uint8_t>(a);
        }
    }
}

void clearKeyColour(uint8_t* image, int32_t bytesPerRow, int32_t width, int32_t height, uint32_t key)
{
    if (!image || width <= 0 || height <= 0)
        return;
    for (int32_t y = 0; y < height; ++y)
    {
        uint8_t* p = image + static_cast<int64_t>(y) * bytesPerRow;
        for (int32_t x = 0; x < width; ++x, p += 4)
        {
            uint32_t v;
            std::memcpy(&v, p, 4);
            if (v == key)
                p[3] = 0;
        }
    }
}
} // namespace skin

namespace
{
// The host's address of a resource; false when it names none.
bool resourceUri(gmpi::IMpUserInterfaceHost2* host, const std::string& name, const char* type, std::string& uri)
{
    gmpi_sdk::MpString s;
    if (host->RegisterResourceUri(name.c_str(), type, &s) != gmpi::MP_OK)
        return false;
    uri = s.str();
    return true;
}

// The image's mask, when the host has one of the image's size.
void maskImage(gmpi::IMpUserInterfaceHost2* host, const GmpiDrawing::Factory& factory, const std::string& name,
               GmpiDrawing::Bitmap& bitmap)
{
    std::string uri;
    if (!resourceUri(host, skin::withoutExtension(name) + "_mask.bmp", "Image", uri))
        return;
    const GmpiDrawing::Bitmap mask = factory.LoadImageU(uri);
    const GmpiDrawing::SizeU size = bitmap.GetSize();
    if (!mask || mask.GetSize() != size)
        return; // a mask of another size does not fit the image
    const GmpiDrawing::BitmapPixels maskPixels = mask.lockPixels(GmpiDrawing::BitmapLockFlags::Read);
    GmpiDrawing::BitmapPixels pixels = bitmap.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
    if (!maskPixels.getAddress() || !pixels.getAddress())
        return;
    skin::applyMask(pixels.getAddress(), pixels.getBytesPerRow(), maskPixels.getAddress(), maskPixels.getBytesPerRow(),
                    static_cast<int32_t>(size.width), static_cast<int32_t>(size.height), pixels.getPixelFormat());
}

void clearTransparentPixel(const ImageMetadata& m, GmpiDrawing::Bitmap& bitmap)
{
    const GmpiDrawing::SizeU size = bitmap.GetSize();
    if (m.transparentPixelX < 0 || m.transparentPixelY < 0 ||
        static_cast<uint32_t>(m.transparentPixelX) >= size.width ||
        static_cast<uint32_t>(m.transparentPixelY) >= size.height)
        return;
    GmpiDrawing::BitmapPixels pixels = bitmap.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
    uint8_t* data = pixels.getAddress();
    if (!data)
        return;
    const int64_t bytesPerRow = pixels.getBytesPerRow();
    uint32_t key;
    std::memcpy(&key, data + m.transparentPixelY * bytesPerRow + 4 * int64_t{m.transparentPixelX}, 4);
    skin::clearKeyColour(data, pixels.getBytesPerRow(), static_cast<int32_t>(size.width),
                         static_cast<int32_t>(size.height), key);
}
} // namespace

// ---------------------------------------------------------------------------
// ImageCache

ImageCache& ImageCache::instance()
{
    static ImageCache cache;
    return cache;
}

GmpiDrawing::Bitmap ImageCache::GetImage(gmpi::IMpUserInterfaceHost2* host, gmpi_gui::IMpGraphicsHost* graphicsHost,
                                         const char* name, ImageMetadata** out)
{
    if (out)
        *out = nullptr;
    if (!host || !graphicsHost || !name)
        return {};
    GmpiDrawing::Factory factory;
    graphicsHost->GetDrawingFactory(factory.GetAddressOf());
    std::string uri;
    if (!factory || !resourceUri(host, name, "Image", uri))
        return {};

    for (auto& image : images_)
        if (image.factory == factory.Get() && image.uri == uri)
        {
            if (out)
                *out = image.metadata.get();
            return image.bitmap;
        }

    GmpiDrawing::Bitmap bitmap = factory.LoadImageU(uri);
    if (!bitmap)
        return {};
    if (skin::isBmp(uri))
        maskImage(host, factory, name, bitmap);

    const GmpiDrawing::SizeU size = bitmap.GetSize();
    auto metadata = std::make_shared<ImageMetadata>();
    metadata->frameWidth = skin::saturate(size.width);
    metadata->frameHeight = skin::saturate(size.height);
    std::string metaUri;
    if (resourceUri(host, skin::withoutExtension(name) + ".txt", "ImageMeta", metaUri))
    {
        gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file;
        host->OpenUri(metaUri.c_str(), file.getAddressOf());
        if (file)
            metadata->Serialise(file);
    }
    // A frame of no height is one frame of the whole image.
    if (metadata->frameHeight <= 0)
    {
        metadata->frameWidth = skin::saturate(size.width);
        metadata->frameHeight = skin::saturate(size.height);
    }
    metadata->imageWidth = size.width;
    metadata->imageHeight = size.height;
    clearTransparentPixel(*metadata, bitmap);

    images_.push_back({factory.Get(), uri, bitmap, metadata});
    if (out)
        *out = metadata.get();
    return bitmap;
}

void ImageCache::RegisterCustomImage(const char* name, GmpiDrawing::Bitmap bitmap)
{
    if (!bitmap)
        return;
    const GmpiDrawing::Factory factory = bitmap.GetFactory();
    images_.push_back({factory.Get(), name ? name : "", bitmap, nullptr});
}

GmpiDrawing::Bitmap ImageCache::GetCustomImage(GmpiDrawing_API::IMpFactory* factory, const char* name)
{
    const std::string n = name ? name : "";
    for (auto& image : images_)
        if (image.factory == factory && image.uri == n)
            return image.bitmap;
    return {};
}

void ImageCache::RemoveClient()
{
    if (clients_ > 0)
        --clients_;
    if (clients_ == 0)
        images_.clear();
}

// ---------------------------------------------------------------------------
// ImageCacheClient

ImageCacheClient::ImageCacheClient()
{
    ImageCache::instance().AddClient();
}

ImageCacheClient::ImageCacheClient(const ImageCacheClient&)
{
    ImageCache::instance().AddClient();
}

ImageCacheClient::~ImageCacheClient()
{
    ImageCache::instance().RemoveClient();
}

GmpiDrawing::Bitmap ImageCacheClient::GetImage(const char* name, ImageMetadata** out)
{
    auto* module = dynamic_cast<gmpi_gui::MpGuiGfxBase*>(this);
    if (!module)
    {
        if (out)
            *out = nullptr;
        return {};
    }
    return ImageCache::instance().GetImage(module->getHost(), module->getGuiHost(), name, out);
}
