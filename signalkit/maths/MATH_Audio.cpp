// Audio-rate maths: one function applied sample by sample to audio signals,
// the audio-rate members of the control-rate family with the same option
// meanings. Rows "in volts" read a sample s as 10 s volts: the input is
// multiplied by 10, the function applied and the result multiplied by 0.1.
// The logarithm gives -Inf for 0 or less; every other result beyond the float
// range (a power, an exponent, a tangent at a quarter turn, a radius, a
// mapping's products) saturates at the largest float, worked out in double
// where the float arithmetic would overflow on the way to a result that
// fits. The fast exponent and logarithm keep their arguments inside their
// domains.
#include "audio_modules.h"
#include "qw_finite.h"

namespace
{
using namespace qw::maths;
using qw::maths::Streaming;

// Angle factors with the volts scaling: {turns in, degrees in, turns out,
// degrees out}, and the two outputs of Sign (1 V, -1 V).
constexpr float kVoltTable[6] = {10.0f, 0.027777778f, 0.1f, 36.0f, 0.1f, -0.1f};

// An angle sample (volts) to turns.
float angleInFactor(int unit)
{
    return unit == 0 ? 1.5915494f : kVoltTable[unit == 1];
}
// Turns to an angle sample (volts).
float angleOutFactor(int unit)
{
    return unit == 0 ? 0.62831855f : kVoltTable[2 + (unit == 1)];
}

// Exponent and logarithm bases 2, e, 10: 2^(x k) = base^x; log2(x) k = log x.
constexpr float kExpFactor[3] = {1.0f, 1.442695f, 3.321928f};
constexpr float kLogFactor[3] = {1.0f, 0.6931472f, 0.30103f};

int baseIndex(int option)
{
    return option == 0 || option == 1 ? option : 2;
}

// The radius of (re, im), in double where the squares overflow a float.
double wideRadius(float re, float im)
{
    return std::sqrt(static_cast<double>(re) * re + static_cast<double>(im) * im);
}

// Every float from 2^24 up is a whole number of turns, where the tangent is
// 0; taking them as 0 keeps the period's reduction from overflowing.
float tangentTurns(float t)
{
    return std::fabs(t) >= 16777216.0f && std::fabs(t) <= FLT_MAX ? 0.0f : t;
}

// One input, option 0 the base (2, e, 10), option 1 the precision (fast,
// accurate): one routine per pair, `Derived::value<B, Accurate>` per sample,
// then `Derived::finish<B, Accurate>` over the span (nothing by default).
template <class Derived> class BaseAndPrecision : public AudioFrame<1, 2, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0) || optionUpdated(1))
        {
            static const SubProcess_ptr kRoutines[6] = {
                routine<0, false>(), routine<0, true>(),  routine<1, false>(),
                routine<1, true>(),  routine<2, false>(), routine<2, true>(),
            };
            setSubProcess(kRoutines[2 * baseIndex(option(0)) + (option(1) != 0)]);
        }
    }

    template <int B, bool Accurate> static void finish(const float*, float*, int) {}

private:
    template <int B, bool Accurate> void run(int n)
    {
        map(n, [](float x) { return Derived::template value<B, Accurate>(x); });
        Derived::template finish<B, Accurate>(in(0), out(0), n);
    }
    template <int B, bool Accurate> static SubProcess_ptr routine()
    {
        return static_cast<SubProcess_ptr>(&BaseAndPrecision::run<B, Accurate>);
    }
};
} // namespace

