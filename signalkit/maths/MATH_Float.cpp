// Float control-rate maths: one arithmetic, trigonometric, complex-number or
// conversion function on 32-bit float control pins, computed once per pin
// change. Division, logarithm, power, 2^x and the tangent give +-Inf or NaN
// where IEEE arithmetic does (b = 0, x <= 0, 0 to a negative power, 2^128,
// a quarter turn).
#include "control_modules.h"

namespace
{
using namespace qw::maths;
using Complex = flt::Complex;
constexpr int kFloat = gmpi::MP_FLOAT32;
using FloatIn = InPin<float, kFloat>;
using FloatOut = OutPin<float, kFloat>;

// 0 in re a; 1 in im a; 2 in re b; 3 in im b; 4 out re; 5 out im.
template <Complex (*Op)(Complex, Complex)> class ComplexBinary : public MpBase2
{
public:
    ComplexBinary()
    {
        initializePin(reA_);
        initializePin(imA_);
        initializePin(reB_);
        initializePin(imB_);
        initializePin(re_);
        initializePin(im_);
    }
    void onSetPins() override
    {
        const Complex r = Op({reA_, imA_}, {reB_, imB_});
        re_ = r.re;
        im_ = r.im;
    }

private:
    FloatIn reA_, imA_, reB_, imB_;
    FloatOut re_, im_;
};
} // namespace

class QW_FloatAbs final : public Unary<float, kFloat, flt::abs>
{};
class QW_FloatAdd final : public Binary<float, kFloat, flt::add>
{};
class QW_FloatAddMany final : public AddMany<float, kFloat, flt::add>
{};
class QW_FloatCAdd final : public ComplexBinary<flt::cadd>
{};
class QW_FloatCos final : public UnaryOption<float, kFloat, flt::cos>
{};
class QW_FloatSin final : public UnaryOption<float, kFloat, flt::sin>
{};
class QW_FloatDiv final : public Binary<float, kFloat, flt::div>
{};
class QW_FloatCDiv final : public ComplexBinary<flt::cdiv>
{};
class QW_FloatExp final : public UnaryOption<float, kFloat, flt::exp>
{};
class QW_FloatRound final : public UnaryOption<float, kFloat, flt::round>
{};
class QW_FloatFrac final : public Unary<float, kFloat, flt::frac>
{};
class QW_FloatInvert final : public Unary<float, kFloat, flt::invert>
{};

