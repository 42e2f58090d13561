// Host menus, text edit and dialogs as small value classes. Each wrapper
// holds one reference to the host's widget and one completion handler, whose
// callback the host calls later, on the user-interface thread, with the
// user's answer (0 = chosen, confirmed or OK). A module keeps the wrapper as
// a member while the widget is open:
//
//   menu_ = GmpiGui::GraphicsHost(getGuiHost()).createPlatformMenu(point);
//   menu_.AddItem(L"Reset", 1);
//   menu_.ShowAsync([this](int32_t result) { if (result == 0) choose(menu_.GetSelectedId()); });
#pragma once

#include "Drawing.h"
#include "mp_api_dialogs.h"
#include "mp_api_gui2.h"
#include "mp_sdk_common.h"

#include <cstdint>
#include <functional>
#include <string>

namespace gmpi_gui
{
// Reference-counted holder of one callback. The wrapper that owns it keeps
// one reference; the host adds its own while it holds the handler, so the
// handler outlives a wrapper that is moved or destroyed while its widget is
// open (its callback is dropped then, and a late answer does nothing).
class MpCompletionHandler : public ICompletionCallback
{
public:
    MpCompletionHandler() = default;
    explicit MpCompletionHandler(std::function<void(int32_t)> callback) : callback_(std::move(callback)) {}

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    // Calls the stored callback (nothing when none is stored); answers 0.
    int32_t OnComplete(int32_t result) override;
    virtual ~MpCompletionHandler() = default;

    void setCallback(std::function<void(int32_t)> callback) { callback_ = std::move(callback); }
    void clearCallback() { callback_ = nullptr; }
    bool hasCallback() const { return static_cast<bool>(callback_); }
    int32_t refCount() const { return refCount_; }

private:
    std::function<void(int32_t)> callback_;
    int32_t refCount_ = 1;
};
} // namespace gmpi_gui

namespace GmpiGui
{
// What the four wrappers share: the host's widget (null when the host made
// none) and the completion handler handed to its show operation.
template <class I> class PlatformWidget
{
public:
    PlatformWidget() = default;
    PlatformWidget(PlatformWidget&& other) noexcept : object_(other.object_), handler_(other.handler_)
    {
        other.object_ = nullptr;
        other.handler_ = nullptr;
    }
    // Takes over the other's widget and handler (a host that holds the
    // handler keeps reaching the callback); the widget held before is
    // released and its pending answer dropped.
    PlatformWidget& operator=(PlatformWidget&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            object_ = other.object_;
            handler_ = other.handler_;
            other.object_ = nullptr;
            other.handler_ = nullptr;
        }
        return *this;
    }
    PlatformWidget(const PlatformWidget&) = delete;
    PlatformWidget& operator=(const PlatformWidget&) = delete;
    ~PlatformWidget() { reset(); }

    I* Get() const { return object_; }
    bool isNull() const { return object_ == nullptr; }
    explicit operator bool() const { return object_ != nullptr; }
    // For the host's creation call: drops the widget held now and gives the
    // address that receives the new one (with the reference it carries).
    I** getAddressOf()
    {
        reset();
        return &object_;
    }
    void** asIMpUnknownPtr() { return reinterpret_cast<void**>(getAddressOf()); }
    gmpi_gui::MpCompletionHandler* handler() const { return handler_; }

protected:
    // Stores the callback (replacing one stored before) and returns the
    // handler for the show call.
    gmpi_gui::MpCompletionHandler* prepareShow(std::function<void(int32_t)> callback)
    {
        if (!handler_)
            handler_ = new gmpi_gui::MpCompletionHandler();
        handler_->setCallback(std::move(callback));
        return handler_;
    }

private:
    void reset()
    {
        if (handler_)
        {
            handler_->clearCallback();
            handler_->release();
            handler_ = nullptr;
        }
        if (object_)
        {
            object_->release();
            object_ = nullptr;
        }
    }

    I* object_ = nullptr;
    gmpi_gui::MpCompletionHandler* handler_ = nullptr;
};

class PopupMenu : public PlatformWidget<gmpi_gui::IMpPlatformMenu>
{
public:
    void AddItem(const std::wstring& text, int32_t id, int32_t flags = 0);
    void ShowAsync(std::function<void(int32_t)> callback);
    // The chosen item's id after a completion with 0; -1 without a menu.
    int32_t GetSelectedId() const;
};

class TextEdit : public PlatformWidget<gmpi_gui::IMpPlatformText>
{
public:
    void SetText(const std::string& utf8);
    // The text as it stands (after a completion with 0: what the user entered).
    std::string GetText() const;
    // Horizontal alignment (0 left, 1 right, 2 centre) OR the second field
    // shifted left by 16 (gmpi_gui::MP_TEXT_EDIT_MULTILINE).
    void SetAlignment(int32_t alignment);
    void SetTextSize(float height);
    void ShowAsync(std::function<void(int32_t)> callback);
};

class OkCancelDialog : public PlatformWidget<gmpi_gui::IMpOkCancelDialog>
{
public:
    void SetFirstText(const std::string& utf8);
    void SetSecondText(const std::string& utf8);
    void ShowAsync(std::function<void(int32_t)> callback);
};

class FileDialog : public PlatformWidget<gmpi_gui::IMpFileDialog>
{
public:
    void AddExtension(const std::string& extension, const std::string& description = {});
    // One filter per entry of an enumeration-list text ("wav, aif"), at most
    // kMaxListEntries; a list that yields no entry gives one filter, "*"
    // (all files).
    void AddExtensionList(const std::wstring& list);
    void SetInitialFilename(const std::string& utf8);
    void SetInitialDirectory(const std::string& utf8);
    // Backslashes become "/"; the part after the last "/" is the file name,
    // the part before it the folder (empty for a bare name).
    void SetInitialFullPath(const std::string& path);
    void ShowAsync(std::function<void(int32_t)> callback);
    // The chosen path after a completion with 0.
    std::string GetSelectedFilename() const;
};
// A module's graphics host, with the widgets it makes. Without a host every
// widget comes back empty.
class GraphicsHost
{
public:
    GraphicsHost() = default;
    explicit GraphicsHost(gmpi_gui::IMpGraphicsHost* host) : host_(host) {}
    // Asks any host object for its graphics host.
    explicit GraphicsHost(gmpi::IMpUnknown* host);

    gmpi_gui::IMpGraphicsHost* Get() const { return host_.get(); }
    bool isNull() const { return host_.isNull(); }

    // A pop-up menu over the rectangle from the point to the point + (120, 20).
    PopupMenu createPlatformMenu(GmpiDrawing_API::MP1_POINT point);
    // A one-line text edit over the rectangle.
    TextEdit createPlatformTextEdit(GmpiDrawing::RectBase<float> rect);
    OkCancelDialog createOkCancelDialog(int32_t dialogType = 0);

private:
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpGraphicsHost> host_;
};

// A file dialog from the graphics host's base view, which a module asks of its
// user-interface host (MP_IID_GRAPHICS_HOST_BASE); empty when the host has none.
FileDialog createFileDialog(gmpi::IMpUnknown* host, int32_t dialogType);
} // namespace GmpiGui

// Characters after the last "." that follows the last "/" or "\"; empty
// when there is none. Case is kept.
std::string GetExtension(const std::string& path);
