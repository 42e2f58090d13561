#include "mp_sdk_dialogs.h"

#include "it_enum_list.h"

#include <algorithm>

namespace gmpi_gui
{
int32_t MpCompletionHandler::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_COMPLETION_CALLBACK)
    {
        *returnInterface = static_cast<ICompletionCallback*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    *returnInterface = nullptr;
    return gmpi::MP_NOSUPPORT;
}

int32_t MpCompletionHandler::release()
{
    const int32_t n = --refCount_;
    if (n == 0)
        delete this;
    return n;
}

int32_t MpCompletionHandler::OnComplete(int32_t result)
{
    // The callback may show the widget again (replacing itself) or destroy
    // the wrapper that owns this handler: run a copy, and keep this alive.
    addRef();
    if (auto callback = callback_)
        callback(result);
    release();
    return gmpi::MP_OK;
}
} // namespace gmpi_gui

namespace GmpiGui
{
void PopupMenu::AddItem(const std::wstring& text, int32_t id, int32_t flags)
{
    if (Get())
        Get()->AddItem(gmpi_sdk::toUtf8(text).c_str(), id, flags);
}

void PopupMenu::ShowAsync(std::function<void(int32_t)> callback)
{
    if (Get())
        Get()->ShowAsync(prepareShow(std::move(callback)));
}

int32_t PopupMenu::GetSelectedId() const
{
    int32_t id = -1;
    if (!Get() || Get()->GetSelectedId(id) != gmpi::MP_OK)
        return -1;
    return id;
}

void TextEdit::SetText(const std::string& utf8)
{
    if (Get())
        Get()->SetText(utf8.c_str());
}

std::string TextEdit::GetText() const
{
    gmpi_sdk::MpString text;
    if (Get())
        Get()->GetText(&text);
    return text.str();
}

void TextEdit::SetAlignment(int32_t alignment)
{
    if (Get())
        Get()->SetAlignment(alignment);
}

void TextEdit::SetTextSize(float height)
{
    if (Get())
        Get()->SetTextSize(height);
}

void TextEdit::ShowAsync(std::function<void(int32_t)> callback)
{
    if (Get())
        Get()->ShowAsync(prepareShow(std::move(callback)));
}

void OkCancelDialog::SetFirstText(const std::string& utf8)
{
    if (Get())
        Get()->SetFirstText(utf8.c_str());
}

void OkCancelDialog::SetSecondText(const std::string& utf8)
{
    if (Get())
        Get()->SetSecondText(utf8.c_str());
}

void OkCancelDialog::ShowAsync(std::function<void(int32_t)> callback)
{
    if (Get())
        Get()->ShowAsync(prepareShow(std::move(callback)));
}

void FileDialog::AddExtension(const std::string& extension, const std::string& description)
{
    if (Get())
        Get()->AddExtension(extension.c_str(), description.c_str());
}

void FileDialog::AddExtensionList(const std::wstring& list)
{
    it_enum_list entries(list);
    int taken = 0;
    for (entries.First(); !entries.IsDone() && taken < kMaxListEntries; entries.Next(), ++taken)
        AddExtension(gmpi_sdk::toUtf8(entries.CurrentItem()->text));
    // Nothing to filter by (an empty list, or a range that runs downwards).
    if (taken == 0)
        AddExtension("*");
}

void FileDialog::SetInitialFilename(const std::string& utf8)
{
    if (Get())
        Get()->SetInitialFilename(utf8.c_str());
}

void FileDialog::SetInitialDirectory(const std::string& utf8)
{
    if (Get())
        Get()->SetInitialDirectory(utf8.c_str());
}

void FileDialog::SetInitialFullPath(const std::string& path)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos)
    {
        // A bare name: no folder to suggest.
        SetInitialFilename(p);
        SetInitialDirectory({});
        return;
    }
    SetInitialFilename(p.substr(slash + 1));
    SetInitialDirectory(p.substr(0, slash));
}

void FileDialog::ShowAsync(std::function<void(int32_t)> callback)
{
    if (Get())
        Get()->ShowAsync(prepareShow(std::move(callback)));
}

std::string FileDialog::GetSelectedFilename() const
{
    gmpi_sdk::MpString name;
    if (Get())
        Get()->GetSelectedFilename(&name);
    return name.str();
}
GraphicsHost::GraphicsHost(gmpi::IMpUnknown* host)
{
    if (host)
        host->queryInterface(gmpi::MP_IID_GRAPHICS_HOST, host_.asIMpUnknownPtr());
}

PopupMenu GraphicsHost::createPlatformMenu(GmpiDrawing_API::MP1_POINT point)
{
    PopupMenu menu;
    if (host_)
    {
        const GmpiDrawing_API::MP1_RECT rect{point.x, point.y, point.x + 120.0f, point.y + 20.0f};
        host_->createPlatformMenu(&rect, menu.getAddressOf());
    }
    return menu;
}

TextEdit GraphicsHost::createPlatformTextEdit(GmpiDrawing::RectBase<float> rect)
{
    TextEdit edit;
    if (host_)
    {
        const GmpiDrawing_API::MP1_RECT r = rect;
        host_->createPlatformTextEdit(&r, edit.getAddressOf());
    }
    return edit;
}

OkCancelDialog GraphicsHost::createOkCancelDialog(int32_t dialogType)
{
    OkCancelDialog dialog;
    if (host_)
        host_->createOkCancelDialog(dialogType, dialog.getAddressOf());
    return dialog;
}

FileDialog createFileDialog(gmpi::IMpUnknown* host, int32_t dialogType)
{
    FileDialog dialog;
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpGraphicsHostBase> base;
    if (host)
        host->queryInterface(gmpi::MP_IID_GRAPHICS_HOST_BASE, base.asIMpUnknownPtr());
    if (base)
        base->createFileDialog(dialogType, dialog.getAddressOf());
    return dialog;
}
} // namespace GmpiGui

std::string GetExtension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    const size_t sep = path.find_last_of("/\\");
    if (sep != std::string::npos && sep > dot)
        return {};
    return path.substr(dot + 1);
}
