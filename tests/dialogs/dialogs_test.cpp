// The framework's menu, text-edit and dialog wrappers against the stand-in's
// widgets, whose answers a script gives later: what reaches the widget, what
// reaches the module's callback, and what happens to answers of widgets the
// module replaced, moved or dropped.
#include "dialogs.h"
#include "fine_drag.h"
#include "mp_sdk_dialogs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using qwhost::WidgetRect;

struct Calls
{
    std::vector<int32_t> results;
    std::function<void(int32_t)> record()
    {
        return [this](int32_t r) { results.push_back(r); };
    }
};

GmpiGui::PopupMenu makeMenu(qwhost::Dialogs& desk)
{
    GmpiGui::PopupMenu menu;
    EXPECT_EQ(desk.createMenu({1, 2, 121, 22}, menu.getAddressOf()), gmpi::MP_OK);
    return menu;
}

TEST(Dialogs, MenuDeliversTheChosenIdWhenTheScriptSays)
{
    qwhost::Dialogs desk;
    GmpiGui::PopupMenu menu = makeMenu(desk);
    menu.AddItem(L"Gr\u00fc\u00dfe", 3);
    menu.AddItem(L"----", 4, 8);
    Calls calls;
    int32_t seenId = -2;
    menu.ShowAsync([&](int32_t r) {
        calls.results.push_back(r);
        seenId = menu.GetSelectedId();
    });

    qwhost::PlatformMenu* m = desk.lastMenu();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->items.size(), 2u);
    EXPECT_EQ(m->items[0].text,
              "Gr\xc3\xbc\xc3\x9f"
              "e");
    EXPECT_EQ(m->items[0].id, 3);
    EXPECT_EQ(m->items[1].flags, 8);
    // Nothing reaches the module inside its show call.
    EXPECT_TRUE(m->pending());
    EXPECT_TRUE(calls.results.empty());

    EXPECT_TRUE(m->choose(3));
    EXPECT_EQ(calls.results, std::vector<int32_t>{0});
    EXPECT_EQ(seenId, 3);
    EXPECT_FALSE(m->pending());
    EXPECT_EQ(m->lastOnCompleteAnswer, 0);

    menu.ShowAsync(calls.record());
    EXPECT_TRUE(m->cancel());
    EXPECT_EQ(calls.results, (std::vector<int32_t>{0, qwhost::RESULT_CANCEL}));
}

TEST(Dialogs, TextEditTakesItsSettingsAndAnswersTheEnteredText)
{
    qwhost::Dialogs desk;
    GmpiGui::TextEdit edit;
    ASSERT_EQ(desk.createTextEdit({5, 6, 105, 26}, edit.getAddressOf()), gmpi::MP_OK);
    edit.SetText("start");
    edit.SetAlignment(2 | gmpi_gui::MP_TEXT_EDIT_MULTILINE);
    edit.SetTextSize(14.5f);
    EXPECT_EQ(edit.GetText(), "start");
    Calls calls;
    std::string seen;
    edit.ShowAsync([&](int32_t r) {
        calls.results.push_back(r);
        if (r == 0)
            seen = edit.GetText();
    });

    qwhost::PlatformText* t = desk.lastTextEdit();
    EXPECT_EQ(t->rect, (WidgetRect{5, 6, 105, 26}));
    EXPECT_EQ(t->alignment, 0x10002);
    EXPECT_EQ(t->textSize, 14.5f);
    EXPECT_TRUE(t->enter("caf\xc3\xa9"));
    EXPECT_EQ(calls.results, std::vector<int32_t>{0});
    EXPECT_EQ(seen, "caf\xc3\xa9");

    edit.ShowAsync([&](int32_t r) { calls.results.push_back(r); });
    EXPECT_TRUE(t->cancel());
    EXPECT_EQ(calls.results, (std::vector<int32_t>{0, -1}));
}