// 0 a in x; 1 enum unit; 2 a out: 0.1 cos of the angle.
class QW_AudioCos final : public AudioFrame<1, 1, 1, Streaming::UnlessBothStream>
{
public:
    QW_AudioCos() { setSubProcess(&QW_AudioCos::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            factor_ = angleInFactor(option(0));
    }
    void subProcess(int n)
    {
        const float k = factor_;
        map(n, [k](float x) { return 0.1f * qw::fm::cosTurns(scaled(x, k)); });
    }

private:
    float factor_ = 0.0f;
};

// 0 a in x; 1 enum unit; 2 a out: 0.1 sin of the angle.
class QW_AudioSin final : public AudioFrame<1, 1, 1, Streaming::UnlessBothStream>
{
public:
    QW_AudioSin() { setSubProcess(&QW_AudioSin::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            factor_ = angleInFactor(option(0));
    }
    void subProcess(int n)
    {
        const float k = factor_;
        map(n, [k](float x) { return 0.1f * qw::fm::sinTurns(scaled(x, k)); });
    }

private:
    float factor_ = 0.0f;
};

// 0 a in x; 1 enum base; 2 enum precision; 3 a out: base^(volts), in volts.
class QW_AudioExp final : public BaseAndPrecision<QW_AudioExp>
{
public:
    // The exponent of 2.
    template <int B, bool Accurate> static float exponent(float x)
    {
        const float y = volts(x) * kExpFactor[B];
        return Accurate ? y : fastExpArg(y);
    }
    template <int B, bool Accurate> static float value(float x)
    {
        const float e = exponent<B, Accurate>(x);
        return 0.1f * (Accurate ? qw::fm::exp2Acc(e) : qw::fm::exp2Fast(e));
    }
    // A result beyond the float range, in double: saturated, or 0.1 x 2^128
    // that fits though 2^128 does not. A pass of its own, so the loop above
    // keeps no branch per sample.
    template <int B, bool Accurate> static void finish(const float* x, float* y, int n)
    {
        qw::finite::finiteOrWide(y, n, [x](int i) { return 0.1 * std::exp2(double{exponent<B, Accurate>(x[i])}); });
    }
};

// 0 a in x; 1 enum rounding; 2 a out: truncated or nearest whole volt.
class QW_AudioRound final : public AudioFrame<1, 1, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            setSubProcess(option(0) == 0 ? &QW_AudioRound::subProcessTrunc : &QW_AudioRound::subProcessNearest);
    }
    void subProcessTrunc(int n)
    {
        map(n, [](float x) { return 0.1f * flt::round(volts(x), 0); });
    }
    void subProcessNearest(int n)
    {
        map(n, [](float x) { return 0.1f * flt::round(volts(x), 1); });
    }
};

// 0 a in x; 1 a out: the fractional part of the volts, sign kept.
class QW_AudioFrac final : public AudioFrame<1, 0, 1, Streaming::Always>
{
public:
    QW_AudioFrac() { setSubProcess(&QW_AudioFrac::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float x) { return 0.1f * flt::frac(volts(x)); });
    }
};

// 0 x; 1 input low; 2 input high; 3 output low; 4 output high; 5 out.
class QW_AudioRngScal final : public AudioFrame<5, 0, 1, Streaming::UnlessBothStream>
{
public:
    QW_AudioRngScal() { setSubProcess(&QW_AudioRngScal::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, flt::rangeScale);
        // A result whose float arithmetic overflowed, in double; so is one
        // whose input range overflowed (the quotient would be lost as 0).
        const float* x = in(0);
        const float* inLow = in(1);
        const float* inHigh = in(2);
        const float* outLow = in(3);
        const float* outHigh = in(4);
        float* y = out(0);
        for (int i = 0; i < n; ++i)
            if (!(std::fabs(y[i]) <= FLT_MAX) || !(std::fabs(inHigh[i] - inLow[i]) <= FLT_MAX))
                y[i] = qw::finite::narrowed(outLow[i] + (static_cast<double>(x[i]) - inLow[i]) *
                                                            (static_cast<double>(outHigh[i]) - outLow[i]) /
                                                            (static_cast<double>(inHigh[i]) - inLow[i]));
    }
};

// 0 a in x; 1 enum base; 2 enum precision; 3 a out: the logarithm of the
// volts, in volts. The fast form takes 0 and below as the smallest normal
// float; the accurate form gives -Inf there.
class QW_AudioLog final : public BaseAndPrecision<QW_AudioLog>
{
public:
    template <int B, bool Accurate> static float value(float x)
    {
        if constexpr (Accurate)
            return 0.1f * flt::log(volts(x), B);
        else
            return 0.1f * (qw::fm::log2Fast(fastLogArg(volts(x))) * kLogFactor[B]);
    }
};

// 0 a; 1 b; 2 enum comparison; 3 out: the larger (signed or by magnitude).
class QW_AudioMax final : public AudioFrame<2, 1, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            setSubProcess(option(0) == 0 ? &QW_AudioMax::subProcessRel : &QW_AudioMax::subProcessAbs);
    }
    void subProcessRel(int n)
    {
        map(n, [](float a, float b) { return flt::max(a, b, 0); });
    }
    void subProcessAbs(int n)
    {
        map(n, [](float a, float b) { return flt::max(a, b, 1); });
    }
};

