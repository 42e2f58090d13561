// Patch memory: one value of a patch (int, float, bool, text, blob or list
// choice) that the host keeps as a parameter and restores with the patch. The
// processing half passes the parameter on to an output; the interface half
// mirrors the parameter's fields (name, value, position, menu, mouse state)
// between the host-parameter pins and plain pins. Each type has two
// identifiers, which differ only in the host's description of them.
//
// The interface halves copy with the pins' own assignment, which sends only
// a changed value, so a copy coming back across a pair stops at once. Each
// half has one guarded pair: while its plain pin writes the parameter pin, a
// value the host hands that parameter pin is not copied back. Their own
// values coming back, whenever the host hands them back, are the echo
// record's and copy nothing.
#include "../logic/family.h"
#include "bridges.h"

// 0 parameter value; 1 output, sent when it differs (an equal text or blob
// sends nothing). The list's choice goes out as an enumeration value.
template <class In, class Out> class QW_PM_DSP final : public MpBase2
{
public:
    QW_PM_DSP()
    {
        initializePin(in_);
        initializePin(out_);
    }

    void onSetPins() override { out_ = in_.getValue(); }

private:
    In in_;
    Out out_;
};

using QW_PM_INT_DSP = QW_PM_DSP<IntInPin, IntOutPin>;
using QW_PM_FLOAT_DSP = QW_PM_DSP<FloatInPin, FloatOutPin>;
using QW_PM_BOOL_DSP = QW_PM_DSP<BoolInPin, BoolOutPin>;
using QW_PM_TEXT_DSP = QW_PM_DSP<StringInPin, StringOutPin>;
using QW_PM_BLOB_DSP = QW_PM_DSP<BlobInPin, BlobOutPin>;
using QW_PM_LIST_DSP = QW_PM_DSP<IntInPin, EnumOutPin>;

// Int, float and bool: parameter side 0 name, 1 value, 2 normalised
// position, 3 menu items, 4 menu selection, 5 mouse down; plain side 6 name,
// 7 value, 8 animation position, 9 menu items, 10 menu selection, 11 mouse
// down. Guarded: 8 -> 2.
template <class T> class QW_PM_ScalarGUI final : public MpGuiInvisibleBase
{
public:
    QW_PM_ScalarGUI()
    {
        initializePin(parName_, &QW_PM_ScalarGUI::onSetParName);
        initializePin(parValue_, &QW_PM_ScalarGUI::onSetParIO);
        initializePin(parNorm_, &QW_PM_ScalarGUI::onSetParNorm);
        initializePin(parMenuItems_, &QW_PM_ScalarGUI::onSetParMenuItems);
        initializePin(parMenuSel_);
        initializePin(parMouseDown_);
        initializePin(name_, &QW_PM_ScalarGUI::onSetName);
        initializePin(value_, &QW_PM_ScalarGUI::onSetValue);
        initializePin(animPos_, &QW_PM_ScalarGUI::onSetAnimPos);
        initializePin(menuItems_);
        initializePin(menuSel_, &QW_PM_ScalarGUI::onSetMenuSel);
        initializePin(mouseDown_, &QW_PM_ScalarGUI::onSetMouseDown);
        expectOwnEchoes();
    }

private:
    void onSetParName() { name_ = parName_; }
    void onSetParIO() { value_ = parValue_; }
    void onSetParNorm()
    {
        if (!guard_.raised())
            animPos_ = parNorm_;
    }
    void onSetParMenuItems() { menuItems_ = parMenuItems_; }
    void onSetName() { parName_ = name_; }
    void onSetValue() { parValue_ = value_; }
    void onSetAnimPos()
    {
        qw::EchoGuard::Raise raise(guard_);
        parNorm_ = animPos_;
    }
    void onSetMenuSel() { parMenuSel_ = menuSel_; }
    void onSetMouseDown() { parMouseDown_ = mouseDown_; }

    StringGuiPin parName_;
    MpGuiPin<T> parValue_;
    MpGuiPin<float> parNorm_;
    StringGuiPin parMenuItems_;
    MpGuiPin<int> parMenuSel_;
    MpGuiPin<bool> parMouseDown_;
    StringGuiPin name_;
    MpGuiPin<T> value_;
    MpGuiPin<float> animPos_;
    StringGuiPin menuItems_;
    MpGuiPin<int> menuSel_;
    MpGuiPin<bool> mouseDown_;
    qw::EchoGuard guard_;
};

