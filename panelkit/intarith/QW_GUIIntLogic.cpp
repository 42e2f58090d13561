// Bitwise AND (operation 0), OR (1) or XOR (any other operation) of two
// integers, computed on a change of any of the three inputs.
//
// Pins: operands, operation, result on two copies (the second written first).
#include "int_family.h"

class QW_GUIIntLogic : public MpGuiInvisibleBase
{
public:
    QW_GUIIntLogic()
    {
        initializePin(a_, &QW_GUIIntLogic::onSetIn);
        initializePin(b_, &QW_GUIIntLogic::onSetIn);
        initializePin(operation_, &QW_GUIIntLogic::onSetIn);
        initializePin(first_);
        initializePin(second_);
    }

private:
    void onSetIn() { qw::writeCopies(first_, second_, qw::i32::logic(a_, b_, operation_)); }

    MpGuiPin<int> a_, b_, operation_;
    MpGuiPin<int> first_, second_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntLogic", &gmpi::Register<QW_GUIIntLogic>::withId);
} // namespace
