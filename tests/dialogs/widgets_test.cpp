// The host's native widgets through the real entry: QW_TestWidgets of the test
// bundle, a drawn module on the stand-in whose graphics host makes its menus,
// text edits and dialogs at a scripted desk.
#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace
{
using qwhost::WidgetRect;

class WidgetsTest : public ::testing::Test
{
protected:
    WidgetsTest()
    {
        desk.dialogs = &dialogs;
        view = std::make_unique<qwhost::DrawnView>(desk, qwtest::bundle("testkit"), L"QW_TestWidgets");
        view->arrange({0, 0, 100, 20});
    }
    qwhost::GuiModule& module() { return view->module(); }
    int pin(const char* name) { return module().pin(name); }
    // The last value the module sent on a pin; fails when it sent none.
    const qwhost::GuiValue& last(const char* name)
    {
        const qwhost::GuiValue* v = module().lastTransmit(pin(name));
        if (!v)
            throw std::runtime_error(std::string("nothing sent on ") + name);
        return *v;
    }
    size_t sent(const char* name) { return module().transmitsOf(pin(name)).size(); }

    qwhost::Dialogs dialogs;
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk{host};
    std::unique_ptr<qwhost::DrawnView> view;
};

TEST_F(WidgetsTest, MenuAtThePointerAnswersTheChosenItem)
{
    module().setText(pin("Items"), L"Cut=1,----,||||,Paste=3");
    EXPECT_EQ(view->pointerDown(0x10, {10, 30}), gmpi::MP_OK);
    qwhost::PlatformMenu* menu = dialogs.lastMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->rect, (WidgetRect{10, 30, 130, 50}));
    ASSERT_EQ(menu->items.size(), 3u);
    EXPECT_EQ(menu->items[0].text, "Cut");
    EXPECT_EQ(menu->items[1].flags, 8);
    EXPECT_EQ(menu->items[2].id, 3);
    // The answer waits for the script.
    EXPECT_EQ(sent("Completions"), 0u);

    EXPECT_TRUE(menu->choose(3));
    EXPECT_EQ(last("Choice").asInt(), 3);
    EXPECT_EQ(last("Completions").asInt(), 1);
}

TEST_F(WidgetsTest, NewMenuReplacesOneStillOpen)
{
    module().setText(pin("Items"), L"A,B,C");
    view->pointerDown(0x10, {0, 0});
    qwhost::PlatformMenu* first = dialogs.lastMenu();
    view->pointerDown(0x10, {5, 5});
    qwhost::PlatformMenu* second = dialogs.lastMenu();
    ASSERT_NE(first, second);
    EXPECT_EQ(first->moduleReferences(), 0);

    // The replaced menu's answer reaches no one; the open one's does.
    EXPECT_TRUE(first->choose(0));
    EXPECT_EQ(sent("Completions"), 0u);
    EXPECT_TRUE(second->choose(2));
    EXPECT_EQ(last("Choice").asInt(), 2);
    EXPECT_EQ(last("Completions").asInt(), 1);
}

TEST_F(WidgetsTest, TextEditOverTheModuleAnswersTheEnteredText)
{
    module().setText(pin("Text"), L"caf\u00e9");
    module().setInt(pin("Command"), 1);
    qwhost::PlatformText* edit = dialogs.lastTextEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->rect, (WidgetRect{0, 0, 100, 20}));
    EXPECT_EQ(edit->text, "caf\xc3\xa9");
    EXPECT_EQ(edit->alignment, 2);
    EXPECT_EQ(edit->textSize, 12.0f);

    EXPECT_TRUE(edit->cancel());
    EXPECT_EQ(last("Result").asInt(), -1);
    EXPECT_EQ(sent("Answer"), 0u);

    module().setInt(pin("Command"), 1);
    EXPECT_TRUE(dialogs.lastTextEdit()->enter("\xe2\x82\xac 5"));
    EXPECT_EQ(last("Answer").asText(), L"\u20ac 5");
    EXPECT_EQ(last("Result").asInt(), 0);
    EXPECT_EQ(last("Completions").asInt(), 2);
}

