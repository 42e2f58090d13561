// Tells whether the file named on the left or right file-name pin opens for
// reading (the name as it stands; the host does not resolve it): false, or
// true held (level mode) or a true-false pulse (pulse mode) on both result
// pins, the right one first each time. An empty name changes nothing.
#include "file_names.h"

class QW_FileExists : public MpGuiInvisibleBase
{
public:
    QW_FileExists()
    {
        initializePin(pulse_);
        initializePin(nameL_, &QW_FileExists::onSetFilenameL);
        initializePin(nameR_, &QW_FileExists::onSetFilenameR);
        initializePin(existsL_);
        initializePin(existsR_);
    }

private:
    void onSetFilenameL() { processEvent(nameL_); }
    void onSetFilenameR() { processEvent(nameR_); }

    void processEvent(const std::wstring& name)
    {
        if (name.empty())
            return;
        std::filesystem::path path;
        const bool exists = qw::files::toPath(name, path) && qw::files::opensForReading(path);
        set(exists);
        if (exists && pulse_)
            set(false);
    }

    void set(bool value)
    {
        existsR_ = value;
        existsL_ = existsR_;
    }

    MpGuiPin<bool> pulse_;
    StringGuiPin nameL_;
    StringGuiPin nameR_;
    MpGuiPin<bool> existsL_;
    MpGuiPin<bool> existsR_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FileExists", &gmpi::Register<QW_FileExists>::withId);
}