// 0 a; 1 b; 2 enum comparison; 3 out: the smaller (signed or by magnitude).
class QW_AudioMin final : public AudioFrame<2, 1, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            setSubProcess(option(0) == 0 ? &QW_AudioMin::subProcessRel : &QW_AudioMin::subProcessAbs);
    }
    void subProcessRel(int n)
    {
        map(n, [](float a, float b) { return flt::min(a, b, 0); });
    }
    void subProcessAbs(int n)
    {
        map(n, [](float a, float b) { return flt::min(a, b, 1); });
    }
};

// 0 a in x; 1 bool in reset; 2 a out minimum; 3 a out maximum: the running
// extremes of x, starting from 0 (and from 0 again after a reset), written
// every sample. Samples that are not finite are passed over, as NaN is by
// any comparison, so an infinite burst does not stay in the extremes.
class QW_AudioMinMax final : public AudioFrame<1, 1, 2, Streaming::Always, BoolInPin>
{
public:
    QW_AudioMinMax() { setSubProcess(&QW_AudioMinMax::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0) && option(0))
            lowest_ = highest_ = 0.0f;
    }
    void subProcess(int n)
    {
        const float* x = in(0);
        float* lo = out(0);
        float* hi = out(1);
        float l = lowest_, h = highest_;
        for (int i = 0; i < n; ++i)
        {
            const float v = x[i];
            l = v < l && v >= -FLT_MAX ? v : l;
            h = v > h && v <= FLT_MAX ? v : h;
            lo[i] = l;
            hi[i] = h;
        }
        lowest_ = l;
        highest_ = h;
    }

private:
    float lowest_ = 0.0f;
    float highest_ = 0.0f;
};

// 0 a in base; 1 a in exponent; 2 enum precision; 3 a out: base^exponent in
// volts; 0 for a negative base.
class QW_AudioPow final : public AudioFrame<2, 1, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
        {
            const int o = option(0);
            setSubProcess(o == 0   ? &QW_AudioPow::subProcessFast
                          : o == 1 ? &QW_AudioPow::subProcessGood
                                   : &QW_AudioPow::subProcessExact);
        }
    }
    // Each routine in plain float arithmetic, then a pass that works a result
    // beyond the float range out again in double (saturated, or a value that
    // fits though the float power on the way does not): no branch per sample
    // in the loop. A negative base gives 0, never worked out again.
    void subProcessFast(int n)
    {
        map(n, [](float base, float exponent) {
            return base < 0.0f ? 0.0f : 0.1f * qw::fm::exp2Fast(fast(base, exponent));
        });
        const float* b = in(0);
        const float* x = in(1);
        qw::finite::finiteOrWide(out(0), n, [b, x](int i) { return 0.1 * std::exp2(double{fast(b[i], x[i])}); });
    }
    void subProcessGood(int n)
    {
        map(n, [](float base, float exponent) {
            return base < 0.0f ? 0.0f : 0.1f * qw::fm::exp2Acc(good(base, exponent));
        });
        const float* b = in(0);
        const float* x = in(1);
        qw::finite::finiteOrWide(out(0), n, [b, x](int i) { return 0.1 * std::exp2(double{good(b[i], x[i])}); });
    }
    void subProcessExact(int n)
    {
        map(n, [](float base, float exponent) { return 0.1f * flt::pow(volts(base), volts(exponent)); });
        const float* b = in(0);
        const float* x = in(1);
        qw::finite::finiteOrWide(out(0), n,
                                 [b, x](int i) { return 0.1 * std::pow(double{volts(b[i])}, double{volts(x[i])}); });
    }

private:
    // The exponent of 2 of the fast and the good routine.
    static float fast(float base, float exponent)
    {
        return fastExpArg(qw::fm::log2Fast(fastLogArg(volts(base))) * volts(exponent));
    }
    static float good(float base, float exponent) { return qw::fm::log2Acc(volts(base)) * volts(exponent); }
};

// 0 a in x; 1 a out: the square root of the volts; 0 below 0.
class QW_AudioSqrt final : public AudioFrame<1, 0, 1, Streaming::Always>
{
public:
    QW_AudioSqrt() { setSubProcess(&QW_AudioSqrt::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float x) { return 0.1f * flt::sqrt(volts(x)); });
    }
};

