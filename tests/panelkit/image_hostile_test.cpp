// The three skinned image controls side by side: the hint as tool tip and
// the context menu at each one's pins, then hostile input: numbers that are
// not finite or far too large on every float and int pin and in pointer
// events, bad colour texts, missing, empty and undecodable images, strips
// that are not a whole number of frames and metadata out of all measure. No
// crash, and nothing sent or drawn that is not a finite number.
#include "image_strips.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

using namespace drawntest;
using imagetest::Skin;

namespace
{
struct Control
{
    const wchar_t* id;
    std::wstring image; // a strip it takes, in the skin below
};
const Control kControls[] = {
    {L"QW_Image", L"knob.png"},
    {L"QW_JogShuttleImg", L"knob.png"},
    {L"QW_PolarPickerImg", L"knob.png"},
};

// An 8-frame 20 x 20 rotary strip, clear in one corner.
void addKnob(Skin& skin)
{
    skin.strip(
        "knob.png", 20, 20, 8,
        [](int f, int x, int y) {
            return x < 2 && y < 2 ? imagetest::Rgba{0, 0, 0, 0} : imagetest::frameColour(f);
        },
        "type knob\nframe_size 20 20\nmouse_response rotary\n");
}

// Every float the module sent is a finite number.
void expectFiniteSends(const Drawn& c, const std::string& what)
{
    for (auto& s : c.sent())
    {
        if (c.module().pinInfo(s.pin).datatype != gmpi::MP_FLOAT32)
            continue;
        float v;
        ASSERT_EQ(s.bytes.size(), 4u);
        std::memcpy(&v, s.bytes.data(), 4);
        EXPECT_TRUE(std::isfinite(v)) << what << ": " << c.module().pinInfo(s.pin).name << " = " << v;
    }
}

// A press, drags to ordinary and to hostile points, and a release, then a render.
void exercise(Drawn& c, const std::string& what)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    const GmpiDrawing_API::MP1_POINT points[] = {{30, 20},    {nan, 20}, {20, nan}, {inf, -inf}, {1e30f, -1e30f},
                                                 {-1e30f, 5}, {15, 35},  {35, 15},  {25, 25}};
    c.down(10, 10);
    for (auto p : points)
    {
        c.view().hitTest(p);
        c.move(p.x, p.y);
        c.move(p.x, p.y, kLeftFine);
    }
    c.up(25, 25);
    c.down(points[1].x, points[1].y);
    c.up(points[1].x, points[1].y);
    EXPECT_TRUE(allFinite(c.render(50, 50))) << what;
    expectFiniteSends(c, what);
}
} // namespace

TEST(ImageControls, HintAndContextMenuAtEachControlsPins)
{
    struct Case
    {
        const wchar_t* id;
        int hint, items, selection;
    };
    const Case cases[] = {{L"QW_Image", 2, 3, 4}, {L"QW_JogShuttleImg", 1, 2, 3}, {L"QW_PolarPickerImg", 2, 3, 4}};
    for (const auto& k : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(k.id));
        Drawn c(k.id);
        EXPECT_EQ(c.pin("Hint"), k.hint);
        EXPECT_EQ(c.pin("Menu Items"), k.items);
        EXPECT_EQ(c.pin("Menu Selection"), k.selection);
        c.setText("Hint", L"Pan \u00e9");
        gmpi_sdk::MpString tip;
        EXPECT_EQ(c.view().graphics()->getToolTip({1, 1}, &tip), 0);
        EXPECT_EQ(tip.str(), "Pan \xC3\xA9");

        c.setText("Menu Items", L"Reset,----,Fine=7");
        qwhost::ContextMenuSink sink;
        EXPECT_EQ(c.module().ui()->populateContextMenu(1, 1, &sink), 0);
        ASSERT_EQ(sink.items.size(), 3u);
        EXPECT_EQ(std::make_tuple(sink.items[0].text, sink.items[0].id, sink.items[0].flags),
                  std::make_tuple(std::string("Reset"), 0, 0));
        EXPECT_EQ(std::make_tuple(sink.items[1].text, sink.items[1].id, sink.items[1].flags),
                  std::make_tuple(std::string("----"), 1, 8));
        EXPECT_EQ(std::make_tuple(sink.items[2].text, sink.items[2].id, sink.items[2].flags),
                  std::make_tuple(std::string("Fine"), 7, 0));
        EXPECT_EQ(c.module().ui()->onContextMenu(7), 0);
        EXPECT_EQ(c.sentInts("Menu Selection"), (std::vector<int32_t>{7, -1}));
    }
}