TEST_F(WidgetsTest, OkCancelAndFileDialogs)
{
    module().setText(pin("Items"), L"wav, aif");
    module().setText(pin("Text"), L"C:\\samples\\kick.wav");
    module().setInt(pin("Command"), 2);
    qwhost::OkCancelDialog* ok = dialogs.lastOkCancel();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->firstText, "C:\\samples\\kick.wav");
    EXPECT_EQ(ok->secondText, "wav, aif");
    EXPECT_TRUE(ok->pressOk());
    EXPECT_EQ(last("Result").asInt(), 0);

    module().setInt(pin("Command"), 3);
    qwhost::FileDialog* file = dialogs.lastFileDialog();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->dialogType, 1);
    ASSERT_EQ(file->extensions.size(), 2u);
    EXPECT_EQ(file->extensions[1].extension, "aif");
    EXPECT_EQ(file->initialFilename, "kick.wav");
    EXPECT_EQ(file->initialDirectory, "C:/samples");
    EXPECT_TRUE(file->pick("/home/me/snare.wav"));
    EXPECT_EQ(last("Answer").asText(), L"/home/me/snare.wav");
    EXPECT_EQ(last("Completions").asInt(), 2);
}

TEST_F(WidgetsTest, ScriptAnswersWhatTheModuleOpened)
{
    module().setText(pin("Items"), L"One,Two");
    view->pointerDown(0x10, {1, 1});
    module().setInt(pin("Command"), 1);
    dialogs.script.push_back({qwhost::WidgetAnswer::CHOOSE, 1, ""});
    dialogs.script.push_back({qwhost::WidgetAnswer::ENTER, 0, "typed"});
    EXPECT_EQ(dialogs.deliverPending(), 2);
    EXPECT_EQ(last("Choice").asInt(), 1);
    EXPECT_EQ(last("Answer").asText(), L"typed");
}

TEST_F(WidgetsTest, ContextMenuItemsAndChoice)
{
    module().setText(pin("Items"), L"Reset=7, Randomise=9");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(module().ui()->populateContextMenu(3, 4, &sink), gmpi::MP_OK);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[1].text, "Randomise");
    EXPECT_EQ(sink.items[1].id, 9);
    EXPECT_EQ(sink.moduleReferences(), 0);
    EXPECT_EQ(module().ui()->onContextMenu(9), gmpi::MP_OK);
    EXPECT_EQ(last("Choice").asInt(), 9);
}

TEST_F(WidgetsTest, ModuleGoneBeforeTheAnswer)
{
    module().setText(pin("Items"), L"A");
    view->pointerDown(0x10, {0, 0});
    module().setInt(pin("Command"), 3);
    qwhost::PlatformMenu* menu = dialogs.lastMenu();
    qwhost::FileDialog* file = dialogs.lastFileDialog();
    view.reset();
    EXPECT_EQ(menu->moduleReferences(), 0);
    EXPECT_EQ(file->moduleReferences(), 0);
    EXPECT_TRUE(menu->choose(0));
    EXPECT_TRUE(file->pick("/x"));
    EXPECT_EQ(menu->lastOnCompleteAnswer, 0);
}

TEST(WidgetsWithoutDesk, HostThatMakesNoWidgets)
{
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk{host}; // no widget desk: every creation fails
    qwhost::DrawnView view(desk, qwtest::bundle("testkit"), L"QW_TestWidgets");
    view.arrange({0, 0, 50, 10});
    view.module().setText(view.module().pin("Items"), L"A,B");
    EXPECT_EQ(view.pointerDown(0x10, {1, 1}), gmpi::MP_OK);
    for (int command : {1, 2, 3})
        view.module().setInt(view.module().pin("Command"), command);
    EXPECT_TRUE(view.module().transmitsOf(view.module().pin("Completions")).empty());
}
} // namespace
