// Asks the user an OK/Cancel question, its two texts from the first two pins,
// on each true of its trigger, and pulses the OK or the Cancel pin with the
// answer. The value the host sets on the trigger at start is not a request.
#include "dialog_question.h"

class QW_OKCancelDialog : public MpGuiInvisibleBase
{
public:
    QW_OKCancelDialog()
    {
        initializePin(firstText_);
        initializePin(secondText_);
        initializePin(trigger_, &QW_OKCancelDialog::onSetTrig);
        initializePin(ok_);
        initializePin(cancel_);
    }

private:
    void onSetTrig()
    {
        if (first_)
        {
            first_ = false;
            return;
        }
        if (trigger_)
            question_.ask(getHost(), firstText_, secondText_, [this](bool ok) { qw::pulse(ok ? ok_ : cancel_); });
    }

    StringGuiPin firstText_;
    StringGuiPin secondText_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<bool> ok_;
    MpGuiPin<bool> cancel_;

    qw::Question question_;
    bool first_ = true;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_OKCancelDialog", &gmpi::Register<QW_OKCancelDialog>::withId);
}
