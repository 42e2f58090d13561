// Any bytes as an image's metadata text: the draw offsets of every position
// and the drawn geometry of every offset are computed without overflow
// (UndefinedBehaviorSanitizer) and stay finite.
#include "skinBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImageMetadata m;
    m.read(std::string(reinterpret_cast<const char*>(data), size));
    check(m.imageType >= 0 && m.imageType <= 3);
    check(m.orientation >= -1 && m.orientation <= 5);

    // As loading a 64 x 256 image would have it.
    const int64_t height = 256;
    const int64_t frameHeight = m.frameHeight > 0 ? m.frameHeight : height;
    const auto lastFrame = static_cast<int32_t>(std::max<int64_t>(0, height / frameHeight - 1));
    const float positions[] = {0.0f,
                               0.25f,
                               0.5f,
                               1.0f,
                               -1.0f,
                               2.0f,
                               std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity()};
    for (float p : positions)
    {
        const int32_t d = skinBitmap::drawOffset(m, lastFrame, p);
        for (const auto& piece : skinBitmap::pieces(m, d, 7.0, 3.0))
        {
            check(std::isfinite(piece.left) && std::isfinite(piece.top) && std::isfinite(piece.right) &&
                  std::isfinite(piece.bottom) && std::isfinite(piece.sourceLeft) && std::isfinite(piece.sourceTop));
            // Source and destination are of one size.
            check(std::isfinite((piece.right - piece.left) + piece.sourceLeft));
        }
    }
    return 0;
}
