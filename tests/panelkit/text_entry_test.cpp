// QW_TextEntry through the built bundle on the test skin, with the host's
// echo inside the call, later and none: the edit box a click opens and what
// its answers write, the clickable and inert modes, the faded look, the
// inset box, multi-line formats, colours from pins and from the style,
// non-ASCII text, the context menu, and hostile input.
//
// Style "field" of the test skin: Courier New 15, text #1030C0 on #F0E0C0,
// right-aligned, text 2 px lower; "heading": Times New Roman 18, #A01010,
// centred; "normal": Arial 12, #202020, no background.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <climits>
#include <limits>

using namespace drawntest;
using qwhost::Echo;

namespace
{
constexpr int kW = 160, kH = 24;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The style's sRGB bytes in linear light, alpha 1.
void expectColour(const GmpiDrawing_API::MP1_COLOR& c, int r, int g, int b, float a, const std::string& what)
{
    EXPECT_NEAR(c.r, linear(r), 1e-6) << what;
    EXPECT_NEAR(c.g, linear(g), 1e-6) << what;
    EXPECT_NEAR(c.b, linear(b), 1e-6) << what;
    EXPECT_NEAR(c.a, a, 1e-6) << what;
}

// The one fill and the one text of a render.
struct Look
{
    DrawCall fill, text;
};
Look lookOf(const std::vector<DrawCall>& calls)
{
    const auto fills = only(calls, "FillRectangle"), texts = only(calls, "DrawTextU");
    EXPECT_EQ(fills.size(), 1u);
    EXPECT_EQ(texts.size(), 1u);
    return {fills.empty() ? DrawCall() : fills[0], texts.empty() ? DrawCall() : texts[0]};
}

class TextEntryTest : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override
    {
        c = std::make_unique<Drawn>(L"QW_TextEntry", GetParam());
        c->setText("Style", L"field");
        c->render(kW, kH);
    }
    // Press and release in the middle; the edit box that opened.
    qwhost::PlatformText* click()
    {
        const size_t before = c->dialogs().textEdits.size();
        EXPECT_EQ(c->down(20, 12), 0);
        EXPECT_EQ(c->up(20, 12), 0);
        EXPECT_EQ(c->dialogs().textEdits.size(), before + 1);
        auto* box = c->dialogs().lastTextEdit();
        EXPECT_TRUE(box && box->pending());
        return box;
    }
    std::string shown() { return lookOf(c->render(kW, kH)).text.text; }
    size_t redraws() const { return c->graphicsHost().redraws.size(); }
    std::unique_ptr<Drawn> c;
};
} // namespace

TEST_P(TextEntryTest, AClickEditsTheTextInABoxOverTheModule)
{
    c->setText("Text", L"Hi");
    c->clearSent();
    EXPECT_EQ(c->down(20, 12), 0);
    EXPECT_TRUE(c->graphicsHost().captured());
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true}));
    EXPECT_TRUE(c->dialogs().textEdits.empty()) << "the press opens nothing";
    EXPECT_EQ(c->up(20, 12), 0);
    EXPECT_FALSE(c->graphicsHost().captured());
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true, false}));

    // Over the whole arranged rectangle, with the text, the style's size and
    // its alignment (right: 1).
    auto* box = c->dialogs().lastTextEdit();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->pending());
    EXPECT_EQ(box->rect, (qwhost::WidgetRect{0, 0, kW, kH}));
    EXPECT_EQ(box->text, "Hi");
    EXPECT_EQ(box->alignment, 1);
    EXPECT_TRUE(box->textSizeSet);
    EXPECT_EQ(box->textSize, 15.0f);

    // Accepted: written once and redrawn; the box is let go.
    size_t before = redraws();
    EXPECT_TRUE(box->enter("Hello"));
    c->settle();
    EXPECT_EQ(c->sentTexts("Text"), (std::vector<std::wstring>{L"Hello"}));
    EXPECT_GT(redraws(), before);
    EXPECT_EQ(box->moduleReferences(), 0);
    EXPECT_EQ(shown(), "Hello");

    // Accepted unchanged: nothing sent, yet redrawn.
    box = click();
    EXPECT_EQ(box->text, "Hello");
    before = redraws();
    box->enter("Hello");
    c->settle();
    EXPECT_EQ(c->sentTexts("Text").size(), 1u);
    EXPECT_GT(redraws(), before);

    // Cancelled: nothing changes.
    box = click();
    box->cancel();
    c->settle();
    EXPECT_EQ(c->sentTexts("Text").size(), 1u);
    EXPECT_EQ(box->moduleReferences(), 0);
    EXPECT_EQ(shown(), "Hello");
}