TEST(Dialogs, OkCancelDialogTakesBothTextsInOrder)
{
    qwhost::Dialogs desk;
    GmpiGui::OkCancelDialog dialog;
    ASSERT_EQ(desk.createOkCancel(0, dialog.getAddressOf()), gmpi::MP_OK);
    dialog.SetFirstText("Overwrite?");
    dialog.SetSecondText("The file exists.");
    Calls calls;
    dialog.ShowAsync(calls.record());
    qwhost::OkCancelDialog* d = desk.lastOkCancel();
    EXPECT_EQ(d->firstText, "Overwrite?");
    EXPECT_EQ(d->secondText, "The file exists.");
    EXPECT_TRUE(d->pressOk());
    dialog.ShowAsync(calls.record());
    EXPECT_TRUE(d->cancel());
    EXPECT_EQ(calls.results, (std::vector<int32_t>{0, -1}));
}

TEST(Dialogs, FileDialogExtensionsFromAListText)
{
    const struct
    {
        const wchar_t* list;
        std::vector<std::string> extensions;
    } rows[] = {
        {L"", {"*"}},       {L"wav, aif", {"wav", "aif"}}, {L" wav=1 ,mp3 ", {"wav", "mp3"}},
        {L"txt,", {"txt"}}, {L"range 5,2", {"*"}}, // a range that runs downwards yields nothing
        {L"range", {"*"}},
    };
    for (auto& r : rows)
    {
        qwhost::Dialogs desk;
        GmpiGui::FileDialog dialog;
        ASSERT_EQ(desk.createFileDialog(1, dialog.getAddressOf()), gmpi::MP_OK);
        dialog.AddExtensionList(r.list);
        std::vector<std::string> got;
        for (auto& e : desk.lastFileDialog()->extensions)
        {
            got.push_back(e.extension);
            EXPECT_EQ(e.description, "");
        }
        EXPECT_EQ(got, r.extensions) << static_cast<int>(&r - rows);
        EXPECT_EQ(desk.lastFileDialog()->dialogType, 1);
    }
}

TEST(Dialogs, FileDialogInitialPathSplitsAtTheLastSlash)
{
    const struct
    {
        const char* path;
        const char* file;
        const char* folder;
    } rows[] = {
        {"C:\\dir\\file.txt", "file.txt", "C:/dir"},
        {"/home/me/a b/song.wav", "song.wav", "/home/me/a b"},
        {"dir/sub\\x.wav", "x.wav", "dir/sub"},
        {"/folder/", "", "/folder"},
        // A bare name is a file name and no folder.
        {"file.txt", "file.txt", ""},
        {"", "", ""},
    };
    for (auto& r : rows)
    {
        qwhost::Dialogs desk;
        GmpiGui::FileDialog dialog;
        ASSERT_EQ(desk.createFileDialog(0, dialog.getAddressOf()), gmpi::MP_OK);
        dialog.SetInitialFullPath(r.path);
        const qwhost::FileDialog* d = desk.lastFileDialog();
        EXPECT_EQ(d->initialFilename, r.file) << r.path;
        EXPECT_EQ(d->initialDirectory, r.folder) << r.path;
    }
}

TEST(Dialogs, FileDialogAnswersThePickedPath)
{
    qwhost::Dialogs desk;
    GmpiGui::FileDialog dialog;
    ASSERT_EQ(desk.createFileDialog(0, dialog.getAddressOf()), gmpi::MP_OK);
    std::vector<std::string> picked;
    dialog.ShowAsync([&](int32_t r) {
        if (r == 0)
            picked.push_back(dialog.GetSelectedFilename());
    });
    qwhost::FileDialog* d = desk.lastFileDialog();
    EXPECT_TRUE(d->pick("/tmp/\xc3\xa9t\xc3\xa9.wav"));
    dialog.ShowAsync([&](int32_t r) {
        if (r == 0)
            picked.push_back(dialog.GetSelectedFilename());
    });
    EXPECT_TRUE(d->cancel());
    EXPECT_EQ(picked, std::vector<std::string>{"/tmp/\xc3\xa9t\xc3\xa9.wav"});
}

