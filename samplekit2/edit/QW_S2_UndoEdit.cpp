// One level of undo and redo over the sample on its sample pin: it keeps the
// newest sample that arrived from outside and the one before it, and undo and
// redo publish the other of the two.
#include "own_sample.h"

class QW_S2_UndoEdit final : public MpGuiInvisibleBase
{
public:
    QW_S2_UndoEdit()
    {
        initializePin(sample_, &QW_S2_UndoEdit::onSetData);
        initializePin(undo_, &QW_S2_UndoEdit::onSetUndo);
        initializePin(redo_, &QW_S2_UndoEdit::onSetRedo);
    }

private:
    void onSetData()
    {
        if (!qw::edit::fromOutside(sample_, sending_))
            return;
        qw::edit::guarded([this] {
            // The buffer that is not current is never the one last published.
            const float* frames = sample_.frames();
            std::vector<float>(frames, frames + (frames ? sample_.count() : 0)).swap(buffers_[current_ ^ 1]);
            current_ ^= 1;
            canUndo_ = true;
        });
    }

    void onSetUndo()
    {
        if (!undo_ || !canUndo_)
            return;
        current_ ^= 1;
        qw::edit::publish(sample_, buffers_[current_], sending_);
        canUndo_ = false;
        canRedo_ = true;
    }

    void onSetRedo()
    {
        if (!redo_ || !canRedo_)
            return;
        current_ ^= 1;
        qw::edit::publish(sample_, buffers_[current_], sending_);
        canUndo_ = true;
        canRedo_ = false;
    }

    qw::Sample2GuiPin sample_;
    MpGuiPin<bool> undo_;
    MpGuiPin<bool> redo_;

    std::vector<float> buffers_[2];
    int current_ = 0;
    bool canUndo_ = false;
    bool canRedo_ = false;
    bool sending_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_UndoEdit", &gmpi::Register<QW_S2_UndoEdit>::withId);
}
