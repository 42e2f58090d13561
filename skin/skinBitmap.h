// A skin image shown at a position between 0 and 1: the frame of a film
// strip, a slider's handle over its track, or the level of a bar graph;
// drawn, and tested for hits with exactly the geometry it is drawn with.
#pragma once

#include "Drawing.h"
#include "ImageCache.h"
#include "ImageMetadata.h"

#include <cstdint>
#include <vector>

class skinBitmap : public ImageCacheClient
{
public:
    skinBitmap() = default;
    ~skinBitmap() override;

    // The bitmap drawn: the loaded one unless a derived module gives another.
    virtual GmpiDrawing::Bitmap getDrawBitmap() { return bitmap_; }

    // Forgets the current image, then loads `name` through the image cache:
    // 0, or -1 for a null or empty name or an image that cannot be loaded.
    int32_t Load(gmpi::IMpUserInterfaceHost2* host, gmpi_gui::IMpGraphicsHost* graphicsHost, const char* name);
    // Recomputes the draw offset for a position (clamped to 0..1, NaN as 0);
    // true when it changed. False without an image.
    bool calcDrawAt(float position);
    // Forgets the current image (the module then has none).
    void unload();
    // Draws the current state with its top-left corner at `offset` and that
    // opacity; a white 8 x 10 box with a black "X" when there is no image.
    void renderBitmap(GmpiDrawing::Graphics_base& g, GmpiDrawing_API::MP1_SIZE_U offset, float opacity = 1.0f);
    // Whether a point (module coordinates, the image drawn at 0, 0) lies on
    // what is drawn: the frame, or a slider's handle, and with pixel hit
    // testing on a pixel that is not fully transparent. A bar graph is hit
    // everywhere; nothing is hit without an image.
    bool bitmapHitTestLocal(GmpiDrawing_API::MP1_POINT point);

    // The 32-bit pixel (alpha in the top byte) under a point, as a module's
    // own alpha hit test reads it: the point (module coordinates, the image
    // drawn at 0, 0) taken into the bitmap through the geometry it is drawn
    // with (a slider's handle, else the current frame), truncated toward
    // zero, must lie on that part of the bitmap, its edges included, and
    // inside the bitmap; the pixels are locked for the read. False without
    // an image, for a bar graph and for a point that is not a finite number.
    bool pixelAt(GmpiDrawing_API::MP1_POINT point, uint32_t& pixel) const;
    // Whole frames in the bitmap (its height / the frame height); 0 without
    // an image.
    int32_t frameCount() const;
    // One frame with its paddings around it; 10 by 10 without an image.
    GmpiDrawing_API::MP1_SIZE paddedFrameSize() const;

    // Test the image's pixels, not only rectangles.
    bool pixelHitTesting = true;

    const GmpiDrawing::Bitmap& getBitmap() const { return bitmap_; }
    const ImageMetadata* getMetadata() const { return bitmapMetadata_; }
    // Source offset of the frame, handle position or bar level.
    int32_t getDrawAt() const { return drawAt_; }
    int32_t getLastFrame() const { return lastFrame_; }

    // The draw offset of a position for an image's metadata and last frame.
    static int32_t drawOffset(const ImageMetadata& metadata, int32_t lastFrame, float position);

    // One picture drawn: a part of the image (source) into a rectangle of
    // the module (destination), of the same size.
    struct Piece
    {
        double left, top, right, bottom; // destination
        double sourceLeft, sourceTop;
    };
    // One or two pieces, without a heap allocation (hit tests run on every
    // pointer move).
    struct Pieces
    {
        Piece piece[2];
        int count = 0;
        const Piece* begin() const { return piece; }
        const Piece* end() const { return piece + count; }
        const Piece& front() const { return piece[0]; }
        const Piece& back() const { return piece[count - 1]; }
        void push_back(const Piece& p) { piece[count++] = p; }
    };
    // What is drawn for a state, at offset (x, y): the frame, then for a
    // slider its handle, for a bar graph the lit and the unlit part.
    static Pieces pieces(const ImageMetadata& metadata, int32_t drawAt, double x, double y);

protected:
    GmpiDrawing::Bitmap bitmap_;
    ImageMetadata* bitmapMetadata_ = nullptr;
    int32_t drawAt_ = 0;
    std::vector<uint8_t> hitMask_; // one bit a pixel, rows of width / 8 + 1 bytes
    int32_t lastFrame_ = 0;

private:
    void buildHitMask();
    bool maskBit(int64_t x, int64_t y) const;
    int64_t hitMaskRowBytes_ = 0;
    int64_t hitMaskRows_ = 0;
};
