#include "dialogs.h"

#include "mp_sdk_common.h"

#include <algorithm>

namespace qwhost
{
namespace
{
template <class I, class W> int32_t answerQuery(W* widget, const gmpi::MpGuid& iid, void** out)
{
    if (iid == gmpi::MP_IID_UNKNOWN)
    {
        *out = static_cast<I*>(widget);
        widget->addRef();
        return gmpi::MP_OK;
    }
    *out = nullptr;
    return gmpi::MP_NOSUPPORT;
}

std::string text(const char* s)
{
    return s ? std::string(s) : std::string();
}
} // namespace

// ---------------------------------------------------------------- Widget

Widget::~Widget()
{
    if (handler_)
        handler_->release();
}

int32_t Widget::releaseImpl()
{
    const int32_t n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

int32_t Widget::show(gmpi_gui::ICompletionCallback* handler)
{
    ++shows;
    if (!handler)
        return gmpi::MP_FAIL;
    // A second show while open: the newer handler gets the answer.
    handler->addRef();
    if (handler_)
        handler_->release();
    handler_ = handler;
    shownAt_ = desk_ ? ++desk_->showCounter_ : 0;
    return gmpi::MP_OK;
}

bool Widget::complete(int32_t result)
{
    if (!handler_)
        return false;
    gmpi_gui::ICompletionCallback* handler = handler_;
    handler_ = nullptr;
    ++completions;
    lastResult = result;
    // The module may release this widget, or show it again, from its callback.
    addRefImpl();
    lastOnCompleteAnswer = handler->OnComplete(result);
    handler->release();
    releaseImpl();
    return true;
}

// ---------------------------------------------------------------- menu

bool PlatformMenu::choose(int32_t id)
{
    if (!pending())
        return false;
    selectedId = id;
    return complete(RESULT_OK);
}

bool PlatformMenu::answer(const WidgetAnswer& a)
{
    return a.kind == WidgetAnswer::CHOOSE ? choose(a.id) : cancel();
}

int32_t PlatformMenu::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    return answerQuery<gmpi_gui::IMpPlatformMenu>(this, iid, returnInterface);
}

int32_t PlatformMenu::AddItem(const char* t, int32_t id, int32_t flags)
{
    items.push_back({text(t), id, flags});
    return gmpi::MP_OK;
}

int32_t PlatformMenu::GetSelectedId(int32_t& returnId)
{
    returnId = selectedId;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------- text edit

bool PlatformText::enter(const std::string& utf8)
{
    if (!pending())
        return false;
    text = utf8;
    return complete(RESULT_OK);
}

bool PlatformText::answer(const WidgetAnswer& a)
{
    return a.kind == WidgetAnswer::ENTER ? enter(a.text) : cancel();
}

int32_t PlatformText::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    return answerQuery<gmpi_gui::IMpPlatformText>(this, iid, returnInterface);
}

int32_t PlatformText::SetText(const char* t)
{
    text = qwhost::text(t);
    return gmpi::MP_OK;
}

int32_t PlatformText::GetText(gmpi::IString* returnString)
{
    if (!returnString)
        return gmpi::MP_FAIL;
    return returnString->setData(text.data(), static_cast<int32_t>(text.size()));
}

int32_t PlatformText::SetAlignment(int32_t a)
{
    alignment = a;
    return gmpi::MP_OK;
}

int32_t PlatformText::SetTextSize(float height)
{
    textSize = height;
    textSizeSet = true;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------- OK/Cancel

bool OkCancelDialog::answer(const WidgetAnswer& a)
{
    return a.kind == WidgetAnswer::OK ? pressOk() : cancel();
}

int32_t OkCancelDialog::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    return answerQuery<gmpi_gui::IMpOkCancelDialog>(this, iid, returnInterface);
}

int32_t OkCancelDialog::SetFirstText(const char* t)
{
    firstText = text(t);
    return gmpi::MP_OK;
}

int32_t OkCancelDialog::SetSecondText(const char* t)
{
    secondText = text(t);
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------- file dialog

bool FileDialog::pick(const std::string& path)
{
    if (!pending())
        return false;
    selected = path;
    return complete(RESULT_OK);
}

bool FileDialog::answer(const WidgetAnswer& a)
{
    return a.kind == WidgetAnswer::PICK ? pick(a.text) : cancel();
}

int32_t FileDialog::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    return answerQuery<gmpi_gui::IMpFileDialog>(this, iid, returnInterface);
}

int32_t FileDialog::AddExtension(const char* extension, const char* description)
{
    extensions.push_back({text(extension), text(description)});
    return gmpi::MP_OK;
}

int32_t FileDialog::SetInitialFilename(const char* t)
{
    initialFilename = text(t);
    initialFilenameSet = true;
    return gmpi::MP_OK;
}

int32_t FileDialog::SetInitialDirectory(const char* t)
{
    initialDirectory = text(t);
    initialDirectorySet = true;
    return gmpi::MP_OK;
}

int32_t FileDialog::GetSelectedFilename(gmpi::IString* returnString)
{
    if (!returnString)
        return gmpi::MP_FAIL;
    return returnString->setData(selected.data(), static_cast<int32_t>(selected.size()));
}

// ---------------------------------------------------------------- context-menu sink

int32_t ContextMenuSink::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_CONTEXT_ITEMS_SINK || iid == gmpi::MP_IID_UNKNOWN)
    {
        *returnInterface = static_cast<gmpi_gui::IMpContextItemSink*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    *returnInterface = nullptr;
    return gmpi::MP_NOSUPPORT;
}