TEST_P(TextEntryTest, ASecondReleaseReplacesTheOpenBox)
{
    c->setText("Text", L"Hi");
    auto* first = click();
    auto* second = click();
    ASSERT_NE(first, second);
    EXPECT_EQ(first->moduleReferences(), 0) << "the first box was let go";
    c->clearSent();
    first->enter("from the first");
    c->settle();
    EXPECT_TRUE(c->sentTexts("Text").empty()) << "a replaced box writes nothing";
    second->enter("from the second");
    c->settle();
    EXPECT_EQ(c->sentTexts("Text"), (std::vector<std::wstring>{L"from the second"}));
}

TEST_P(TextEntryTest, WhatAPressDoesWithoutEditing)
{
    struct Case
    {
        bool editable, clickable;
        int32_t release;               // the release's answer
        std::vector<bool> pointerDown; // sent over press and release
        size_t boxes;
    };
    const Case cases[] = {
        {true, false, 0, {true, false}, 1},
        {false, true, 0, {true, false}, 0}, // the pulse only
        {false, false, -1, {}, 0},          // the press is taken and does nothing
    };
    for (const Case& k : cases)
    {
        SCOPED_TRACE(testing::Message() << "editable " << k.editable << ", clickable " << k.clickable);
        Drawn e(L"QW_TextEntry", GetParam());
        e.setText("Style", L"field");
        e.setBool("Editable", k.editable);
        e.setBool("Clickable", k.clickable);
        e.render(kW, kH);
        e.clearSent();
        EXPECT_EQ(e.down(20, 12), 0);
        EXPECT_EQ(e.graphicsHost().captured(), k.editable || k.clickable);
        EXPECT_EQ(e.up(20, 12), k.release);
        EXPECT_FALSE(e.graphicsHost().captured());
        EXPECT_EQ(e.sentBools("Pointer Down"), k.pointerDown);
        EXPECT_EQ(e.dialogs().textEdits.size(), k.boxes);
        EXPECT_TRUE(e.sentTexts("Text").empty());

        // Only the left button presses.
        EXPECT_EQ(e.down(20, 12, 0x20), -1);
        EXPECT_EQ(e.up(20, 12, 0x20), -1);
        EXPECT_EQ(e.sentBools("Pointer Down"), k.pointerDown);
        EXPECT_EQ(e.dialogs().textEdits.size(), k.boxes);
    }
}

TEST_P(TextEntryTest, NonAsciiTextTravelsAsUtf8)
{
    const std::string utf8 =
        "Gr\xC3\xBC\xC3\x9F"
        "e";
    c->setText("Text", L"Gr\u00fc\u00dfe");
    EXPECT_EQ(shown(), utf8);
    auto* box = click();
    EXPECT_EQ(box->text, utf8);
    c->clearSent();
    box->enter(utf8);
    c->settle();
    EXPECT_TRUE(c->sentTexts("Text").empty()) << "accepted back unchanged";

    // Bytes that are not UTF-8 arrive as U+FFFD.
    click()->enter(
        "\xFF"
        "a\xC3");
    c->settle();
    EXPECT_EQ(c->sentTexts("Text"), (std::vector<std::wstring>{L"\uFFFDa\uFFFD"}));

    // A text with no UTF-8 form (a lone surrogate) is shown and edited as empty.
    c->setText("Text", L"a\xD800z");
    EXPECT_EQ(shown(), "");
    EXPECT_EQ(click()->text, "");
}

TEST_P(TextEntryTest, ContextMenuFromTheItemsAndToolTipFromTheHint)
{
    c->setText("Menu Items", L"Cut=5,Paste=7");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(c->module().ui()->populateContextMenu(3, 4, &sink), 0);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[0].text, "Cut");
    EXPECT_EQ(sink.items[0].id, 5);
    EXPECT_EQ(sink.items[1].text, "Paste");
    EXPECT_EQ(sink.items[1].id, 7);
    EXPECT_EQ(sink.items[1].flags, 0);
    EXPECT_EQ(sink.moduleReferences(), 0);

    c->clearSent();
    EXPECT_EQ(c->module().ui()->onContextMenu(7), 0);
    c->settle();
    EXPECT_EQ(c->sentInts("Menu Selection"), (std::vector<int32_t>{7, -1}));

    c->setText("Hint", L"\u00c9t\u00e9");
    gmpi_sdk::MpString tip;
    EXPECT_EQ(c->view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(), "\xC3\x89t\xC3\xA9");
}

