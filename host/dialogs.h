// The host's native widgets, as the stand-in provides them: pop-up menu,
// text edit, OK/Cancel dialog, file dialog, and the context-menu sink.
//
// Nothing is shown to anyone: a widget records what the module set up, and
// its answer comes from a script (a test, or qwhost). A shown widget waits
// until the script answers; the completion reaches the module then, never
// inside the module's own show call:
//
//   qwhost::Dialogs desk;              // the graphics host creates widgets through it
//   ... the module opens a menu ...
//   auto menu = desk.lastMenu();
//   menu->items;                       // what the module added
//   menu->choose(3);                   // the user picks id 3: the module's callback runs now
//
// A script may also queue answers ahead (desk.script), which deliverPending()
// hands out in the order the widgets were shown.
#pragma once

#include "mp_api_dialogs.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qwhost
{
struct WidgetRect
{
    float left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WidgetRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Result codes the stand-in's user gives.
enum WidgetResult : int32_t
{
    RESULT_OK = 0,
    RESULT_CANCEL = -1,
};

class Dialogs;

// One answer of a script.
struct WidgetAnswer
{
    enum Kind
    {
        CANCEL, // any widget: the user cancels
        CHOOSE, // menu: pick the item with id `id`
        ENTER,  // text edit: confirm `text`
        OK,     // OK/Cancel: press OK
        PICK,   // file dialog: pick the path `text`
    } kind = CANCEL;
    int32_t id = 0;
    std::string text;
};

// What the four widgets share: reference count, the handler of the last
// show, and the answer.
class Widget
{
public:
    virtual ~Widget();
    int shows = 0;                    // ShowAsync calls
    int completions = 0;              // answers delivered
    int32_t lastResult = 0;           // of the last answer delivered
    int32_t lastOnCompleteAnswer = 0; // what the module's handler returned

    // Shown and not yet answered.
    bool pending() const { return handler_ != nullptr; }
    // Delivers an answer with this result to the handler of the last show.
    // False when nothing is pending.
    bool complete(int32_t result);
    bool cancel() { return complete(RESULT_CANCEL); }
    // Plays a script answer; one that does not fit the widget cancels it.
    virtual bool answer(const WidgetAnswer& a) = 0;
    const char* kind() const { return kind_; }
    // References the module holds (the stand-in's own not counted).
    int32_t moduleReferences() const { return refs_ - 1; }

protected:
    Widget(Dialogs* desk, const char* kind) : desk_(desk), kind_(kind) {}
    int32_t addRefImpl() { return ++refs_; }
    int32_t releaseImpl();
    int32_t show(gmpi_gui::ICompletionCallback* handler);

private:
    friend class Dialogs;
    Dialogs* desk_;
    const char* kind_;
    int32_t refs_ = 1; // the stand-in keeps one reference for the script
    gmpi_gui::ICompletionCallback* handler_ = nullptr;
    uint64_t shownAt_ = 0;
};

class PlatformMenu final : public gmpi_gui::IMpPlatformMenu, public Widget
{
public:
    struct Item
    {
        std::string text;
        int32_t id;
        int32_t flags;
    };
    WidgetRect rect;
    std::vector<Item> items;
    int32_t selectedId = -1;

    // The user picks the item with this id (the menu answers it from now on).
    bool choose(int32_t id);

    bool answer(const WidgetAnswer& a) override;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return addRefImpl(); }
    int32_t release() override { return releaseImpl(); }
    int32_t AddItem(const char* text, int32_t id, int32_t flags) override;
    int32_t GetSelectedId(int32_t& returnId) override;
    int32_t ShowAsync(gmpi_gui::ICompletionCallback* handler) override { return show(handler); }

private:
    friend class Dialogs;
    explicit PlatformMenu(Dialogs* desk) : Widget(desk, "menu") {}
};

class PlatformText final : public gmpi_gui::IMpPlatformText, public Widget
{
public:
    WidgetRect rect;
    std::string text; // UTF-8
    int32_t alignment = 0;
    float textSize = 0;
    bool textSizeSet = false;

    // The user edits the text to this and confirms it.
    bool enter(const std::string& utf8);

    bool answer(const WidgetAnswer& a) override;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return addRefImpl(); }
    int32_t release() override { return releaseImpl(); }
    int32_t SetText(const char* text) override;
    int32_t GetText(gmpi::IString* returnString) override;
    int32_t ShowAsync(gmpi_gui::ICompletionCallback* handler) override { return show(handler); }
    int32_t SetAlignment(int32_t alignment) override;
    int32_t SetTextSize(float height) override;

private:
    friend class Dialogs;
    explicit PlatformText(Dialogs* desk) : Widget(desk, "text edit") {}
};

