// Reading an image's metadata text.
#include "ImageMetadata.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace
{
ImageMetadata readText(const std::string& text)
{
    ImageMetadata m;
    m.read(text);
    return m;
}
} // namespace

TEST(ImageMetadata, DefaultsOfAFreshRecord)
{
    const ImageMetadata m = readText("");
    EXPECT_EQ(m.imageType, 1);
    EXPECT_EQ(m.frameWidth, 10);
    EXPECT_EQ(m.frameHeight, 10);
    EXPECT_EQ(m.rangeStart, 0);
    EXPECT_EQ(m.rangeEnd, 50);
    EXPECT_EQ(m.orientation, -1);
    EXPECT_EQ(m.segmentCount, 5.0f);
    EXPECT_EQ(m.transparentPixelX, -1);
    EXPECT_EQ(m.transparentPixelY, -1);
    EXPECT_EQ(m.handleRect.right, 10.0f);
    EXPECT_EQ(m.handleRect.bottom, 10.0f);
    EXPECT_EQ(m.paddingLeft + m.paddingRight + m.paddingTop + m.paddingBottom, 0.0f);
}

TEST(ImageMetadata, TypeWords)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"type slider", 0}, {"type knob", 1},     {"type animated", 1},
        {"type button", 2}, {"type bargraph", 3}, {"type dial", 1},
        {"type Slider", 1}, {"type", 1},          {"type slider\ntype wheel", 0},
    };
    for (auto& [text, type] : cases)
        EXPECT_EQ(readText(text).imageType, type) << text;
}

TEST(ImageMetadata, OrientationByTheFirstLetters)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"orientation vertical", 0},
        {"orientation horizontal", 1},
        {"mouse_response rotary", 3},
        {"mouse_response relative", 5},
        {"tiled t", 0},
        {"orientation f", 1},
        {"orientation circular", 2},
        {"orientation s", 4},
        {"orientation r", 3},
        {"orientation Vertical", -1},
        {"orientation x", -1},
        {"orientation ''", -1},
    };
    for (auto& [text, code] : cases)
        EXPECT_EQ(readText(text).orientation, code) << text;
}

TEST(ImageMetadata, Lines)
{
    struct Case
    {
        const char* text;
        std::function<void(const ImageMetadata&)> check;
    };
    const Case cases[] = {
        // ';' first is a comment; after a blank it is a key that matches nothing.
        {";frame_size 5 5", [](const ImageMetadata& m) { EXPECT_EQ(m.frameWidth, 10); }},
        {" ;frame_size 5 5", [](const ImageMetadata& m) { EXPECT_EQ(m.frameWidth, 10); }},
        {"frame_size 5 6",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.frameWidth, 5);
             EXPECT_EQ(m.frameHeight, 6);
         }},
        // Too few values: the line is ignored.
        {"segment 7",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.rangeStart, 0);
             EXPECT_EQ(m.rangeEnd, 50);
         }},
        {"frame_size 5", [](const ImageMetadata& m) { EXPECT_EQ(m.frameWidth, 10); }},
        {"padding 1 2 3", [](const ImageMetadata& m) { EXPECT_EQ(m.paddingTop, 0.0f); }},
        // Whole numbers only.
        {"frame_size 1.5 2.9\nsegment_count 1.5",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.frameWidth, 1);
             EXPECT_EQ(m.frameHeight, 2);
             EXPECT_EQ(m.segmentCount, 1.0f);
         }},
        // Top, bottom, left, right.
        {"padding 1 2 3 4",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.paddingTop, 1.0f);
             EXPECT_EQ(m.paddingBottom, 2.0f);
             EXPECT_EQ(m.paddingLeft, 3.0f);
             EXPECT_EQ(m.paddingRight, 4.0f);
         }},
        {"handle_rect 1, 2, 3, 4\nhandle_range -5 20",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.handleRect.left, 1.0f);
             EXPECT_EQ(m.handleRect.top, 2.0f);
             EXPECT_EQ(m.handleRect.right, 3.0f);
             EXPECT_EQ(m.handleRect.bottom, 4.0f);
             EXPECT_EQ(m.rangeStart, -5);
             EXPECT_EQ(m.rangeEnd, 20);
         }},
        {"segment 2 6\nline_end_length 7\ntransparent_pixel 3 4",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.rangeStart, 2);
             EXPECT_EQ(m.rangeEnd, 6);
             EXPECT_EQ(m.segmentCount, 7.0f);
             EXPECT_EQ(m.transparentPixelX, 3);
             EXPECT_EQ(m.transparentPixelY, 4);
         }},
        // CR LF lines; keys compare exactly.
        {"type slider\r\nframe_size 7 8\r\nFrame_size 1 1\r\n",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.imageType, 0);
             EXPECT_EQ(m.frameWidth, 7);
             EXPECT_EQ(m.frameHeight, 8);
         }},
        // 32-bit extremes saturate.
        {"frame_size 2147483648 -2147483649\nsegment -99999999999 99999999999\nsegment_count 1000000000",
         [](const ImageMetadata& m) {
             EXPECT_EQ(m.frameWidth, INT32_MAX);
             EXPECT_EQ(m.frameHeight, INT32_MIN);
             EXPECT_EQ(m.rangeStart, INT32_MIN);
             EXPECT_EQ(m.rangeEnd, INT32_MAX);
             EXPECT_EQ(m.segmentCount, 1e9f);
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        c.check(readText(c.text));
    }
}

TEST(ImageMetadata, ReadingStartsFromTheDefaults)
{
    ImageMetadata m;
    m.read("type slider\nframe_size 5 5\norientation h\n");
    m.read("segment 1 2\n");
    EXPECT_EQ(m.imageType, 1);
    EXPECT_EQ(m.frameWidth, 10);
    EXPECT_EQ(m.orientation, -1);
    EXPECT_EQ(m.rangeEnd, 2);
}
