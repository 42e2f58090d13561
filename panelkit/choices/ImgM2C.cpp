// A menu selection held as a choice: no selection (-1) keeps the last choice;
// every other value, other negative ones included, becomes the choice.
#include "../logic/family.h"

class QW_ImgM2C : public MpGuiInvisibleBase
{
public:
    QW_ImgM2C()
    {
        initializePin(choice_);
        initializePin(selection_, &QW_ImgM2C::onSetSel);
    }

private:
    void onSetSel()
    {
        if (selection_ != -1)
            choice_ = selection_.getValue();
    }

    MpGuiPin<int> choice_;
    MpGuiPin<int> selection_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ImgM2C", &gmpi::Register<QW_ImgM2C>::withId);
}
