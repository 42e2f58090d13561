// Reads a shape file chosen by name and publishes its interpolation type and
// then the shape's blob. A name that cannot be read is tried once more as the
// bare file name resolved by the host; a file that gives no valid shape leaves
// both outputs as they were.
#include "shape_tool.h"

class QW_ShapeLoader3 : public MpGuiInvisibleBase
{
public:
    QW_ShapeLoader3()
    {
        initializePin(shape_);
        initializePin(type_);
        initializePin(trigger_, &QW_ShapeLoader3::onSetTrig);
        initializePin(loadOnName_);
        initializePin(nameL_, &QW_ShapeLoader3::onSetFNameL);
        initializePin(nameR_, &QW_ShapeLoader3::onSetFNameR);
    }

private:
    void onSetFNameL()
    {
        name_ = nameL_.getValue();
        if (loadOnName_ == 1)
            doLoad();
    }
    void onSetFNameR()
    {
        name_ = nameR_.getValue();
        if (loadOnName_ == 1)
            doLoad();
    }
    void onSetTrig()
    {
        if (!trigger_)
            return;
        if (name_.empty())
        {
            if (!nameL_.getValue().empty())
                name_ = nameL_.getValue();
            else if (!nameR_.getValue().empty())
                name_ = nameR_.getValue();
        }
        doLoad();
    }

    void doLoad()
    {
        // A name with a NUL in it names no file; handed on it would name another.
        if (name_.empty() || name_.find(L'\0') != std::wstring::npos)
            return;
        qw::Shape s;
        s.loadShp(name_);
        if (s.invalid)
        {
            const size_t slash = name_.find_last_of(L'/');
            const std::wstring bare = slash == std::wstring::npos ? name_ : name_.substr(slash + 1);
            const std::wstring full = bare.empty() ? std::wstring() : getUiHost().resolveFilename(bare);
            s.loadShp(full);
        }
        if (s.invalid)
            return;
        type_ = static_cast<int>(s.itp);
        pinTransmit(shape_.getId(), static_cast<int32_t>(s.blobSize()), s.blobData(), 0);
    }

    MpGuiPin<MpBlob> shape_;
    MpGuiPin<int> type_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<int> loadOnName_;
    StringGuiPin nameL_;
    StringGuiPin nameR_;
    std::wstring name_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeLoader3", &gmpi::Register<QW_ShapeLoader3>::withId);
}
