// A choice list of a shape's nodes for a list control ("<No Node>", and the
// first and last node when offered), kept in step with a node index both ways.
// The module's own index and choice coming back from the host run nothing.
#include "shape_tool.h"

#include <sstream>

class QW_ShapeNodeSel : public MpGuiInvisibleBase
{
public:
    QW_ShapeNodeSel()
    {
        initializePin(shape_, &QW_ShapeNodeSel::updateAll);
        initializePin(index_, &QW_ShapeNodeSel::onSetIndex);
        initializePin(offerFirst_, &QW_ShapeNodeSel::updateAll);
        initializePin(offerLast_, &QW_ShapeNodeSel::updateAll);
        initializePin(choice_, &QW_ShapeNodeSel::onSetChoice);
        initializePin(list_);
        expectOwnEchoes();
    }

private:
    void updateAll()
    {
        const MpBlob& blob = shape_.getValue();
        const qw::Shape s = qw::shapeOf(blob);
        if (s.invalid)
        {
            list_ = std::wstring(L"<No Node>=-1");
            count_ = 0;
            return;
        }
        count_ = s.count;

        std::wostringstream text;
        text << L"<No Node>=-1,";
        for (int32_t i = 0; i < count_; ++i)
        {
            if (i == 0)
            {
                if (offerFirst_)
                    text << L"First=0,";
            }
            else if (i == count_ - 1)
            {
                if (offerLast_)
                    text << L"Last=" << i;
            }
            else
                text << i << L'=' << i << L',';
        }
        std::wstring list = text.str();
        if (!list.empty() && list.back() == L',')
            list.pop_back();
        list_ = list;

        qw::ShapeEchoGuard::Raise raise(guard_);
        const int32_t c = recalcChoice();
        choice_ = c;
        index_ = c;
    }

    // The list value that stands for the current node index.
    int32_t recalcChoice() const
    {
        const int32_t i = index_;
        if (i < -1)
            return -1;
        if (i == 0 && !offerFirst_)
            return -1;
        const int32_t c = i < count_ ? i : count_ - 1;
        if (c == count_ - 1 && !offerLast_)
            return -1;
        return c;
    }

    void onSetIndex()
    {
        if (count_ != 0 && !guard_.raised())
            choice_ = recalcChoice();
    }

    void onSetChoice()
    {
        if (count_ == 0)
            return;
        qw::ShapeEchoGuard::Raise raise(guard_);
        index_ = choice_.getValue();
    }

    MpGuiPin<MpBlob> shape_;
    MpGuiPin<int> index_;
    MpGuiPin<bool> offerFirst_;
    MpGuiPin<bool> offerLast_;
    MpGuiPin<int> choice_;
    StringGuiPin list_;
    int32_t count_ = 0;
    qw::ShapeEchoGuard guard_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ShapeNodeSel", &gmpi::Register<QW_ShapeNodeSel>::withId);
}
