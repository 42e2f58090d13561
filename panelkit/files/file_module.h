// What the savers and loaders share: their pins, in this order (the data, a
// trigger, the mode, the file name's left and right sides), the current file
// name and when they act. `Module` supplies
//   static constexpr bool kActsOnData;   mode 2 acts on a data change
//   std::wstring currentName(const std::wstring& pinText);   the name a file-name pin gives
//   void act();                          the save or load
#pragma once

#include "../logic/family.h"
#include "file_names.h"

namespace qw::files
{
template <class Module, class T> class FileModule : public MpGuiInvisibleBase
{
protected:
    FileModule()
    {
        initializePin(data_, &FileModule::onSetData);
        initializePin(trigger_, &FileModule::onSetTrig);
        initializePin(mode_);
        initializePin(nameL_, &FileModule::onSetFNameL);
        initializePin(nameR_, &FileModule::onSetFNameR);
    }

    qw::Pin<T> data_;
    std::wstring name_;

private:
    Module& module() { return static_cast<Module&>(*this); }

    void onSetData()
    {
        if (Module::kActsOnData && mode_ == ON_DATA)
            onTrigger();
    }
    void onSetTrig()
    {
        if (trigger_)
            onTrigger();
    }
    void onSetFNameL() { onSetFName(nameL_); }
    void onSetFNameR() { onSetFName(nameR_); }

    void onSetFName(const std::wstring& text)
    {
        name_ = module().currentName(text);
        if (mode_ == ON_NAME)
            module().act();
    }

    void onTrigger()
    {
        takeNameIfEmpty(name_, nameL_, nameR_);
        module().act();
    }

    MpGuiPin<bool> trigger_;
    MpGuiPin<int> mode_;
    StringGuiPin nameL_;
    StringGuiPin nameR_;
};
} // namespace qw::files