TEST(Dialogs, SecondShowReplacesTheFirstCallback)
{
    qwhost::Dialogs desk;
    GmpiGui::PopupMenu menu = makeMenu(desk);
    Calls first, second;
    menu.ShowAsync(first.record());
    menu.ShowAsync(second.record());
    qwhost::PlatformMenu* m = desk.lastMenu();
    EXPECT_EQ(m->shows, 2);
    EXPECT_TRUE(m->choose(7));
    EXPECT_TRUE(first.results.empty());
    EXPECT_EQ(second.results, std::vector<int32_t>{0});
    // One answer per show that is pending: nothing more arrives.
    EXPECT_FALSE(m->choose(7));
    EXPECT_EQ(second.results.size(), 1u);
}

TEST(Dialogs, CompletionWithoutACallbackDoesNothingAndAnswersZero)
{
    auto* handler = new gmpi_gui::MpCompletionHandler();
    // Called the way a host calls it: through the object's table.
    const int onComplete = qwtest::slotOf(&gmpi_gui::ICompletionCallback::OnComplete);
    EXPECT_EQ(onComplete, 3);
    EXPECT_EQ((qwtest::callSlot<int32_t, int32_t>(static_cast<gmpi_gui::ICompletionCallback*>(handler), 3, 5)), 0);

    int got = 0;
    handler->setCallback([&got](int32_t r) { got = r; });
    EXPECT_EQ(handler->OnComplete(9), 0);
    EXPECT_EQ(got, 9);

    void* out = nullptr;
    EXPECT_EQ(handler->queryInterface(gmpi::MP_IID_COMPLETION_CALLBACK, &out), gmpi::MP_OK);
    EXPECT_EQ(out, static_cast<gmpi_gui::ICompletionCallback*>(handler));
    EXPECT_EQ(handler->release(), 1);
    EXPECT_EQ(handler->queryInterface(gmpi::MP_IID_UNKNOWN, &out), gmpi::MP_OK);
    EXPECT_EQ(handler->release(), 1);
    EXPECT_EQ(handler->queryInterface(gmpi::MP_IID_FACTORY, &out), gmpi::MP_NOSUPPORT);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(handler->release(), 0);
}

TEST(Dialogs, MovedWrapperStillReceivesTheAnswer)
{
    qwhost::Dialogs desk;
    Calls calls;
    GmpiGui::PopupMenu kept;
    {
        GmpiGui::PopupMenu shown = makeMenu(desk);
        shown.ShowAsync(calls.record());
        kept = std::move(shown);
    }
    EXPECT_TRUE(desk.lastMenu()->choose(2));
    EXPECT_EQ(calls.results, std::vector<int32_t>{0});
    EXPECT_EQ(kept.GetSelectedId(), 2);

    GmpiGui::TextEdit edit;
    ASSERT_EQ(desk.createTextEdit({}, edit.getAddressOf()), gmpi::MP_OK);
    edit.ShowAsync(calls.record());
    GmpiGui::TextEdit movedTo(std::move(edit));
    EXPECT_TRUE(edit.isNull());
    EXPECT_TRUE(desk.lastTextEdit()->enter("x"));
    EXPECT_EQ(calls.results, (std::vector<int32_t>{0, 0}));
}

TEST(Dialogs, AnswerToADroppedOrReplacedWidgetReachesNoOne)
{
    qwhost::Dialogs desk;
    Calls calls;
    {
        GmpiGui::OkCancelDialog dialog;
        ASSERT_EQ(desk.createOkCancel(0, dialog.getAddressOf()), gmpi::MP_OK);
        dialog.ShowAsync(calls.record());
    }
    qwhost::OkCancelDialog* d = desk.lastOkCancel();
    EXPECT_EQ(d->moduleReferences(), 0);
    EXPECT_TRUE(d->pressOk());
    EXPECT_EQ(d->lastOnCompleteAnswer, 0);
    EXPECT_TRUE(calls.results.empty());

    // A member given a new widget releases the one before and drops its answer.
    GmpiGui::PopupMenu member = makeMenu(desk);
    member.ShowAsync(calls.record());
    qwhost::PlatformMenu* old = desk.lastMenu();
    member = makeMenu(desk);
    EXPECT_EQ(old->moduleReferences(), 0);
    EXPECT_EQ(desk.lastMenu()->moduleReferences(), 1);
    EXPECT_TRUE(old->choose(1));
    EXPECT_TRUE(calls.results.empty());
}

