// Skin strips that the image-control tests make for themselves: frames of
// flat, distinct colours (with transparent or half-transparent pixels where
// a test needs them), written as PNG files with their metadata texts into a
// scratch folder, from which a drawn module's host then takes its resources.
//
//   imagetest::Skin skin;
//   skin.flat("knob10.png", 10, 10, 10, "type knob\nframe_size 10 10\n");
//   drawntest::Drawn c(L"QW_Image");
//   skin.use(c);
//   c.setText("Image", L"knob10.png");
#pragma once

#include "../skin/skin_rig.h"
#include "drawn_fixture.h"

#include <functional>
#include <optional>
#include <string>

namespace imagetest
{
using skintest::Rgba;

// Frame k's colour, distinct for k = 0 .. 11, opaque.
inline Rgba frameColour(int k)
{
    return {static_cast<uint8_t>(15 + 20 * k), static_cast<uint8_t>(240 - 20 * k), static_cast<uint8_t>(60 + 10 * k),
            255};
}

class Skin
{
public:
    // A strip of `frames` frames of w x h, one above the other; pixel(frame,
    // x, y) in frame coordinates. Without metadata no text is written.
    void strip(const std::string& name, int w, int h, int frames, const std::function<Rgba(int, int, int)>& pixel,
               const std::optional<std::string>& metadata)
    {
        skintest::writePng(folder_.file(name), w, h * frames, [&](int x, int y) { return pixel(y / h, x, y % h); });
        if (metadata)
            folder_.write(name.substr(0, name.rfind('.')) + ".txt", *metadata);
    }
    // Every frame in its flat colour.
    void flat(const std::string& name, int w, int h, int frames, const std::optional<std::string>& metadata)
    {
        strip(
            name, w, h, frames, [](int f, int, int) { return frameColour(f); }, metadata);
    }
    // Any file, as it is.
    void file(const std::string& name, const std::string& bytes) { folder_.write(name, bytes); }

    // The module's host takes its resources from this skin from now on.
    void use(drawntest::Drawn& c) const { c.module().host().resourceFolder = folder_.path(); }

private:
    skintest::Folder folder_;
};

// A rendered pixel (straight colour bytes when opaque) against a colour.
inline void expectColour(const qwhost::drawing::Bitmap& b, int x, int y, const Rgba& c, const std::string& what,
                         int tolerance = 1)
{
    const auto p = b.pixel(x, y);
    EXPECT_NEAR(p.r, c.r, tolerance) << what << " at " << x << ", " << y;
    EXPECT_NEAR(p.g, c.g, tolerance) << what << " at " << x << ", " << y;
    EXPECT_NEAR(p.b, c.b, tolerance) << what << " at " << x << ", " << y;
    EXPECT_NEAR(p.a, c.a, tolerance) << what << " at " << x << ", " << y;
}

// The destination and source rectangles of each DrawBitmap call.
inline std::vector<std::vector<double>> bitmapDraws(const std::vector<drawntest::DrawCall>& calls)
{
    std::vector<std::vector<double>> out;
    for (auto& c : drawntest::only(calls, "DrawBitmap", 0))
        out.emplace_back(c.values.begin(), c.values.begin() + 8);
    return out;
}
} // namespace imagetest