class OkCancelDialog final : public gmpi_gui::IMpOkCancelDialog, public Widget
{
public:
    int32_t dialogType = 0;
    std::string firstText, secondText;

    bool pressOk() { return complete(RESULT_OK); }

    bool answer(const WidgetAnswer& a) override;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return addRefImpl(); }
    int32_t release() override { return releaseImpl(); }
    int32_t SetFirstText(const char* text) override;
    int32_t SetSecondText(const char* text) override;
    int32_t ShowAsync(gmpi_gui::ICompletionCallback* handler) override { return show(handler); }

private:
    friend class Dialogs;
    explicit OkCancelDialog(Dialogs* desk) : Widget(desk, "OK/Cancel dialog") {}
};

class FileDialog final : public gmpi_gui::IMpFileDialog, public Widget
{
public:
    struct Extension
    {
        std::string extension, description;
    };
    int32_t dialogType = 0;
    std::vector<Extension> extensions;
    std::string initialFilename, initialDirectory;
    bool initialFilenameSet = false, initialDirectorySet = false;
    std::string selected; // UTF-8 path, answered after a pick

    // The user picks this path (UTF-8) and confirms.
    bool pick(const std::string& path);

    bool answer(const WidgetAnswer& a) override;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return addRefImpl(); }
    int32_t release() override { return releaseImpl(); }
    int32_t AddExtension(const char* extension, const char* description) override;
    int32_t SetInitialFilename(const char* text) override;
    int32_t SetInitialDirectory(const char* text) override;
    int32_t ShowAsync(gmpi_gui::ICompletionCallback* handler) override { return show(handler); }
    int32_t GetSelectedFilename(gmpi::IString* returnString) override;

private:
    friend class Dialogs;
    explicit FileDialog(Dialogs* desk) : Widget(desk, "file dialog") {}
};

// Collects what a module's populateContextMenu adds.
class ContextMenuSink final : public gmpi_gui::IMpContextItemSink
{
public:
    std::vector<PlatformMenu::Item> items;
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refs_; }
    int32_t release() override { return --refs_; } // lives on the stack of its user
    int32_t AddItem(const char* text, int32_t id, int32_t flags) override;
    // References still held by modules (0 when every one was given back).
    int32_t moduleReferences() const { return refs_ - 1; }

private:
    int32_t refs_ = 1;
};

// The widget desk of one host window: creates widgets for the graphics host,
// keeps every one it made, and plays a script of answers.
class Dialogs
{
public:
    Dialogs() = default;
    ~Dialogs();
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;

    // Whether the host makes widgets of a kind (false: creation gives null).
    bool offerMenus = true, offerTextEdits = true, offerOkCancel = true, offerFileDialogs = true;

    // Creation, as the graphics host calls it; out receives one reference.
    int32_t createMenu(const WidgetRect& rect, gmpi_gui::IMpPlatformMenu** out);
    int32_t createTextEdit(const WidgetRect& rect, gmpi_gui::IMpPlatformText** out);
    int32_t createOkCancel(int32_t dialogType, gmpi_gui::IMpOkCancelDialog** out);
    int32_t createFileDialog(int32_t dialogType, gmpi_gui::IMpFileDialog** out);

    // Every widget made, in creation order (the desk keeps a reference).
    std::vector<PlatformMenu*> menus;
    std::vector<PlatformText*> textEdits;
    std::vector<OkCancelDialog*> okCancelDialogs;
    std::vector<FileDialog*> fileDialogs;
    PlatformMenu* lastMenu() const { return menus.empty() ? nullptr : menus.back(); }
    PlatformText* lastTextEdit() const { return textEdits.empty() ? nullptr : textEdits.back(); }
    OkCancelDialog* lastOkCancel() const { return okCancelDialogs.empty() ? nullptr : okCancelDialogs.back(); }
    FileDialog* lastFileDialog() const { return fileDialogs.empty() ? nullptr : fileDialogs.back(); }

    // Widgets shown and not answered, in the order they were shown.
    std::vector<Widget*> pending() const;

    // Answers a script gives, taken in order by deliverPending() for the
    // pending widgets in the order they were shown.
    std::deque<WidgetAnswer> script;
    // Answers the pending widgets from the script, one answer each, while
    // both last; returns how many were answered. An answer that does not fit
    // its widget (ENTER for a menu) cancels it.
    int deliverPending();

private:
    friend class Widget;
    uint64_t showCounter_ = 0;
};
} // namespace qwhost