TEST(Dialogs, CallbackMayShowAgainOrDropItsWrapper)
{
    qwhost::Dialogs desk;
    auto menu = std::make_unique<GmpiGui::PopupMenu>(makeMenu(desk));
    int answers = 0;
    std::function<void(int32_t)> reopen = [&](int32_t) {
        if (++answers < 3)
            menu->ShowAsync(reopen);
        else
            menu.reset();
    };
    menu->ShowAsync(reopen);
    qwhost::PlatformMenu* m = desk.lastMenu();
    EXPECT_TRUE(m->choose(1));
    EXPECT_TRUE(m->pending());
    EXPECT_TRUE(m->choose(1));
    EXPECT_TRUE(m->choose(1));
    EXPECT_EQ(answers, 3);
    EXPECT_EQ(menu, nullptr);
    EXPECT_FALSE(m->pending());
    EXPECT_EQ(m->moduleReferences(), 0);
}

TEST(Dialogs, HostThatMakesNoWidgetLeavesTheWrapperEmpty)
{
    qwhost::Dialogs desk;
    desk.offerMenus = false;
    desk.offerFileDialogs = false;
    GmpiGui::PopupMenu menu;
    EXPECT_NE(desk.createMenu({}, menu.getAddressOf()), gmpi::MP_OK);
    EXPECT_TRUE(menu.isNull());
    Calls calls;
    menu.AddItem(L"a", 1);
    menu.ShowAsync(calls.record());
    EXPECT_EQ(menu.GetSelectedId(), -1);
    GmpiGui::FileDialog file;
    EXPECT_NE(desk.createFileDialog(0, file.getAddressOf()), gmpi::MP_OK);
    file.SetInitialFullPath("a/b");
    file.ShowAsync(calls.record());
    EXPECT_EQ(file.GetSelectedFilename(), "");
    EXPECT_TRUE(calls.results.empty());
    EXPECT_TRUE(desk.menus.empty());
}

TEST(Dialogs, ScriptAnswersPendingWidgetsInTheOrderShown)
{
    qwhost::Dialogs desk;
    GmpiGui::FileDialog file;
    GmpiGui::PopupMenu menu = makeMenu(desk);
    GmpiGui::TextEdit edit;
    ASSERT_EQ(desk.createFileDialog(0, file.getAddressOf()), gmpi::MP_OK);
    ASSERT_EQ(desk.createTextEdit({}, edit.getAddressOf()), gmpi::MP_OK);
    std::vector<std::string> log;
    edit.ShowAsync([&](int32_t r) { log.push_back("edit " + std::to_string(r) + " " + edit.GetText()); });
    menu.ShowAsync(
        [&](int32_t r) { log.push_back("menu " + std::to_string(r) + " " + std::to_string(menu.GetSelectedId())); });
    file.ShowAsync([&](int32_t r) { log.push_back("file " + std::to_string(r) + " " + file.GetSelectedFilename()); });

    using A = qwhost::WidgetAnswer;
    desk.script.push_back({A::ENTER, 0, "typed"});
    desk.script.push_back({A::CHOOSE, 12, ""});
    EXPECT_EQ(desk.deliverPending(), 2);
    EXPECT_EQ(desk.pending().size(), 1u);
    desk.script.push_back({A::OK, 0, ""}); // does not fit a file dialog: cancels it
    EXPECT_EQ(desk.deliverPending(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"edit 0 typed", "menu 0 12", "file -1 "}));
}