int32_t ContextMenuSink::AddItem(const char* t, int32_t id, int32_t flags)
{
    items.push_back({text(t), id, flags});
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------- desk

Dialogs::~Dialogs()
{
    auto drop = [](auto& list) {
        for (auto* w : list)
        {
            w->desk_ = nullptr;
            w->release();
        }
        list.clear();
    };
    drop(menus);
    drop(textEdits);
    drop(okCancelDialogs);
    drop(fileDialogs);
}

int32_t Dialogs::createMenu(const WidgetRect& rect, gmpi_gui::IMpPlatformMenu** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!offerMenus)
        return gmpi::MP_FAIL;
    auto* m = new PlatformMenu(this);
    m->rect = rect;
    menus.push_back(m);
    m->addRef();
    *out = m;
    return gmpi::MP_OK;
}

int32_t Dialogs::createTextEdit(const WidgetRect& rect, gmpi_gui::IMpPlatformText** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!offerTextEdits)
        return gmpi::MP_FAIL;
    auto* t = new PlatformText(this);
    t->rect = rect;
    textEdits.push_back(t);
    t->addRef();
    *out = t;
    return gmpi::MP_OK;
}

int32_t Dialogs::createOkCancel(int32_t dialogType, gmpi_gui::IMpOkCancelDialog** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!offerOkCancel)
        return gmpi::MP_FAIL;
    auto* d = new OkCancelDialog(this);
    d->dialogType = dialogType;
    okCancelDialogs.push_back(d);
    d->addRef();
    *out = d;
    return gmpi::MP_OK;
}

int32_t Dialogs::createFileDialog(int32_t dialogType, gmpi_gui::IMpFileDialog** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!offerFileDialogs)
        return gmpi::MP_FAIL;
    auto* d = new FileDialog(this);
    d->dialogType = dialogType;
    fileDialogs.push_back(d);
    d->addRef();
    *out = d;
    return gmpi::MP_OK;
}

std::vector<Widget*> Dialogs::pending() const
{
    std::vector<Widget*> out;
    for (auto* w : menus)
        if (w->pending())
            out.push_back(w);
    for (auto* w : textEdits)
        if (w->pending())
            out.push_back(w);
    for (auto* w : okCancelDialogs)
        if (w->pending())
            out.push_back(w);
    for (auto* w : fileDialogs)
        if (w->pending())
            out.push_back(w);
    std::sort(out.begin(), out.end(), [](const Widget* a, const Widget* b) { return a->shownAt_ < b->shownAt_; });
    return out;
}

int Dialogs::deliverPending()
{
    int answered = 0;
    // Widgets shown by a callback during this call wait for the next one.
    for (Widget* w : pending())
    {
        if (script.empty())
            break;
        if (!w->pending())
            continue;
        const WidgetAnswer a = script.front();
        script.pop_front();
        answered += w->answer(a);
    }
    return answered;
}
} // namespace qwhost
