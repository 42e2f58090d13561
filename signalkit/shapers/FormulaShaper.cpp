// Formula wave shaper: the transfer function is a formula in x with the
// parameters a and b, evaluated once per change into a 2048-entry table that
// the audio reads by linear interpolation. The voices of one instance share
// the table; the first voice that sees a new value rebuilds it for all.
#include "formula_table.h"
#include "mp_base_poly.h"
#include "shapers.h"

class QW_FormulaShaper final : public qw::MpBasePoly<qw::shapers::FormulaTable>
{
public:
    QW_FormulaShaper()
    {
        initializePin(pinIn_);
        initializePin(pinFormula_);
        initializePin(pinA_);
        initializePin(pinB_);
        initializePin(pinOdd_);
        initializePin(pinOut_);
        setSubProcess(&QW_FormulaShaper::subProcess);
    }

    int32_t open() override
    {
        const int32_t r = MpBasePoly::open();
        if (!common)
            allocCommonData();
        return r;
    }

    void onSetPins() override
    {
        if (!common)
            allocCommonData();
        const float a = pinA_, b = pinB_;
        const bool odd = pinOdd_;
        common->update(pinFormula_.isUpdated() ? &pinFormula_.getValue() : nullptr, pinA_.isUpdated() ? &a : nullptr,
                       pinB_.isUpdated() ? &b : nullptr, pinOdd_.isUpdated() ? &odd : nullptr);
        if (pinIn_.isUpdated())
            pinOut_.setStreaming(pinIn_.isStreaming());
    }

    void subProcess(int sampleFrames)
    {
        float* out = pinOut_.getBuffer() + blockPosition_;
        if (!common)
        {
            std::fill_n(out, sampleFrames, 0.0f);
            return;
        }
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const qw::shapers::FormulaTable& t = *common;
        if (t.odd)
            for (int i = 0; i < sampleFrames; ++i)
                out[i] = qw::shapers::FormulaTable::shapeOdd(t.table, x[i]);
        else
            for (int i = 0; i < sampleFrames; ++i)
                out[i] = qw::shapers::FormulaTable::shapeFull(t.table, x[i]);
    }

private:
    AudioInPin pinIn_;
    StringInPin pinFormula_;
    FloatInPin pinA_;
    FloatInPin pinB_;
    BoolInPin pinOdd_;
    AudioOutPin pinOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FormulaShaper", &gmpi::Register<QW_FormulaShaper>::withId);
}