// 0 a in x; 1 a in range; 2 a out: x into [0, range); 0 for range <= 0.
class QW_AudioWrap final : public AudioFrame<2, 0, 1, Streaming::Always>
{
public:
    QW_AudioWrap() { setSubProcess(&QW_AudioWrap::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n) { map(n, flt::wrap); }
};

// 0 x; 1 lower bound; 2 upper bound; 3 enum clip; 4 out. With both bounds
// and crossed bounds, x below the lower bound gives the lower bound and any
// other x above the upper bound the upper bound.
class QW_AudioClip final : public AudioFrame<3, 1, 1, Streaming::UnlessBothStream>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
        {
            const int o = option(0);
            setSubProcess(o == 0   ? &QW_AudioClip::subProcessClipMin
                          : o == 1 ? &QW_AudioClip::subProcessClipMax
                                   : &QW_AudioClip::subProcessClipBoth);
        }
    }
    void subProcessClipMin(int n)
    {
        map(n, [](float x, float lower, float) { return lower > x ? lower : x; });
    }
    void subProcessClipMax(int n)
    {
        map(n, [](float x, float, float upper) { return upper < x ? upper : x; });
    }
    void subProcessClipBoth(int n)
    {
        map(n, [](float x, float lower, float upper) { return lower > x ? lower : (x > upper ? upper : x); });
    }
};

// 0 a in radius; 1 a in angle; 2 enum unit; 3 a out re; 4 a out im.
class QW_AudioP2C final : public AudioFrame<2, 1, 2, Streaming::UnlessBothStream>
{
public:
    QW_AudioP2C() { setSubProcess(&QW_AudioP2C::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            factor_ = angleInFactor(option(0));
    }
    void subProcess(int n)
    {
        const float* r = in(0);
        const float* a = in(1);
        float* re = out(0);
        float* im = out(1);
        const float k = factor_;
        for (int i = 0; i < n; ++i)
        {
            float s, c;
            qw::fm::sinCosTurns(scaled(a[i], k), s, c);
            re[i] = r[i] * c;
            im[i] = r[i] * s;
        }
    }

private:
    float factor_ = 0.0f;
};

// 0 a in re; 1 a in im; 2 enum unit; 3 a out radius; 4 a out angle.
class QW_AudioC2P final : public AudioFrame<2, 1, 2, Streaming::UnlessBothStream>
{
public:
    QW_AudioC2P() { setSubProcess(&QW_AudioC2P::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            factor_ = angleOutFactor(option(0));
    }
    void subProcess(int n)
    {
        const float* re = in(0);
        const float* im = in(1);
        float* radius = out(0);
        float* angle = out(1);
        const float k = factor_;
        for (int i = 0; i < n; ++i)
        {
            radius[i] = flt::radius(re[i], im[i]);
            angle[i] = qw::fm::atan2Turns(im[i], re[i]) * k;
        }
        qw::finite::finiteOrWide(radius, n, [re, im](int i) { return wideRadius(re[i], im[i]); });
    }

private:
    float factor_ = 0.0f;
};

// 0 a in re; 1 a in im; 2 a out.
class QW_AudioRadius final : public AudioFrame<2, 0, 1, Streaming::UnlessBothStream>
{
public:
    QW_AudioRadius() { setSubProcess(&QW_AudioRadius::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, flt::radius);
        const float* re = in(0);
        const float* im = in(1);
        qw::finite::finiteOrWide(out(0), n, [re, im](int i) { return wideRadius(re[i], im[i]); });
    }
};

// 0 a in re; 1 a in im; 2 enum unit; 3 a out.
class QW_AudioAngle final : public AudioFrame<2, 1, 1, Streaming::UnlessBothStream>
{
public:
    QW_AudioAngle() { setSubProcess(&QW_AudioAngle::subProcess); }
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            factor_ = angleOutFactor(option(0));
    }
    void subProcess(int n)
    {
        const float k = factor_;
        map(n, [k](float re, float im) { return qw::fm::atan2Turns(im, re) * k; });
    }

private:
    float factor_ = 0.0f;
};

// 0 a in x; 1 a out: -1 V below 0, else 1 V.
class QW_AudioSign final : public AudioFrame<1, 0, 1, Streaming::Always>
{
public:
    QW_AudioSign() { setSubProcess(&QW_AudioSign::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float x) { return x < 0.0f ? kVoltTable[5] : kVoltTable[4]; });
    }
};

