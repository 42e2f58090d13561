// Drawn test module of the host's native widgets: a left-button press opens a
// menu of the items list at the pointer, the command pin opens a text edit,
// an OK/Cancel dialog or a file dialog, and the context menu offers the same
// items. Answers come back on the output pins.
//
// Pins: 0 items (enumeration list), 1 text, 2 command (1 text edit, 2
// OK/Cancel, 3 file dialog), 3 choice out (chosen id), 4 answer out (entered
// text or chosen path), 5 result out (last result code; -100 while a widget
// is open), 6 completions out.
#include "it_enum_list.h"
#include "mp_sdk_dialogs.h"
#include "mp_sdk_gui2.h"

class QW_TestWidgets : public gmpi_gui::MpGuiGfxBase
{
public:
    enum Command
    {
        TEXT_EDIT = 1,
        OK_CANCEL = 2,
        FILE_DIALOG = 3,
    };

    QW_TestWidgets()
    {
        initializePin(items_);
        initializePin(text_);
        initializePin(command_, &QW_TestWidgets::onSetCommand);
        initializePin(choice_);
        initializePin(answer_);
        initializePin(result_);
        initializePin(completions_);
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        // A menu still open is replaced: its answer no longer counts.
        menu_ = GmpiGui::GraphicsHost(getGuiHost()).createPlatformMenu(point);
        it_enum_list list(items_.getValue());
        for (list.First(); !list.IsDone(); list.Next())
        {
            const int type = list.CurrentItem()->getType();
            if (type == 2 || type == 4)
                continue;
            menu_.AddItem(list.CurrentItem()->text, list.CurrentItem()->value, type == 0 ? 0 : 8);
        }
        result_ = kOpen;
        menu_.ShowAsync([this](int32_t result) {
            done(result);
            if (result == 0)
                choice_ = menu_.GetSelectedId();
        });
        return gmpi::MP_OK;
    }

    int32_t populateContextMenu(float, float, gmpi::IMpUnknown* sink) override
    {
        gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpContextItemSink> items;
        if (!sink || sink->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, items.asIMpUnknownPtr()) != gmpi::MP_OK)
            return gmpi::MP_UNHANDLED;
        it_enum_list list(items_.getValue());
        for (list.First(); !list.IsDone(); list.Next())
            items->AddItem(gmpi_sdk::toUtf8(list.CurrentItem()->text).c_str(), list.CurrentItem()->value, 0);
        return gmpi::MP_OK;
    }

    int32_t onContextMenu(int32_t selection) override
    {
        choice_ = selection;
        return gmpi::MP_OK;
    }

private:
    void onSetCommand()
    {
        if (command_.getValue() >= TEXT_EDIT && command_.getValue() <= FILE_DIALOG)
            result_ = kOpen;
        switch (command_.getValue())
        {
        case TEXT_EDIT:
            edit_ = GmpiGui::GraphicsHost(getGuiHost()).createPlatformTextEdit(getRect());
            edit_.SetText(text_);
            edit_.SetAlignment(gmpi_gui::MP_TEXT_ALIGN_CENTER);
            edit_.SetTextSize(12.0f);
            edit_.ShowAsync([this](int32_t result) {
                done(result);
                if (result == 0)
                    answer_ = gmpi_sdk::fromUtf8(edit_.GetText());
            });
            break;
        case OK_CANCEL:
            okCancel_ = GmpiGui::GraphicsHost(getGuiHost()).createOkCancelDialog(0);
            okCancel_.SetFirstText(text_);
            okCancel_.SetSecondText(items_);
            okCancel_.ShowAsync([this](int32_t result) { done(result); });
            break;
        case FILE_DIALOG:
            file_ = GmpiGui::createFileDialog(getHost(), 1);
            file_.AddExtensionList(items_);
            file_.SetInitialFullPath(text_);
            file_.ShowAsync([this](int32_t result) {
                done(result);
                if (result == 0)
                    answer_ = gmpi_sdk::fromUtf8(file_.GetSelectedFilename());
            });
            break;
        default:
            break;
        }
    }

    void done(int32_t result)
    {
        result_ = result;
        completions_ = completions_ + 1;
    }

    static constexpr int32_t kOpen = -100;

    StringGuiPin items_;
    StringGuiPin text_;
    MpGuiPin<int> command_;
    MpGuiPin<int> choice_;
    StringGuiPin answer_;
    MpGuiPin<int> result_;
    MpGuiPin<int> completions_;

    GmpiGui::PopupMenu menu_;
    GmpiGui::TextEdit edit_;
    GmpiGui::OkCancelDialog okCancel_;
    GmpiGui::FileDialog file_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestWidgets", &gmpi::Register<QW_TestWidgets>::withId);
}
