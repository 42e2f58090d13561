// Any bytes as a skin style sheet: every style read has a lower-case name, a
// family and opaque colours, is found by its name, and gives finite drawing
// colours and a vertical offset without overflow.
#include "FontCache.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool finite(const GmpiDrawing::Color& c)
{
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && c.a >= 0.0f && c.a <= 1.0f;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SkinMetadata skin;
    skin.read(text);
    for (const auto& s : skin.styles)
    {
        for (char c : s->styleName)
            check(!std::isupper(static_cast<unsigned char>(c)));
        check(!s->fontFamilies.empty());
        check((s->colorAbgr >> 24) == 0xFF);
        check(s->backgroundColorAbgr == 0 || (s->backgroundColorAbgr >> 24) == 0xFF);
        check(finite(s->getColor()) && finite(s->getBackgroundColor()));
        (void)s->getLegacyVerticalOffset();
        const FontMetadata* found = skin.getFont(s->styleName);
        check(found && found->styleName == s->styleName);
    }
    const FontMetadata* fallback = skin.getFont("\x01 no style has this name");
    check(fallback == &skin.defaultStyle && fallback->fontFamilies.size() == 1);

    // Reading again gives the same styles.
    SkinMetadata again;
    again.read(text);
    check(again.styles.size() == skin.styles.size());
    return 0;
}
