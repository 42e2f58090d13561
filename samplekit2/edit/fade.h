// The two fades: the selection's frames are multiplied by the fade curve at
// t = k / n for k = 0 .. n - 1 (n frames), from the start forwards (fade in)
// or from the end backwards (fade out), so the first faded frame becomes 0.
#pragma once

#include "SampleEditorBase.h"
#include "edit_maths.h"

template <bool fromEnd> class SampleFade : public SampleEditorBase
{
public:
    SampleFade() { initializePin(exponential_); }

private:
    void doEdit(int start, int end) override
    {
        auto& x = editable();
        const int n = end - start + 1;
        const float step = 1.0f / static_cast<float>(n);
        for (int k = 0; k < n; ++k)
            x[static_cast<size_t>(fromEnd ? end - k : start + k)] *=
                qw::edit::fadeCurve(static_cast<float>(k) * step, exponential_);
        sendCache();
    }

    MpGuiPin<bool> exponential_;
};
