// Opens the host's file dialog when its trigger falls after rising (a button
// released) and writes the chosen file to its file-name pin, then pulses both
// done pins for 100 ms. A file of a kind the host keeps resources of (by
// extension, letter case included) is written as its bare name when the host
// finds that name as a resource at the very path chosen.
#include "../timing/timed_module.h"
#include "mp_sdk_dialogs.h"
#include "mp_sdk_gui.h"

#include <cstring>

namespace
{
constexpr int32_t kDonePulseMs = 100;

// The host's resource type of a file extension; null for none.
const char* resourceType(const std::string& extension)
{
    static const struct
    {
        const char* extension;
        const char* type;
    } kTypes[] = {
        {"sf2", "Instrument"}, {"sfz", "Instrument"}, {"png", "Image"}, {"bmp", "Image"},
        {"jpg", "Image"},      {"wav", "Audio"},      {"mid", "MIDI"},
    };
    for (const auto& t : kTypes)
        if (extension == t.extension)
            return t.type;
    return nullptr;
}
} // namespace

class QW_FileReq2 : public qw::TimedModule
{
public:
    QW_FileReq2()
    {
        initializePin(fileName_);
        initializePin(extensions_);
        initializePin(dialogType_);
        initializePin(doneL_);
        initializePin(open_, &QW_FileReq2::onSetOpen);
        initializePin(doneR_);
    }

private:
    bool tick() override
    {
        doneR_ = false;
        doneL_ = doneR_;
        return false;
    }

    void onSetOpen()
    {
        if (open_)
        {
            armed_ = true;
            return;
        }
        if (!armed_)
            return;
        armed_ = false;
        dialog_ = GmpiGui::createFileDialog(getHost(), dialogType_ ? 1 : 0);
        if (dialog_.isNull())
            return;
        dialog_.AddExtensionList(extensions_);
        dialog_.SetInitialFullPath(fileName_);
        dialog_.ShowAsync([this](int32_t result) { OnFileDialogComplete(result); });
    }

    void OnFileDialogComplete(int32_t result)
    {
        if (result == 0)
        {
            const std::string chosen = dialog_.GetSelectedFilename();
            fileName_ = fromChosen(chosen);
            doneR_ = true;
            doneL_ = doneR_;
            startTimer(kDonePulseMs);
        }
        dialog_ = GmpiGui::FileDialog();
    }

    // The chosen path, or its bare name where the host's resources hold it.
    std::string fromChosen(const std::string& chosen) const
    {
        const char* type = resourceType(GetExtension(chosen));
        if (!type)
            return chosen;
        const size_t separator = chosen.find_last_of("/\\");
        const std::string bare = separator == std::string::npos ? chosen : chosen.substr(separator + 1);
        return getUiHost().FindResourceU(bare.c_str(), type) == chosen ? bare : chosen;
    }

    StringGuiPin fileName_;
    StringGuiPin extensions_;
    MpGuiPin<bool> dialogType_;
    MpGuiPin<bool> doneL_;
    MpGuiPin<bool> open_;
    MpGuiPin<bool> doneR_;

    GmpiGui::FileDialog dialog_;
    bool armed_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FileReq2", &gmpi::Register<QW_FileReq2>::withId);
}
