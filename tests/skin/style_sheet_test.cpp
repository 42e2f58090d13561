// Reading a skin's style sheet into styles, and a style's derived values.
#include "FontCache.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace
{
const FontMetadata& styleOf(const std::string& sheet, const std::string& name)
{
    static SkinMetadata skin;
    skin.read(sheet);
    return *skin.getFont(name);
}

void expectDefault(const FontMetadata& s)
{
    EXPECT_EQ(s.styleName, "default");
    EXPECT_EQ(s.fontFamilies, std::vector<std::string>{"Arial"});
    EXPECT_EQ(s.size, 12);
    EXPECT_EQ(s.colorAbgr, 0xFF000000u);
}
} // namespace

TEST(StyleSheet, ValuesOfAStyle)
{
    struct Case
    {
        const char* sheet;
        const char* name;
        std::function<void(const FontMetadata&)> check;
    };
    const Case cases[] = {
        // Without any section every name gives the default style.
        {"font-size 30\nfont-color #FF0000\n", "anything", expectDefault},
        {"", "default", expectDefault},
        // Names are lower-cased on both sides.
        {"FONT_CATEGORY Normal\nfont-size 20\n", "NORMAL",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.styleName, "normal");
             EXPECT_EQ(s.size, 20);
             EXPECT_EQ(s.pixelHeight, 20);
         }},
        // The first of two equal names wins.
        {"FONT_CATEGORY a\nfont-size 10\nFONT_CATEGORY A\nfont-size 20\n", "a",
         [](const FontMetadata& s) { EXPECT_EQ(s.size, 10); }},
        // Colours are stored with red in the low byte.
        {"FONT_CATEGORY c\nfont-color #FF0000\nbackground-color #123456\n", "c",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.colorAbgr, 0xFF0000FFu);
             EXPECT_EQ(s.backgroundColorAbgr, 0xFF563412u);
         }},
        {"FONT_CATEGORY c\nfont-color 255\n", "c", [](const FontMetadata& s) { EXPECT_EQ(s.colorAbgr, 0xFFFF0000u); }},
        // A section starts with the record's defaults.
        {"FONT_CATEGORY c\n", "c",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.colorAbgr, 0xFFFFFFFFu);
             EXPECT_EQ(s.backgroundColorAbgr, 0u);
             EXPECT_EQ(s.flags, 0u);
             EXPECT_EQ(s.pixelWidth, 8);
             EXPECT_EQ(s.pixelHeight, 12);
             EXPECT_TRUE(s.legacySizing);
             EXPECT_EQ(s.fontFamilies, std::vector<std::string>{"Verdana"});
         }},
        // Weights: words by their first letter, numbers by range.
        {"FONT_CATEGORY w\nfont-weight normal\n", "w", [](const FontMetadata& s) { EXPECT_EQ(s.flags, 0u); }},
        {"FONT_CATEGORY w\nfont-weight 400\n", "w", [](const FontMetadata& s) { EXPECT_EQ(s.flags, 0u); }},
        {"FONT_CATEGORY w\nfont-weight 700\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kBold); }},
        {"FONT_CATEGORY w\nfont-weight 100\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kLight); }},
        {"FONT_CATEGORY w\nfont-weight Bold\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kBold); }},
        {"FONT_CATEGORY w\nfont-weight light\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kLight); }},
        {"FONT_CATEGORY w\nfont-weight 300\nfont-weight 301\nfont-weight 550\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kLight); }},
        {"FONT_CATEGORY w\nfont-weight 551\nfont-weight 0\n", "w",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kBold); }},
        // Alignment, decoration and style; flags only add up.
        {"FONT_CATEGORY f\ntext-align Right\ntext-decoration underline\nfont-style italic\ntext-align left\n", "f",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.flags, FontMetadata::kRight | FontMetadata::kUnderline | FontMetadata::kItalic);
         }},
        {"FONT_CATEGORY f\ntext-align center\n", "f",
         [](const FontMetadata& s) { EXPECT_EQ(s.flags, FontMetadata::kCentre); }},
        // Family lines add up in order; a line with no name adds nothing.
        {"FONT_CATEGORY f\nfont-family A\nfont-size 3\nfont-family B, 'C D'\n", "f",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.fontFamilies, (std::vector<std::string>{"A", "B", "C D"}));
         }},
        {"FONT_CATEGORY f\nfont-family\n", "f",
         [](const FontMetadata& s) { EXPECT_EQ(s.fontFamilies, std::vector<std::string>{"Verdana"}); }},
        // CR LF lines.
        {"FONT_CATEGORY Crlf\r\nfont-size 14\r\nfont-family Arial\r\n", "crlf",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.styleName, "crlf");
             EXPECT_EQ(s.size, 14);
             EXPECT_EQ(s.fontFamilies, std::vector<std::string>{"Arial"});
         }},
        // Sizes, offsets and the sizing switch.
        {"FONT_CATEGORY s\nfont-size 20\nGDI_pixelHeight 14\nGDI_pixelWidth 9\nvst3-vertical-offset -3\n"
         "legacy-vertical-offset 0\n",
         "s",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.size, 20);
             EXPECT_EQ(s.pixelHeight, 14);
             EXPECT_EQ(s.pixelWidth, 9);
             EXPECT_EQ(s.verticalOffset, -3);
             EXPECT_FALSE(s.legacySizing);
         }},
        {"FONT_CATEGORY s\nGDI_pixelHeight 14\nfont-size 20\n", "s",
         [](const FontMetadata& s) { EXPECT_EQ(s.pixelHeight, 20); }},
        // Keys before the first section, keys without a value, unknown keys.
        {"font-size 30\nFONT_CATEGORY s\nfont-size\nfont-sizes 40\n; font-size 50\n", "s",
         [](const FontMetadata& s) { EXPECT_EQ(s.size, 12); }},
        // Numbers beyond 32 bits saturate.
        {"FONT_CATEGORY n\nfont-size 99999999999\nGDI_pixelWidth -99999999999\n", "n",
         [](const FontMetadata& s) {
             EXPECT_EQ(s.size, INT32_MAX);
             EXPECT_EQ(s.pixelWidth, INT32_MIN);
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.sheet);
        c.check(styleOf(c.sheet, c.name));
    }
}