INSTANTIATE_TEST_SUITE_P(Echo, TextEntryTest, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

// Inset by 3 (at most half the side) from the arranged rectangle; the text
// lower by the style's vertical offset, clipped to its rectangle.
TEST(TextEntry, TheBoxIsInsetAndTheTextOffset)
{
    struct Case
    {
        int w, h;
        const wchar_t* style;
        std::vector<double> fill, text;
    };
    const Case cases[] = {
        {160, 24, L"field", {3, 3, 157, 21}, {3, 5, 157, 23, 2}},
        {160, 24, L"normal", {3, 3, 157, 21}, {3, 3, 157, 21, 2}},
        {4, 24, L"field", {2, 3, 2, 21}, {2, 5, 2, 23, 2}}, // a fill of zero width
        {160, 4, L"normal", {3, 2, 157, 2}, {3, 2, 157, 2, 2}},
    };
    for (const Case& k : cases)
    {
        Drawn c(L"QW_TextEntry");
        c.setText("Style", k.style);
        c.setText("Text", L"Hi");
        const Look look = lookOf(c.render(k.w, k.h));
        const std::string what = std::to_string(k.w) + "x" + std::to_string(k.h) + " " + gmpi_sdk::toUtf8(k.style);
        expectNear(look.fill.values, k.fill, what + " fill", 1e-6);
        expectNear(look.text.values, k.text, what + " text", 1e-6);
        EXPECT_EQ(look.text.text, "Hi");
    }
}

// Not editable, both colours take the opacity pin limited to 0 .. 1.
TEST(TextEntry, OpacityFadesBoxAndTextWhenNotEditable)
{
    struct Case
    {
        bool editable;
        float opacity;
        float alpha;
    };
    const Case cases[] = {{false, 0.5f, 0.5f}, {false, 2.0f, 1.0f},  {false, -1.0f, 0.0f}, {false, kNaN, 0.0f},
                          {false, kInf, 1.0f}, {false, -kInf, 0.0f}, {true, 0.5f, 1.0f},   {true, -1.0f, 1.0f}};
    for (const Case& k : cases)
    {
        Drawn c(L"QW_TextEntry");
        c.setText("Style", L"field");
        c.setText("Text", L"Hi");
        c.setBool("Editable", k.editable);
        c.setFloat("Disabled Alpha", k.opacity);
        const std::vector<DrawCall> calls = c.render(kW, kH);
        EXPECT_TRUE(allFinite(calls));
        const Look look = lookOf(calls);
        const std::string what = "editable " + std::to_string(k.editable) + ", opacity " + std::to_string(k.opacity);
        expectColour(look.fill.color, 0xF0, 0xE0, 0xC0, k.alpha, what + ": box");
        expectColour(look.text.color, 0x10, 0x30, 0xC0, k.alpha, what + ": text");
    }
}

// Empty colour pins take the style's colours (no red and blue swap); others
// are AARRGGBB read as far as they are hexadecimal.
TEST(TextEntry, ColourPins)
{
    struct Case
    {
        const wchar_t* text;
        int r, g, b; // sRGB
        float a;
    };
    const Case cases[] = {
        {L"FF00FF00", 0, 255, 0, 1.0f},
        {L"80FF0000", 255, 0, 0, 128 / 255.0f},
        {L"FF0000", 255, 0, 0, 0.0f},                           // six digits: no alpha, invisible
        {L"zz", 0, 0, 0, 0.0f},                                 // not hexadecimal: transparent black
        {L"1020304050607080", 0x60, 0x70, 0x80, 0x50 / 255.0f}, // the low 32 bits
        {L"123456789ABCDEF0123", 255, 255, 255, 1.0f},          // beyond 64 bits: the largest value
    };
    Drawn c(L"QW_TextEntry");
    c.setText("Style", L"field");
    c.setText("Text", L"Hi");
    Look look = lookOf(c.render(kW, kH));
    expectColour(look.fill.color, 0xF0, 0xE0, 0xC0, 1.0f, "the style's background");
    expectColour(look.text.color, 0x10, 0x30, 0xC0, 1.0f, "the style's text");
    for (const Case& k : cases)
    {
        c.setText("Text Colour", k.text);
        c.setText("Background Colour", L"");
        look = lookOf(c.render(kW, kH));
        expectColour(look.text.color, k.r, k.g, k.b, k.a, "text " + gmpi_sdk::toUtf8(k.text));
        expectColour(look.fill.color, 0xF0, 0xE0, 0xC0, 1.0f, "background left to the style");
        c.setText("Background Colour", k.text);
        c.setText("Text Colour", L"");
        look = lookOf(c.render(kW, kH));
        expectColour(look.fill.color, k.r, k.g, k.b, k.a, "background " + gmpi_sdk::toUtf8(k.text));
        expectColour(look.text.color, 0x10, 0x30, 0xC0, 1.0f, "text left to the style");
    }
}

TEST(TextEntry, ARedStyleDrawsRedPixels)
{
    Drawn c(L"QW_TextEntry");
    c.setText("Style", L"heading"); // #A01010
    c.setText("Text", L"MMMM");
    c.render(kW, 30);
    const auto* bitmap = c.view().bitmap();
    ASSERT_NE(bitmap, nullptr);
    int solid = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < kW; ++x)
        {
            const auto p = bitmap->pixel(x, y);
            if (p.a != 255)
                continue;
            ++solid;
            EXPECT_NEAR(p.r, 0xA0, 2) << x << "," << y;
            EXPECT_NEAR(p.g, 0x10, 2) << x << "," << y;
            EXPECT_NEAR(p.b, 0x10, 2) << x << "," << y;
        }
    EXPECT_GT(solid, 20) << "the strokes of MMMM";
}