// 0 a; 1 b; 2 mix; 3 out: (1 - mix) a + mix b, the mix unclamped.
class QW_AudioXFade final : public AudioFrame<3, 0, 1, Streaming::Always>
{
public:
    QW_AudioXFade() { setSubProcess(&QW_AudioXFade::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float a, float b, float m) { return (1.0f - m) * a + m * b; });
        const float* a = in(0);
        const float* b = in(1);
        const float* m = in(2);
        qw::finite::finiteOrWide(out(0), n,
                                 [a, b, m](int i) { return (1.0 - m[i]) * a[i] + static_cast<double>(m[i]) * b[i]; });
    }
};

// 0 a in x; 1 enum unit; 2 a out: 0.1 tan of the angle (the fast polynomial
// in every unit).
class QW_AudioTan final : public AudioFrame<1, 1, 1, Streaming::OnInputChange>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
        {
            const int o = option(0);
            setSubProcess(o == 0   ? &QW_AudioTan::subProcessRadians
                          : o == 1 ? &QW_AudioTan::subProcessDegrees
                                   : &QW_AudioTan::subProcessTurns);
            reportStaticChange();
        }
    }
    void subProcessRadians(int n) { tan(n, 1.5915494f); }
    void subProcessDegrees(int n) { tan(n, 0.02777777f); }
    void subProcessTurns(int n) { tan(n, 10.0f); }

private:
    void tan(int n, float k)
    {
        map(n, [k](float x) { return qw::finite::saturated(0.1f * flt::tanTurns(tangentTurns(scaled(x, k)))); });
    }
};

// 0 a in x; 1 enum cleaning; 2 a out: NaN as 0, +-Inf as +-1 (clamp) or 0
// (flush), finite samples unchanged.
class QW_AudioInfNanCln final : public AudioFrame<1, 1, 1, Streaming::OnInputChange>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
        {
            setSubProcess(option(0) == 0 ? &QW_AudioInfNanCln::subProcessClamp : &QW_AudioInfNanCln::subProcessFlush);
            reportStaticChange(); // an infinite constant now cleans differently
        }
    }
    void subProcessClamp(int n)
    {
        map(n, [](float x) { return flt::cleanInfNan(x, 0); });
    }
    void subProcessFlush(int n)
    {
        map(n, [](float x) { return flt::cleanInfNan(x, 2); });
    }
};

namespace
{
const bool registered = [] {
    registerModule<QW_AudioCos>(L"QW_AudioCos");
    registerModule<QW_AudioSin>(L"QW_AudioSin");
    registerModule<QW_AudioExp>(L"QW_AudioExp");
    registerModule<QW_AudioRound>(L"QW_AudioRound");
    registerModule<QW_AudioFrac>(L"QW_AudioFrac");
    registerModule<QW_AudioRngScal>(L"QW_AudioRngScal");
    registerModule<QW_AudioLog>(L"QW_AudioLog");
    registerModule<QW_AudioMax>(L"QW_AudioMax");
    registerModule<QW_AudioMin>(L"QW_AudioMin");
    registerModule<QW_AudioMinMax>(L"QW_AudioMinMax");
    registerModule<QW_AudioPow>(L"QW_AudioPow");
    registerModule<QW_AudioSqrt>(L"QW_AudioSqrt");
    registerModule<QW_AudioWrap>(L"QW_AudioWrap");
    registerModule<QW_AudioClip>(L"QW_AudioClip");
    registerModule<QW_AudioP2C>(L"QW_AudioP2C");
    registerModule<QW_AudioC2P>(L"QW_AudioC2P");
    registerModule<QW_AudioRadius>(L"QW_AudioRadius");
    registerModule<QW_AudioAngle>(L"QW_AudioAngle");
    registerModule<QW_AudioSign>(L"QW_AudioSign");
    registerModule<QW_AudioXFade>(L"QW_AudioXFade");
    registerModule<QW_AudioTan>(L"QW_AudioTan");
    registerModule<QW_AudioInfNanCln>(L"QW_AudioInfNanCln");
    return true;
}();
} // namespace