TEST(Dialogs, ContextMenuSinkCollectsItems)
{
    qwhost::ContextMenuSink sink;
    gmpi::IMpUnknown* asHanded = &sink;
    void* out = nullptr;
    ASSERT_EQ(asHanded->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, &out), gmpi::MP_OK);
    auto* items = static_cast<gmpi_gui::IMpContextItemSink*>(out);
    items->AddItem("Reset", 5, 0);
    items->AddItem("----", 6, 8);
    items->release();
    EXPECT_EQ(sink.moduleReferences(), 0);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[1].text, "----");
    EXPECT_EQ(sink.items[1].flags, 8);
    EXPECT_EQ(asHanded->queryInterface(gmpi::MP_IID_GRAPHICS_HOST, &out), gmpi::MP_NOSUPPORT);
}

TEST(Dialogs, WidgetOperationsStandInTheirSlots)
{
    using namespace gmpi_gui;
    using qwtest::slotOf;
    EXPECT_EQ(slotOf(&IMpPlatformMenu::AddItem), 3);
    EXPECT_EQ(slotOf(&IMpPlatformMenu::GetSelectedId), 4);
    EXPECT_EQ(slotOf(&IMpPlatformMenu::ShowAsync), 5);
    EXPECT_EQ(slotOf(&IMpPlatformText::SetText), 3);
    EXPECT_EQ(slotOf(&IMpPlatformText::GetText), 4);
    EXPECT_EQ(slotOf(&IMpPlatformText::ShowAsync), 5);
    EXPECT_EQ(slotOf(&IMpPlatformText::SetAlignment), 6);
    EXPECT_EQ(slotOf(&IMpPlatformText::SetTextSize), 7);
    EXPECT_EQ(slotOf(&IMpOkCancelDialog::SetFirstText), 3);
    EXPECT_EQ(slotOf(&IMpOkCancelDialog::SetSecondText), 4);
    EXPECT_EQ(slotOf(&IMpOkCancelDialog::ShowAsync), 5);
    EXPECT_EQ(slotOf(&IMpFileDialog::AddExtension), 3);
    EXPECT_EQ(slotOf(&IMpFileDialog::SetInitialFilename), 4);
    EXPECT_EQ(slotOf(&IMpFileDialog::SetInitialDirectory), 5);
    EXPECT_EQ(slotOf(&IMpFileDialog::ShowAsync), 6);
    EXPECT_EQ(slotOf(&IMpFileDialog::GetSelectedFilename), 7);
    EXPECT_EQ(slotOf(&IMpContextItemSink::AddItem), 3);
}

TEST(Dialogs, ExtensionOfAPath)
{
    const struct
    {
        const char* path;
        const char* ext;
    } rows[] = {
        {"song.WAV", "WAV"},   {"/a/b.c/file.txt", "txt"},  {"/a/b.c/file", ""},
        {"C:\\x.y\\name", ""}, {"C:\\dir\\a.tar.gz", "gz"}, {"noext", ""},
        {"trailing.", ""},     {".hidden", "hidden"},       {"", ""},
    };
    for (auto& r : rows)
        EXPECT_EQ(GetExtension(r.path), r.ext) << r.path;
}