TEST(ImageControls, NumbersOutOfAllMeasureOnEveryPin)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float floats[] = {std::nanf(""), inf, -inf, 1e30f, -1e30f, 0.0f};
    const int32_t ints[] = {INT_MIN, INT_MAX, -1, 0};
    Skin skin;
    addKnob(skin);
    for (const auto& k : kControls)
    {
        const auto& info = *qwtest::bundle("panelkit")->metadata().find(k.id, gmpi::MP_SUB_TYPE_GUI2);
        for (int pin = 0; pin < static_cast<int>(info.pins.size()); ++pin)
        {
            const auto& p = info.pins[static_cast<size_t>(pin)];
            if (p.direction != 0 || (p.datatype != gmpi::MP_FLOAT32 && p.datatype != gmpi::MP_INT32))
                continue;
            const size_t count = p.datatype == gmpi::MP_FLOAT32 ? std::size(floats) : std::size(ints);
            for (size_t v = 0; v < count; ++v)
            {
                const std::string what = gmpi_sdk::toUtf8(k.id) + " " + p.name + " value " + std::to_string(v);
                SCOPED_TRACE(what);
                Drawn c(k.id);
                skin.use(c);
                c.setText("Image", k.image);
                c.render(50, 50);
                if (p.datatype == gmpi::MP_FLOAT32)
                    c.setFloat(p.name, floats[v]);
                else
                    c.setInt(p.name, ints[v]);
                exercise(c, what);
            }
        }
    }
}

TEST(ImageControls, BadColourTexts)
{
    const std::wstring texts[] = {
        L"zz", L"-1", L"#FF00FF00", std::wstring(10000, L'F'), L"12345678901234567890", L"\uFFFD\U0001F600", L" "};
    for (const auto& t : texts)
    {
        Skin skin;
        addKnob(skin);
        Drawn c(L"QW_PolarPickerImg");
        skin.use(c);
        c.setText("Image", L"knob.png");
        c.setText("Centre Colour", t);
        c.setText("Rim Colour", t);
        exercise(c, gmpi_sdk::toUtf8(t.substr(0, 20)));
    }
}

TEST(ImageControls, ImagesThatAreMissingEmptyOrUndecodable)
{
    Skin skin;
    addKnob(skin);
    skin.file("junk.png", "not a PNG at all");
    skin.file("junk.txt", "type knob\nframe_size 20 20\nmouse_response rotary\n");
    skin.file("empty.png", "");
    const std::wstring names[] = {L"",
                                  L"missing.png",
                                  L"junk.png",
                                  L"empty.png",
                                  std::wstring(100000, L'a'),
                                  std::wstring(1, static_cast<wchar_t>(0xD800)),
                                  L"../../etc/passwd",
                                  L"knob"};
    for (const auto& k : kControls)
        for (const auto& name : names)
        {
            const std::string what = gmpi_sdk::toUtf8(k.id) + " " + gmpi_sdk::toUtf8(name.substr(0, 20));
            SCOPED_TRACE(what);
            Drawn c(k.id);
            skin.use(c);
            c.setText("Image", k.image);
            const auto counts = c.sentInts("Frame Count");
            c.setText("Image", name);
            EXPECT_EQ(c.sentInts("Frame Count"), counts) << "the last count stays";
            EXPECT_TRUE(imagetest::bitmapDraws(c.render(50, 50)).empty()) << "nothing of the image is drawn";
            exercise(c, what);
        }
}

TEST(ImageControls, StripsAndMetadataOutOfTheOrdinary)
{
    struct Case
    {
        int w, h; // of the whole image
        std::string metadata;
        int frames; // counted by QW_Image
    };
    const Case cases[] = {
        {10, 25, "type knob\nframe_size 10 10\nmouse_response rotary\n", 2}, // not whole frames
        {10, 30, "type knob\nframe_size 10 -3\nmouse_response rotary\n", 1}, // no frame height: the whole image
        {10, 30, "type knob\nframe_size 2000000000 2000000000\nmouse_response step\n", 0},
        {10, 30, "type knob\nframe_size 10 1\nmouse_response step\n", 30},
        {10, 30, "type knob\nframe_size 10 10\npadding 2147483647 -2147483648 2147483647 9\n", 3},
        {10, 30,
         "type slider\nframe_size 10 10\nhandle_rect -2147483648 0 2147483647 5\nhandle_range 2147483647 "
         "-2147483648\norientation relative\n",
         3},
        {10, 30, "type bargraph\nframe_size 10 15\nsegment -2147483648 2147483647\nsegment_count 1e30\n", 2},
    };
    for (const auto& k : cases)
        for (const auto& control : kControls)
        {
            const std::string what = gmpi_sdk::toUtf8(control.id) + " " + k.metadata;
            SCOPED_TRACE(what);
            Skin skin;
            skin.strip(
                "odd.png", k.w, k.h, 1, [](int, int, int) { return imagetest::frameColour(1); }, k.metadata);
            Drawn c(control.id);
            skin.use(c);
            c.setText("Image", L"odd.png");
            if (std::wstring(control.id) == L"QW_Image")
            {
                // A count of 0 is the pin's first value: not sent.
                EXPECT_EQ(c.sentInts("Frame Count"),
                          k.frames ? std::vector<int32_t>{k.frames} : std::vector<int32_t>{});
            }
            for (float position : {0.0f, 0.5f, 1.0f})
            {
                if (c.module().info().pinIndex("Animation Position") >= 0)
                    c.setFloat("Animation Position", position);
                exercise(c, what);
            }
            GmpiDrawing_API::MP1_SIZE desired{};
            c.view().measure({50, 50}, desired);
            EXPECT_TRUE(std::isfinite(desired.width) && std::isfinite(desired.height));
        }
}
