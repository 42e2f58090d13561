// The row height of a skin style of the test skin, asked of a font cache of
// this process through a control's own hosts: ascent + descent + line gap of
// the style's text format, plus 2.
#pragma once

#include "FontCache.h"
#include "drawn_fixture.h"

namespace drawntest
{
inline float rowHeightOf(Drawn& c, const std::string& style)
{
    FontCacheClient client;
    const auto format = client.GetTextFormat(&c.module(), &c.graphicsHost(), style);
    EXPECT_FALSE(format.isNull()) << style;
    const auto m = format.GetFontMetrics();
    return m.ascent + m.descent + m.lineGap + 2.0f;
}
} // namespace drawntest