TEST(Dialogs, FineDragFactor)
{
    EXPECT_EQ(gmpi_gui::fineDragFactor(0), 1.0f);
    EXPECT_EQ(gmpi_gui::fineDragFactor(0x10), 1.0f);
    EXPECT_EQ(gmpi_gui::fineDragFactor(0x20000), 0.1f);
    EXPECT_EQ(gmpi_gui::fineDragFactor(0x20010), 0.1f);
}
// A graphics host that makes its widgets at a desk and answers nothing else.
class DeskGraphicsHost final : public gmpi_gui::IMpGraphicsHost, public gmpi_gui::IMpGraphicsHostBase
{
public:
    explicit DeskGraphicsHost(qwhost::Dialogs& desk) : desk_(desk) {}
    int refs = 1;
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        *out = nullptr;
        if (iid == gmpi::MP_IID_GRAPHICS_HOST)
            *out = static_cast<gmpi_gui::IMpGraphicsHost*>(this);
        else if (iid == gmpi::MP_IID_GRAPHICS_HOST_BASE)
            *out = static_cast<gmpi_gui::IMpGraphicsHostBase*>(this);
        if (!*out)
            return gmpi::MP_NOSUPPORT;
        ++refs;
        return gmpi::MP_OK;
    }
    int32_t addRef() override { return ++refs; }
    int32_t release() override { return --refs; }
    int32_t unusedSlot3() override { return gmpi::MP_NOSUPPORT; }
    int32_t GetDrawingFactory(GmpiDrawing_API::IMpFactory** f) override
    {
        *f = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    void invalidateRect(const GmpiDrawing_API::MP1_RECT*) override {}
    void invalidateMeasure() override {}
    int32_t setCapture() override { return gmpi::MP_NOSUPPORT; }
    int32_t getCapture(int32_t& v) override
    {
        v = 0;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t releaseCapture() override { return gmpi::MP_NOSUPPORT; }
    int32_t createPlatformMenu(const GmpiDrawing_API::MP1_RECT* r, gmpi_gui::IMpPlatformMenu** out) override
    {
        return desk_.createMenu({r->left, r->top, r->right, r->bottom}, out);
    }
    int32_t createPlatformTextEdit(const GmpiDrawing_API::MP1_RECT* r, gmpi_gui::IMpPlatformText** out) override
    {
        return desk_.createTextEdit({r->left, r->top, r->right, r->bottom}, out);
    }
    int32_t createOkCancelDialog(int32_t type, gmpi_gui::IMpOkCancelDialog** out) override
    {
        return desk_.createOkCancel(type, out);
    }
    int32_t createFileDialog(int32_t type, gmpi_gui::IMpFileDialog** out) override
    {
        return desk_.createFileDialog(type, out);
    }

private:
    qwhost::Dialogs& desk_;
};

TEST(Dialogs, GraphicsHostMakesTheWidgets)
{
    qwhost::Dialogs desk;
    DeskGraphicsHost graphics(desk);
    {
        GmpiGui::GraphicsHost host(static_cast<gmpi::IMpUnknown*>(static_cast<gmpi_gui::IMpGraphicsHost*>(&graphics)));
        ASSERT_FALSE(host.isNull());
        GmpiGui::PopupMenu menu = host.createPlatformMenu({10, 30});
        EXPECT_FALSE(menu.isNull());
        EXPECT_EQ(desk.lastMenu()->rect, (WidgetRect{10, 30, 130, 50}));

        GmpiGui::TextEdit edit = host.createPlatformTextEdit(GmpiDrawing::Rect(1.5f, 2, 80, 22.5f));
        EXPECT_FALSE(edit.isNull());
        EXPECT_EQ(desk.lastTextEdit()->rect, (WidgetRect{1.5f, 2, 80, 22.5f}));

        GmpiGui::OkCancelDialog ok = host.createOkCancelDialog();
        EXPECT_FALSE(ok.isNull());
        EXPECT_EQ(desk.lastOkCancel()->dialogType, 0);

        GmpiGui::FileDialog file = GmpiGui::createFileDialog(static_cast<gmpi_gui::IMpGraphicsHost*>(&graphics), 1);
        EXPECT_FALSE(file.isNull());
        EXPECT_EQ(desk.lastFileDialog()->dialogType, 1);
    }
    // Every reference taken on the host and on the widgets was given back.
    EXPECT_EQ(graphics.refs, 1);
    for (auto* m : desk.menus)
        EXPECT_EQ(m->moduleReferences(), 0);
    EXPECT_EQ(desk.lastTextEdit()->moduleReferences(), 0);
    EXPECT_EQ(desk.lastOkCancel()->moduleReferences(), 0);
    EXPECT_EQ(desk.lastFileDialog()->moduleReferences(), 0);

    // Without a host: empty widgets.
    GmpiGui::GraphicsHost none;
    EXPECT_TRUE(none.createPlatformMenu({0, 0}).isNull());
    EXPECT_TRUE(none.createPlatformTextEdit({}).isNull());
    EXPECT_TRUE(GmpiGui::createFileDialog(nullptr, 0).isNull());
    qwhost::ContextMenuSink notAHost;
    EXPECT_TRUE(GmpiGui::createFileDialog(&notAHost, 0).isNull());
}
} // namespace
