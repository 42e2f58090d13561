// The skinned-image base through the real entry: QW_TestSkin of the test
// bundle, drawn on the stand-in with the test skin.
#include "dialogs.h"
#include "skin_rig.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class ImageBaseTest : public ::testing::Test
{
protected:
    explicit ImageBaseTest(const std::string& folder = skintest::fixture())
    {
        host.resourceFolder = folder;
        view = std::make_unique<qwhost::DrawnView>(desk, qwtest::bundle("testkit"), L"QW_TestSkin");
        desk.factory()->setRecording(true);
    }
    qwhost::GuiModule& module() { return view->module(); }
    qwhost::GraphicsHost& gh() { return view->graphicsHost(); }
    int pin(const char* name) { return module().pin(name); }
    void show(const std::wstring& name) { module().setText(pin("File name"), name); }
    std::vector<int> sentInts(const char* name)
    {
        std::vector<int> out;
        for (auto* v : module().transmitsOf(pin(name)))
            out.push_back(v->asInt());
        return out;
    }
    std::vector<bool> sentBools(const char* name)
    {
        std::vector<bool> out;
        for (auto* v : module().transmitsOf(pin(name)))
            out.push_back(v->asBool());
        return out;
    }
    skintest::Bytes at(int x, int y)
    {
        const auto p = view->bitmap()->pixel(x, y);
        return {p.b, p.g, p.r, p.a};
    }
    // A white 8 x 10 box at the top left with a dark "X" in it, and nothing else.
    bool showsPlaceholder()
    {
        view->render(40, 40);
        const skintest::Bytes white{255, 255, 255, 255};
        return at(6, 8) == white && at(0, 9) == white && at(1, 2).r < 200 && at(1, 2).a == 255 && at(8, 0).a == 0 &&
               at(0, 10).a == 0 && at(20, 20).a == 0;
    }

    qwhost::GuiHost host;
    qwhost::DrawingDesk desk{host};
    std::unique_ptr<qwhost::DrawnView> view;
};

// The knob's frame k has its centre in RGB (4k, 0x60, 252 - 4k).
const skintest::Bytes kFrame32Centre{124, 0x60, 128, 255};
} // namespace

TEST_F(ImageBaseTest, LoadsTheNamedImageThenMeasuresAndRedraws)
{
    module().setFloat(pin("Position"), 0.5f);
    EXPECT_TRUE(showsPlaceholder());
    const size_t redraws = gh().redraws.size();

    show(L"knob.png");
    EXPECT_EQ(gh().measureRequests, 1);
    ASSERT_GT(gh().redraws.size(), redraws);
    EXPECT_TRUE(gh().redraws.back().whole);
    GmpiDrawing_API::MP1_SIZE desired{};
    view->measure({100, 100}, desired);
    EXPECT_EQ(desired.width, 32.0f);
    EXPECT_EQ(desired.height, 32.0f);
    view->render(32, 32);
    EXPECT_EQ(at(16, 16), kFrame32Centre);
    EXPECT_EQ(at(0, 0).a, 0);
}

TEST_F(ImageBaseTest, RedrawsOnlyWhenTheFrameChanges)
{
    show(L"knob.png");
    const size_t redraws = gh().redraws.size();
    module().setFloat(pin("Position"), 0.5f);
    EXPECT_EQ(gh().redraws.size(), redraws + 1);
    module().setFloat(pin("Position"), 0.501f); // still frame 32
    EXPECT_EQ(gh().redraws.size(), redraws + 1);
    module().setFloat(pin("Position"), 1.0f);
    EXPECT_EQ(gh().redraws.size(), redraws + 2);
}

TEST_F(ImageBaseTest, NamesThatLoadNothing)
{
    show(L"knob.png");
    ASSERT_FALSE(showsPlaceholder());
    for (const std::wstring& name :
         {std::wstring(L"missing.png"), std::wstring(), std::wstring(L"\xD800knob.png"), std::wstring(65536, L'a')})
    {
        show(L"knob.png");
        const int measures = gh().measureRequests;
        const size_t redraws = gh().redraws.size();
        show(name);
        EXPECT_EQ(gh().measureRequests, measures);
        EXPECT_EQ(gh().redraws.size(), redraws);
        EXPECT_TRUE(showsPlaceholder());
        EXPECT_EQ(view->hitTest({16, 16}), gmpi::MP_UNHANDLED);
    }
    // A name with no UTF-8 form counts as empty: the host is not asked for it.
    for (auto& r : module().registeredResources)
        EXPECT_EQ(r.first.find("\xEF\xBF\xBD"), std::string::npos) << r.first;
}

TEST_F(ImageBaseTest, ContextMenuItems)
{
    struct Case
    {
        std::wstring items;
        std::vector<qwhost::PlatformMenu::Item> expected;
    };
    const Case cases[] = {
        {L"Load,----,Save", {{"Load", 0, 0}, {"----", 1, 8}, {"Save", 2, 0}}},
        {L"A,||||,>>>>,B=7,<<<<", {{"A", 0, 0}, {">>>>", 2, 8}, {"B", 7, 0}}},
        {L"Caf\u00e9", {{"Caf\xC3\xA9", 0, 0}}},
        {L"", {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.items));
        module().setText(pin("Menu items"), c.items);
        qwhost::ContextMenuSink sink;
        EXPECT_EQ(module().ui()->populateContextMenu(3, 4, &sink), 0);
        ASSERT_EQ(sink.items.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i)
        {
            EXPECT_EQ(sink.items[i].text, c.expected[i].text);
            EXPECT_EQ(sink.items[i].id, c.expected[i].id);
            EXPECT_EQ(sink.items[i].flags, c.expected[i].flags);
        }
        EXPECT_EQ(sink.moduleReferences(), 0);
    }
}

