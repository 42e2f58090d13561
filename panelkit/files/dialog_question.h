// The host's OK/Cancel question as the dialog modules ask it: its two texts
// in order, the answer later, on the user-interface thread.
#pragma once

#include "../logic/family.h"
#include "mp_sdk_dialogs.h"
#include "mp_sdk_gui.h"

#include <functional>
#include <string>

namespace qw
{
class Question
{
public:
    // Opens the host's dialog (replacing one still open, whose answer is then
    // dropped); nothing happens when the host makes none. `answered` gets
    // true for OK.
    void ask(gmpi::IMpUnknown* host, const std::wstring& first, const std::wstring& second,
             std::function<void(bool)> answered)
    {
        dialog_ = GmpiGui::GraphicsHost(host).createOkCancelDialog(0);
        if (dialog_.isNull())
            return;
        dialog_.SetFirstText(gmpi_sdk::toUtf8(first));
        dialog_.SetSecondText(gmpi_sdk::toUtf8(second));
        dialog_.ShowAsync([this, answered = std::move(answered)](int32_t result) {
            dialog_ = GmpiGui::OkCancelDialog();
            answered(result == 0);
        });
    }

private:
    GmpiGui::OkCancelDialog dialog_;
};
} // namespace qw