TEST(TextEntry, MultiLineSetsTheBoxAlignment)
{
    struct Case
    {
        const wchar_t* style;
        bool multiLine;
        int32_t alignment;
    };
    const Case cases[] = {{L"normal", false, 0},      {L"field", false, 1},      {L"heading", false, 2},
                          {L"normal", true, 0x10000}, {L"field", true, 0x10001}, {L"heading", true, 0x10002}};
    for (const Case& k : cases)
    {
        Drawn c(L"QW_TextEntry");
        c.setText("Style", k.style);
        c.setBool("Multi-line", k.multiLine);
        c.render(kW, kH);
        c.down(5, 5);
        c.up(5, 5);
        auto* box = c.dialogs().lastTextEdit();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->alignment, k.alignment) << gmpi_sdk::toUtf8(k.style) << " multi-line " << k.multiLine;
    }
}

// Entries of one style and mode share one format; a multi-line entry wraps
// its words while a single-line one of the same style beside it does not.
TEST(TextEntry, FormatsAreSharedByStyleAndMode)
{
    qwhost::GuiHost host;
    host.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
    qwhost::DrawingDesk desk(host);
    auto bundle = qwtest::bundle("panelkit");
    qwhost::DrawnView single(desk, bundle, L"QW_TextEntry"), twin(desk, bundle, L"QW_TextEntry"),
        multi(desk, bundle, L"QW_TextEntry");
    auto& requests = desk.factory()->textFormatRequests;
    desk.factory()->setRecording(true);
    auto style = [&](qwhost::DrawnView& v, bool multiLine) {
        const size_t before = requests.size();
        v.module().setText(v.module().pin("Style"), L"field");
        v.module().setBool(v.module().pin("Multi-line"), multiLine);
        return requests.size() - before;
    };
    EXPECT_GE(style(single, false), 1u);
    EXPECT_EQ(style(twin, false), 0u) << "the same style and mode: the format made for the first";
    EXPECT_EQ(style(multi, true), 1u) << "the multi-line format of the style";
    desk.factory()->setRecording(false);

    // 9 px per character: "aaaa bbbb" fits the inner 94 px, "aaaa bbbb cccc" does not.
    auto linesOf = [](qwhost::DrawnView& v) {
        auto& m = v.module();
        m.setText(m.pin("Text"), L"aaaa bbbb cccc dddd");
        m.setText(m.pin("Background Colour"), L"00000000");
        auto& bitmap = v.layOutAndRender(100, 60);
        // Ink in the bands of the first and the second line (from y = 5, 17 high).
        std::vector<bool> ink(2, false);
        for (int band = 0; band < 2; ++band)
            for (int y = 6 + 17 * band; y < 4 + 17 * (band + 1); ++y)
                for (int x = 3; x < 97; ++x)
                    if (bitmap.pixel(x, y).a > 0)
                        ink[band] = true;
        return ink;
    };
    EXPECT_EQ(linesOf(single), (std::vector<bool>{true, false}));
    EXPECT_EQ(linesOf(multi), (std::vector<bool>{true, true}));
    EXPECT_EQ(linesOf(twin), (std::vector<bool>{true, false}));
}