TEST_F(ImageBaseTest, ContextMenuTakesAtMostTenThousandEntries)
{
    module().setText(pin("Menu items"), L"range 0,2000000000");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(module().ui()->populateContextMenu(0, 0, &sink), 0);
    ASSERT_EQ(sink.items.size(), 10000u);
    EXPECT_EQ(sink.items.back().text, "9999");
    EXPECT_EQ(sink.items.back().id, 9999);
}

TEST_F(ImageBaseTest, ContextMenuWithoutASinkAddsNothing)
{
    module().setText(pin("Menu items"), L"A,B");
    gmpi_sdk::MpString notASink;
    EXPECT_EQ(module().ui()->populateContextMenu(0, 0, &notASink), 0);
    EXPECT_EQ(module().ui()->populateContextMenu(0, 0, nullptr), 0);
}

TEST_F(ImageBaseTest, ChosenEntryIsSentThenCleared)
{
    const size_t before = sentInts("Menu selection").size();
    EXPECT_EQ(module().ui()->onContextMenu(5), 0);
    const std::vector<int> sent = sentInts("Menu selection");
    ASSERT_EQ(sent.size(), before + 2);
    EXPECT_EQ(sent[before], 5);
    EXPECT_EQ(sent[before + 1], -1);
}

TEST_F(ImageBaseTest, ToolTips)
{
    gmpi_sdk::MpString text;
    EXPECT_EQ(module().ui()->getToolTip(1, 1, &text), -2); // no hint
    module().setText(pin("Hint"), L"Gain \u00e9");
    EXPECT_EQ(module().ui()->getToolTip(1, 1, &text), 0);
    EXPECT_EQ(text.str(), "Gain \xC3\xA9");
    qwhost::ContextMenuSink notAString;
    EXPECT_EQ(module().ui()->getToolTip(1, 1, &notAString), -2);
    EXPECT_EQ(module().ui()->getToolTip(1, 1, nullptr), -2);

    gmpi_sdk::MpString second;
    EXPECT_EQ(view->graphics()->getToolTip({1, 1}, &second), 0);
    EXPECT_EQ(second.str(), "Gain \xC3\xA9");
}

TEST_F(ImageBaseTest, ReleaseLowersThePointerPinsOnlyWithTheCapture)
{
    show(L"knob.png");
    EXPECT_EQ(view->pointerUp(0x10, {16, 16}), gmpi::MP_UNHANDLED);
    EXPECT_TRUE(sentBools("Mouse down").empty());
    EXPECT_EQ(gh().releaseCalls, 0);

    EXPECT_EQ(view->pointerDown(0x10, {0.5f, 0.5f}), gmpi::MP_UNHANDLED); // transparent corner
    EXPECT_FALSE(gh().captured());
    EXPECT_EQ(view->pointerDown(0x10, {16, 16}), gmpi::MP_OK);
    EXPECT_TRUE(gh().captured());
    EXPECT_EQ(view->pointerUp(0x10, {16, 16}), gmpi::MP_OK);
    EXPECT_FALSE(gh().captured());
    EXPECT_EQ(gh().releaseCalls, 1);
    EXPECT_EQ(sentBools("Mouse down"), (std::vector<bool>{true, false}));
    EXPECT_EQ(sentBools("Mouse down 2"), (std::vector<bool>{true, false}));
}

TEST_F(ImageBaseTest, HitsFollowTheDrawnImage)
{
    show(L"slider.png");
    module().setFloat(pin("Position"), 0.5f); // handle drawn at (7, 47, 23, 57)
    EXPECT_EQ(view->hitTest({7, 47}), gmpi::MP_OK);
    EXPECT_EQ(view->hitTest({22.9f, 56.9f}), gmpi::MP_OK);
    EXPECT_EQ(view->hitTest({6.9f, 50}), gmpi::MP_UNHANDLED);
    EXPECT_EQ(view->hitTest({15, 57}), gmpi::MP_UNHANDLED);
    EXPECT_EQ(view->hitTest({15, 20}), gmpi::MP_UNHANDLED); // the track
}

namespace
{
class UnicodeNames : public ImageBaseTest
{
protected:
    UnicodeNames() : ImageBaseTest(folder.path()) {}
    static skintest::Folder folder;
};
skintest::Folder UnicodeNames::folder;
} // namespace

TEST_F(UnicodeNames, FileNamesAreUtf8WhateverTheLocale)
{
    std::filesystem::copy_file(skintest::fixture() + "/knob.png",
                               folder.file("kn\xC3\xB6"
                                           "b.png"),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(skintest::fixture() + "/knob.txt",
                               folder.file("kn\xC3\xB6"
                                           "b.txt"),
                               std::filesystem::copy_options::overwrite_existing);
    module().setFloat(pin("Position"), 0.5f);
    show(L"kn\u00f6b.png");
    EXPECT_EQ(gh().measureRequests, 1);
    view->render(32, 32);
    EXPECT_EQ(at(16, 16), kFrame32Centre);
}

TEST(ImageBaseHosts, WithoutAGraphicsHostNothingLoads)
{
    qwhost::GuiHost host;
    host.resourceFolder = skintest::fixture();
    auto g = host.create(qwtest::bundle("testkit"), L"QW_TestSkin");
    g->setText(g->pin("File name"), L"knob.png");
    g->setFloat(g->pin("Position"), 1.0f);
    gmpi_sdk::MpString text;
    EXPECT_EQ(g->ui()->getToolTip(0, 0, &text), -2);
    EXPECT_TRUE(g->registeredResources.empty());
}