TEST(StyleSheet, ColourAccessorGivesRedForRed)
{
    const FontMetadata& s = styleOf("FONT_CATEGORY c\nfont-color #FF0000\nbackground-color #0000FF\n", "c");
    // sRGB 255 is linear 1, 0 is 0.
    const GmpiDrawing::Color text = s.getColor();
    EXPECT_NEAR(text.r, 1.0f, 1e-6f);
    EXPECT_EQ(text.g, 0.0f);
    EXPECT_EQ(text.b, 0.0f);
    EXPECT_NEAR(text.a, 1.0f, 1e-6f);
    const GmpiDrawing::Color background = s.getBackgroundColor();
    EXPECT_EQ(background.r, 0.0f);
    EXPECT_NEAR(background.b, 1.0f, 1e-6f);
}

TEST(StyleSheet, LegacyVerticalOffset)
{
    struct Case
    {
        const char* family;
        int32_t pixelHeight, offset, expected;
    };
    const Case cases[] = {
        {"Arial", 40, 3, 1}, // 3 + 40 / -20
        {"Arial", 12, 0, 0}, // 12 / -20 truncates to 0
        {"Arial", 25, 0, -1},
        {"MS Sans Serif", 14, 1, -1}, // 1 + 14 / -7
        {"arial", 40, 3, 3},          // the family must match exactly
        {"Verdana", 40, 3, 3},
        {"", 40, 3, 3},
        {"Arial", INT32_MIN, INT32_MAX, INT32_MAX}, // saturates
        {"MS Sans Serif", INT32_MAX, INT32_MIN, INT32_MIN},
    };
    for (const auto& c : cases)
    {
        FontMetadata s("x");
        if (*c.family)
            s.fontFamilies.push_back(c.family);
        s.pixelHeight = c.pixelHeight;
        s.verticalOffset = c.offset;
        EXPECT_EQ(s.getLegacyVerticalOffset(), c.expected) << c.family << " " << c.pixelHeight << " " << c.offset;
    }
}