// Before any style there is nothing to draw with and no box to size: the
// press and release still report on the pointer pin.
TEST(TextEntry, DrawingAndClickingBeforeAnyStyle)
{
    Drawn c(L"QW_TextEntry", Echo::None, false);
    c.setText("Text", L"Hi");
    c.setBool("Editable", true);
    EXPECT_TRUE(drawn(c.render(kW, kH)).empty());
    EXPECT_EQ(c.view().lastRenderResult(), 0);
    EXPECT_EQ(c.down(20, 12), 0);
    EXPECT_EQ(c.up(20, 12), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), (std::vector<bool>{true, false}));
    EXPECT_TRUE(c.dialogs().textEdits.empty());
}

TEST(TextEntry, ABoxAnsweredAfterTheModuleIsGone)
{
    qwhost::Dialogs dialogs;
    qwhost::GuiHost host;
    host.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
    qwhost::DrawingDesk desk(host);
    desk.dialogs = &dialogs;
    auto view = std::make_unique<qwhost::DrawnView>(desk, qwtest::bundle("panelkit"), L"QW_TextEntry");
    view->layOutAndRender(kW, kH);
    view->pointerDown(kLeft, {5, 5});
    view->pointerUp(kLeft, {5, 5});
    auto* box = dialogs.lastTextEdit();
    ASSERT_NE(box, nullptr);
    view.reset();
    EXPECT_EQ(box->moduleReferences(), 0);
    EXPECT_TRUE(box->pending());
    EXPECT_TRUE(box->enter("too late")); // reaches no module
    EXPECT_EQ(host.leakedHostReferences, 0);
}

namespace
{
// A host object that answers no interface at all.
class Stranger final : public gmpi::IMpUnknown
{
public:
    int32_t queryInterface(const gmpi::MpGuid&, void** out) override
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return ++refs; }
    int32_t release() override { return --refs; }
    int32_t refs = 1;
};
} // namespace

// Every text pin given texts of any kind, huge ones and lists of two billion
// entries; sizes from nothing to 16384 square: bounded menus, finite drawing,
// no crash.
TEST(TextEntry, HostileInput)
{
    std::wstring megabyte;
    while (megabyte.size() < (1u << 20))
        megabyte += L"word=12,";
    const std::wstring texts[] = {megabyte,
                                  L"range 0,2000000000",
                                  L"range -2147483648,2147483647",
                                  L"\uFFFF\xD800\U0010FFFF",
                                  std::wstring(5000, L'z'),
                                  L"FFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                                  L"QWTextEntry:text:normal:multiline"};
    Drawn probe(L"QW_TextEntry");
    for (int pin = 0; pin < probe.module().pinCount(); ++pin)
    {
        if (probe.module().pinInfo(pin).datatype != gmpi::MP_STRING)
            continue;
        for (const auto& t : texts)
        {
            const std::string what = probe.module().pinInfo(pin).name + ", text of " + std::to_string(t.size());
            Drawn c(L"QW_TextEntry");
            c.module().setText(pin, t);
            EXPECT_TRUE(allFinite(c.render(kW, kH))) << what;
            qwhost::ContextMenuSink sink;
            EXPECT_EQ(c.module().ui()->populateContextMenu(0, 0, &sink), 0);
            EXPECT_LE(sink.items.size(), 10000u) << what;
            c.down(20, 12);
            c.up(20, 12);
            ASSERT_NE(c.dialogs().lastTextEdit(), nullptr) << what;
            c.dialogs().lastTextEdit()->enter(gmpi_sdk::toUtf8(t));
            EXPECT_TRUE(allFinite(c.render(kW, kH))) << what;
        }
    }

    // A context-menu sink that is no sink.
    Stranger stranger;
    EXPECT_EQ(probe.module().ui()->populateContextMenu(0, 0, &stranger), 0);
    EXPECT_EQ(probe.module().ui()->populateContextMenu(0, 0, nullptr), 0);
    EXPECT_EQ(stranger.refs, 1);
    for (int32_t v : {INT_MIN, INT_MAX})
        EXPECT_EQ(probe.module().ui()->onContextMenu(v), 0);

    for (float side : {0.0f, 16384.0f, kNaN, -kInf})
    {
        Drawn c(L"QW_TextEntry");
        c.setText("Style", L"field");
        c.setText("Text", L"Hi");
        GmpiDrawing_API::MP1_SIZE desired;
        c.view().measure({side, side}, desired);
        EXPECT_GE(desired.width, 4.0f);
        EXPECT_GE(desired.height, 4.0f);
        c.view().arrange({0, 0, side, side});
        EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << side;
        c.down(5, 5);
        c.up(5, 5);
    }
}