using QW_PM_INT_GUI = QW_PM_ScalarGUI<int>;
using QW_PM_FLOAT_GUI = QW_PM_ScalarGUI<float>;
using QW_PM_BOOL_GUI = QW_PM_ScalarGUI<bool>;

// Text and blob: parameter side 0 name, 1 value; plain side 2 name, 3 value.
// Guarded: 3 -> 1.
template <class V> class QW_PM_ValueGUI final : public MpGuiInvisibleBase
{
public:
    QW_PM_ValueGUI()
    {
        initializePin(parName_, &QW_PM_ValueGUI::onSetParName);
        initializePin(parValue_, &QW_PM_ValueGUI::onSetParIO);
        initializePin(name_, &QW_PM_ValueGUI::onSetName);
        initializePin(value_, &QW_PM_ValueGUI::onSetValue);
        expectOwnEchoes();
    }

private:
    void onSetParName() { name_ = parName_; }
    void onSetParIO()
    {
        if (!guard_.raised())
            value_ = parValue_;
    }
    void onSetName() { parName_ = name_; }
    void onSetValue()
    {
        qw::EchoGuard::Raise raise(guard_);
        parValue_ = value_;
    }

    StringGuiPin parName_;
    qw::Pin<V> parValue_;
    StringGuiPin name_;
    qw::Pin<V> value_;
    qw::EchoGuard guard_;
};

using QW_PM_TEXT_GUI = QW_PM_ValueGUI<std::wstring>;
using QW_PM_BLOB_GUI = QW_PM_ValueGUI<MpBlob>;

// List choice: 0 parameter name, 1 parameter choice, 2 parameter item list,
// 3 item list in, 4 name, 5 choice, 6 item list out. The item list goes one
// way, 3 -> 2 -> 6; writing 2 does not pass it on to 6, only the host's
// notification of 2 does. Guarded: 5 -> 1.
class QW_PM_LIST_GUI final : public MpGuiInvisibleBase
{
public:
    QW_PM_LIST_GUI()
    {
        initializePin(parName_, &QW_PM_LIST_GUI::onSetParName);
        initializePin(parChoice_, &QW_PM_LIST_GUI::onSetParIO);
        initializePin(parList_, &QW_PM_LIST_GUI::onSetParList);
        initializePin(listIn_, &QW_PM_LIST_GUI::onSetItemListIn);
        initializePin(name_, &QW_PM_LIST_GUI::onSetName);
        initializePin(choice_, &QW_PM_LIST_GUI::onSetChoice);
        initializePin(listOut_);
        expectOwnEchoes();
    }

private:
    void onSetParName() { name_ = parName_; }
    void onSetParIO()
    {
        if (!guard_.raised())
            choice_ = parChoice_;
    }
    void onSetParList() { listOut_ = parList_; }
    void onSetItemListIn() { parList_ = listIn_; }
    void onSetName() { parName_ = name_; }
    void onSetChoice()
    {
        qw::EchoGuard::Raise raise(guard_);
        parChoice_ = choice_;
    }

    StringGuiPin parName_;
    MpGuiPin<int> parChoice_;
    StringGuiPin parList_;
    StringGuiPin listIn_;
    StringGuiPin name_;
    MpGuiPin<int> choice_;
    StringGuiPin listOut_;
    qw::EchoGuard guard_;
};

namespace
{
// The "_NAC" identifier, then the "_NAC_VOL" one, each with both halves.
template <class Dsp, class Gui> void registerType(const std::wstring& head)
{
    qw::bridges::registerPair<Dsp, Gui>((head + L"_NAC").c_str());
    qw::bridges::registerPair<Dsp, Gui>((head + L"_NAC_VOL").c_str());
}

const bool registered = [] {
    registerType<QW_PM_INT_DSP, QW_PM_INT_GUI>(L"QW_PM_INT");
    registerType<QW_PM_FLOAT_DSP, QW_PM_FLOAT_GUI>(L"QW_PM_FLOAT");
    registerType<QW_PM_BOOL_DSP, QW_PM_BOOL_GUI>(L"QW_PM_BOOL");
    registerType<QW_PM_TEXT_DSP, QW_PM_TEXT_GUI>(L"QW_PM_TEXT");
    registerType<QW_PM_BLOB_DSP, QW_PM_BLOB_GUI>(L"QW_PM_BLOB");
    registerType<QW_PM_LIST_DSP, QW_PM_LIST_GUI>(L"QW_PM_LIST");
    return true;
}();
} // namespace