// 0 in x; 1 in input low; 2 in input high; 3 in output low; 4 in output high; 5 out.
class QW_FloatRngScal final : public MpBase2
{
public:
    QW_FloatRngScal()
    {
        initializePin(x_);
        initializePin(inLow_);
        initializePin(inHigh_);
        initializePin(outLow_);
        initializePin(outHigh_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = flt::rangeScale(x_, inLow_, inHigh_, outLow_, outHigh_); }

private:
    FloatIn x_, inLow_, inHigh_, outLow_, outHigh_;
    FloatOut out_;
};

class QW_FloatLog final : public UnaryOption<float, kFloat, flt::log>
{};
class QW_FloatMax final : public BinaryOption<float, kFloat, flt::max>
{};
class QW_FloatMin final : public BinaryOption<float, kFloat, flt::min>
{};
class QW_FloatMinMax final : public MinMax<float, kFloat>
{};
class QW_FloatMul final : public Binary<float, kFloat, flt::mul>
{};
class QW_FloatCMul final : public ComplexBinary<flt::cmul>
{};
class QW_FloatPow final : public Binary<float, kFloat, flt::pow>
{};
class QW_FloatSqrt final : public Unary<float, kFloat, flt::sqrt>
{};
class QW_FloatSub final : public Binary<float, kFloat, flt::sub>
{};
class QW_FloatCSub final : public ComplexBinary<flt::csub>
{};
class QW_FloatWrap final : public Binary<float, kFloat, flt::wrap>
{};
class QW_FloatClip final : public Clip<float, kFloat, flt::clip>
{};

// 0 in re; 1 in im; 2 enum angle unit; 3 out radius; 4 out angle.
class QW_FloatC2P final : public MpBase2
{
public:
    QW_FloatC2P()
    {
        initializePin(re_);
        initializePin(im_);
        initializePin(unit_);
        initializePin(radius_);
        initializePin(angle_);
    }
    void onSetPins() override
    {
        radius_ = flt::radius(re_, im_);
        angle_ = flt::angle(re_, im_, unit_);
    }

private:
    FloatIn re_, im_;
    EnumInPin unit_;
    FloatOut radius_, angle_;
};

// 0 in radius; 1 in angle; 2 enum angle unit; 3 out re; 4 out im.
class QW_FloatP2C final : public MpBase2
{
public:
    QW_FloatP2C()
    {
        initializePin(radius_);
        initializePin(angle_);
        initializePin(unit_);
        initializePin(re_);
        initializePin(im_);
    }
    void onSetPins() override
    {
        const Complex c = flt::polarToCartesian(radius_, angle_, unit_);
        re_ = c.re;
        im_ = c.im;
    }

private:
    FloatIn radius_, angle_;
    EnumInPin unit_;
    FloatOut re_, im_;
};

class QW_FloatRadius final : public Binary<float, kFloat, flt::radius>
{};
class QW_FloatAngle final : public BinaryOption<float, kFloat, flt::angle>
{};

// 0 in x; 1 bool in reset; 2 out: the mean of the values x took since the
// last reset. While reset is true the mean restarts at every step.
class QW_FloatAverage final : public MpBase2
{
public:
    QW_FloatAverage()
    {
        initializePin(x_);
        initializePin(reset_);
        initializePin(out_);
    }
    void onSetPins() override
    {
        if (reset_)
            count_ = sum_ = 0.0f;
        if (x_.isUpdated())
        {
            count_ += 1.0f; // stops growing at 2^24
            sum_ += x_;
        }
        out_ = sum_ / std::max(1.0f, count_);
    }

private:
    FloatIn x_;
    BoolInPin reset_;
    FloatOut out_;
    float count_ = 0.0f;
    float sum_ = 0.0f;
};

class QW_FloatSign final : public Unary<float, kFloat, flt::sign>
{};

// 0 in a; 1 in b; 2 in mix; 3 out.
class QW_FloatXFade final : public MpBase2
{
public:
    QW_FloatXFade()
    {
        initializePin(a_);
        initializePin(b_);
        initializePin(mix_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = flt::crossfade(a_, b_, mix_); }

private:
    FloatIn a_, b_, mix_;
    FloatOut out_;
};

class QW_FloatTan final : public UnaryOption<float, kFloat, flt::tan>
{};
class QW_FloatInfNanCln final : public UnaryOption<float, kFloat, flt::cleanInfNan>
{};

namespace
{
const bool registered = [] {
    registerModule<QW_FloatAbs>(L"QW_FloatAbs");
    registerModule<QW_FloatAdd>(L"QW_FloatAdd");
    registerModule<QW_FloatAddMany>(L"QW_FloatAddMany");
    registerModule<QW_FloatCAdd>(L"QW_FloatCAdd");
    registerModule<QW_FloatCos>(L"QW_FloatCos");
    registerModule<QW_FloatSin>(L"QW_FloatSin");
    registerModule<QW_FloatDiv>(L"QW_FloatDiv");
    registerModule<QW_FloatCDiv>(L"QW_FloatCDiv");
    registerModule<QW_FloatExp>(L"QW_FloatExp");
    registerModule<QW_FloatRound>(L"QW_FloatRound");
    registerModule<QW_FloatFrac>(L"QW_FloatFrac");
    registerModule<QW_FloatInvert>(L"QW_FloatInvert");
    registerModule<QW_FloatRngScal>(L"QW_FloatRngScal");
    registerModule<QW_FloatLog>(L"QW_FloatLog");
    registerModule<QW_FloatMax>(L"QW_FloatMax");
    registerModule<QW_FloatMin>(L"QW_FloatMin");
    registerModule<QW_FloatMinMax>(L"QW_FloatMinMax");
    registerModule<QW_FloatMul>(L"QW_FloatMul");
    registerModule<QW_FloatCMul>(L"QW_FloatCMul");
    registerModule<QW_FloatPow>(L"QW_FloatPow");
    registerModule<QW_FloatSqrt>(L"QW_FloatSqrt");
    registerModule<QW_FloatSub>(L"QW_FloatSub");
    registerModule<QW_FloatCSub>(L"QW_FloatCSub");
    registerModule<QW_FloatWrap>(L"QW_FloatWrap");
    registerModule<QW_FloatClip>(L"QW_FloatClip");
    registerModule<QW_FloatC2P>(L"QW_FloatC2P");
    registerModule<QW_FloatP2C>(L"QW_FloatP2C");
    registerModule<QW_FloatRadius>(L"QW_FloatRadius");
    registerModule<QW_FloatAngle>(L"QW_FloatAngle");
    registerModule<QW_FloatAverage>(L"QW_FloatAverage");
    registerModule<QW_FloatSign>(L"QW_FloatSign");
    registerModule<QW_FloatXFade>(L"QW_FloatXFade");
    registerModule<QW_FloatTan>(L"QW_FloatTan");
    registerModule<QW_FloatInfNanCln>(L"QW_FloatInfNanCln");
    return true;
}();
} // namespace
