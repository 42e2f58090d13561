// The skin images of a bundle: each loaded once per drawing factory through
// the host, with its mask, transparent colour and metadata applied, and
// shared by every module until the last client is gone.
//
// For an image "name.ext" the host is asked for the resource "name.ext" of
// type "Image", its metadata text "name.txt" of type "ImageMeta" and, for a
// BMP, the mask "name_mask.bmp" of type "Image": the mask's blue byte is the
// transparency (0 opaque, 255 clear).
#pragma once

#include "Drawing.h"
#include "ImageMetadata.h"
#include "mp_api_gui.h"
#include "mp_api_gui2.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ImageCache
{
public:
    static ImageCache& instance();

    // The bitmap of a skin image, with `out` (when given) pointing at its
    // metadata; an empty bitmap and null when it cannot be loaded.
    GmpiDrawing::Bitmap GetImage(gmpi::IMpUserInterfaceHost2* host, gmpi_gui::IMpGraphicsHost* graphicsHost,
                                 const char* name, ImageMetadata** out);
    // A bitmap a module made, found again by its factory and name; no metadata.
    void RegisterCustomImage(const char* name, GmpiDrawing::Bitmap bitmap);
    GmpiDrawing::Bitmap GetCustomImage(GmpiDrawing_API::IMpFactory* factory, const char* name);

    void AddClient() { ++clients_; }
    // The last client drops every image.
    void RemoveClient();

    size_t imageCount() const { return images_.size(); }
    uint32_t clientCount() const { return clients_; }

private:
    ImageCache() = default;

    struct ImageData
    {
        const void* factory;
        std::string uri;
        GmpiDrawing::Bitmap bitmap;
        std::shared_ptr<ImageMetadata> metadata; // empty for custom images
    };
    std::vector<ImageData> images_;
    uint32_t clients_ = 0;
};

// Mixin of skinBitmap: a client of the image cache from construction to
// destruction.
class ImageCacheClient
{
public:
    ImageCacheClient();
    ImageCacheClient(const ImageCacheClient&);
    ImageCacheClient& operator=(const ImageCacheClient&) { return *this; }
    virtual ~ImageCacheClient();

    // Through the hosts of the module this is part of (a
    // gmpi_gui::MpGuiGfxBase); empty before it has them.
    GmpiDrawing::Bitmap GetImage(const char* name, ImageMetadata** out);
};

namespace skin
{
// A resource name without its extension (the part after the last '.' that
// follows the last '/' or '\').
std::string withoutExtension(const std::string& name);
// Whether the address ends in "bmp", in any letter case.
bool isBmp(const std::string& uri);

// Applies a mask to image pixels in place, row by row (4 bytes a pixel, the
// colour bytes first, alpha last): alpha = 255 - the mask pixel's first
// byte, and the colour premultiplied by it. With pixel format 4 (sRGB
// colour bytes) the product is formed in linear light and encoded back
// through the same curve, so an opaque pixel keeps every byte.
void applyMask(uint8_t* image, int32_t imageBytesPerRow, const uint8_t* mask, int32_t maskBytesPerRow, int32_t width,
               int32_t height, int32_t pixelFormat);
// One sRGB colour byte times alpha a / 255 in linear light, encoded back to
// the nearest sRGB byte (what applyMask does, one byte at a time).
uint8_t premultiplySrgb(uint8_t c, uint32_t a);
// Gives alpha 0 to every pixel whose 32 bits equal `key`, colour bytes kept.
void clearKeyColour(uint8_t* image, int32_t bytesPerRow, int32_t width, int32_t height, uint32_t key);
} // namespace skin
