#include "Evaluator.h"

#include "qw_fm.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
using qw::fm::detail::fromBits;

float fSin(float x, float)
{
    return std::sin(x);
}
float fCos(float x, float)
{
    return std::cos(x);
}
float fTan(float x, float)
{
    return std::tan(x);
}
float fAsin(float x, float)
{
    return std::asin(x);
}
float fAcos(float x, float)
{
    return std::acos(x);
}
float fAtan(float x, float)
{
    return std::atan(x);
}
float fSinh(float x, float)
{
    return std::sinh(x);
}
float fCosh(float x, float)
{
    return std::cosh(x);
}
float fTanh(float x, float)
{
    return std::tanh(x);
}
float fExp(float x, float)
{
    return std::exp(x);
}
float fExp2(float x, float)
{
    return std::exp2(x);
}
float fLog(float x, float)
{
    return std::log(x);
}
float fLog2(float x, float)
{
    return std::log2(x);
}
float fPow(float a, float b)
{
    return std::pow(a, b);
}
float fSqrt(float x, float)
{
    return std::sqrt(x);
}
float fFloor(float x, float)
{
    return std::floor(x);
}
float fCeil(float x, float)
{
    return std::ceil(x);
}
float fAbs(float x, float)
{
    return qw::fm::detail::absf(x);
}
float fHypot(float a, float b)
{
    return std::hypot(a, b);
}
float fMod(float a, float b)
{
    return std::fmod(a, b);
}
float fExp10(float x, float)
{
    return std::exp2(x * fromBits(0x40549A78u)); // log2(10)
}
float fLog10(float x, float)
{
    return std::log2(x) * fromBits(0x3E9A209Bu); // log10(2)
}
float fSgn(float x, float)
{
    return x < 0.0f ? -1.0f : 1.0f;
}
float fMin(float a, float b)
{
    return b < a ? b : a;
}
float fMax(float a, float b)
{
    return b > a ? b : a;
}
// Angle of the point (a, b) in turns, [0, 1).
float fTurns(float a, float b)
{
    return qw::fm::atan2Turns(b, a);
}
// Angle of the point (a, b) in radians, (-pi, pi].
float fArg(float a, float b)
{
    if (a == 0.0f && b == 0.0f)
        return 0.0f;
    const float r = qw::fm::atan2Turns(qw::fm::detail::absf(b), a) * fromBits(0x40C90FDBu);
    return b < 0.0f ? -r : r;
}
float fCosT(float x, float)
{
    return qw::fm::cosTurns(x);
}
float fSinT(float x, float)
{
    return qw::fm::sinTurns(x);
}
// Tangent of x turns: x reduced by whole half turns to [-1/4, 1/4].
float fTanT(float x, float)
{
    const float r = x - qw::fm::detail::floorf(2.0f * x + 0.5f) * 0.5f;
    const float v = qw::fm::detail::absf(r);
    const float t = qw::fm::detail::sinQuarter(v) / qw::fm::detail::cosQuarter(v);
    return r < 0.0f ? -t : t;
}
// A value from a towards b, b itself never: the draw is rounded in double,
// and a value that rounds onto b as a float steps back to the float before it.
float fRnd(float a, float b)
{
    const double u = static_cast<double>(std::rand()) * 4.656612873077393e-10; // 2^-31
    float v = static_cast<float>(a + (static_cast<double>(b) - a) * u);
    if (a != b && (b > a ? v >= b : v <= b))
        v = std::nextafter(b, a);
    return v;
}
float fSinc(float x, float)
{
    if (x == 0.0f)
        return 1.0f;
    return qw::fm::sinTurns(x * 0.5f) / (fromBits(0x40490FDBu) * x);
}
float fHann(float x, float)
{
    x = x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x);
    return (1.0f + qw::fm::cosTurns(x * 0.5f)) * 0.5f;
}
float fSaw(float x, float)
{
    return 2.0f * (x - std::floor(x) - 0.5f);
}
float fTri(float x, float)
{
    const float f = x - std::floor(x);
    return 4.0f * (f < 1.0f - f ? f : 1.0f - f) - 1.0f;
}
float fSqu(float x, float b)
{
    const float duty = b < 0.0f ? 0.0f : (b > 1.0f ? 1.0f : b);
    return duty > x - std::floor(x) ? 1.0f : -1.0f;
}

struct FunctionEntry
{
    const char* name;
    int32_t argCount;
    float (*function)(float, float);
};

const FunctionEntry kFunctions[38] = {
    {"sin", 1, fSin},   {"cos", 1, fCos},     {"tan", 1, fTan},     {"asin", 1, fAsin}, {"acos", 1, fAcos},
    {"atan", 1, fAtan}, {"sinh", 1, fSinh},   {"cosh", 1, fCosh},   {"tanh", 1, fTanh}, {"exp", 1, fExp},
    {"exp2", 1, fExp2}, {"log", 1, fLog},     {"ln", 1, fLog},      {"log2", 1, fLog2}, {"pow", 2, fPow},
    {"sqrt", 1, fSqrt}, {"floor", 1, fFloor}, {"ceil", 1, fCeil},   {"abs", 1, fAbs},   {"hypot", 2, fHypot},
    {"mod", 2, fMod},   {"exp10", 1, fExp10}, {"log10", 1, fLog10}, {"sgn", 1, fSgn},   {"min", 2, fMin},
    {"max", 2, fMax},   {"turns", 2, fTurns}, {"arg", 2, fArg},     {"cost", 1, fCosT}, {"sint", 1, fSinT},
    {"tant", 1, fTanT}, {"rnd", 2, fRnd},     {"sinc", 1, fSinc},   {"hann", 1, fHann}, {"saw", 1, fSaw},
    {"tri", 1, fTri},   {"squ", 2, fSqu},     {"", 0, nullptr},
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return c >= 'a' && c <= 'z';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void copyText(char* to, size_t room, const char* from)
{
    size_t i = 0;
    for (; i + 1 < room && from[i]; ++i)
        to[i] = from[i];
    to[i] = '\0';
}
} // namespace

Evaluator::Evaluator()
{
    const struct
    {
        const char* name;
        uint32_t bits;
    } constants[4] = {{"pi", 0x40490FDBu}, {"pi2", 0x40C90FDBu}, {"pih", 0x3FC90FDBu}, {"e", 0x402DF854u}};
    std::memset(constants_, 0, sizeof constants_);
    for (int i = 0; i < 4; ++i)
    {
        copyText(constants_[i].name, sizeof constants_[i].name, constants[i].name);
        constants_[i].value = fromBits(constants[i].bits);
    }
    for (int i = 0; i < 38; ++i)
        functions_[i] = {kFunctions[i].name, kFunctions[i].argCount, kFunctions[i].function};
    ClearAllVars();
}

// ---------------------------------------------------------------------------
// Variables

void Evaluator::normalise(const char* name, char (&out)[kNameChars + 1])
{
    int i = 0;
    for (; name && name[i] && i < kNameChars; ++i)
        out[i] = lower(name[i]);
    out[i] = '\0';
}

Evaluator::Row* Evaluator::findVariable(const char* normalised)
{
    return const_cast<Row*>(static_cast<const Evaluator*>(this)->findVariable(normalised));
}

const Evaluator::Row* Evaluator::findVariable(const char* normalised) const
{
    for (const Row& row : variables_)
        if (row.name[0] && std::strcmp(row.name, normalised) == 0)
            return &row;
    return nullptr;
}

int Evaluator::store(const char* normalised, float value)
{
    if (!normalised[0])
        return 0;
    if (Row* row = findVariable(normalised))
    {
        row->value = value;
        return 1;
    }
    for (Row& row : variables_)
        if (!row.name[0])
        {
            copyText(row.name, sizeof row.name, normalised);
            row.value = value;
            return 1;
        }
    return 0;
}

int Evaluator::SetValue(const char* name, float value)
{
    char key[kNameChars + 1];
    normalise(name, key);
    return store(key, value);
}

int Evaluator::GetValue(const char* name, float* out) const
{
    char key[kNameChars + 1];
    normalise(name, key);
    if (!key[0])
        return 0;
    const Row* row = findVariable(key);
    for (int i = 0; !row && constants_[i].name[0]; ++i)
        if (std::strcmp(constants_[i].name, key) == 0)
            row = &constants_[i];
    if (!row)
        return 0;
    if (out)
        *out = row->value;
    return 1;
}

int Evaluator::ClearVar(const char* name)
{
    char key[kNameChars + 1];
    normalise(name, key);
    Row* row = key[0] ? findVariable(key) : nullptr;
    if (!row)
        return 0;
    std::memset(row, 0, sizeof *row);
    return 1;
}

void Evaluator::ClearAllVars()
{
    std::memset(variables_, 0, sizeof variables_);
}

// ---------------------------------------------------------------------------
// Evaluation

int Evaluator::Evaluate(const char* text, float* result, int* assigned)
{
    float ignored;
    if (!result)
        result = &ignored;
    *result = 0.0f;
    failed_ = false;

    // The working copy, lower-cased: names and functions match in any case.
    char work[kMaxTextChars + 1];
    start_ = work;
    size_t n = 0;
    for (; text && text[n] && n < sizeof work; ++n)
        work[n] = lower(text[n]);
    if (n == sizeof work)
    {
        // Refused at the first character that does not fit.
        failAt(kBadCharacter, work + kMaxTextChars);
        return errorCode_;
    }
    work[n] = '\0';
    position_ = work;

    Parse();
    if (!failed_ && tokenType_ == kEnd)
        fail(kNoToken);
    float value = 0.0f;
    const int isAssignment = failed_ ? 0 : Level1(value);
    if (failed_)
    {
        *result = 0.0f;
        return errorCode_;
    }
    *result = value;
    if (assigned)
        *assigned = isAssignment;
    return 0;
}

void Evaluator::fail(int code, const char* text)
{
    if (failed_)
        return;
    failed_ = true;
    errorCode_ = code;
    copyText(errorText_, sizeof errorText_, text ? text : token_);
    errorPosition_ = static_cast<int64_t>(position_ - start_) - 1;
}

void Evaluator::failAt(int code, const char* at)
{
    failed_ = true;
    errorCode_ = code;
    errorText_[0] = *at;
    errorText_[1] = '\0';
    errorPosition_ = static_cast<int64_t>(at - start_);
}

void Evaluator::Parse()
{
    if (failed_)
        return;
    while (isBlank(*position_))
        ++position_;
    const char* from = position_;
    const char c = *from;
    if (!c)
    {
        tokenType_ = kEnd;
        token_[0] = '\0';
        return;
    }
    if (std::strchr("%()*+,-/=^", c))
    {
        tokenType_ = kDelimiter;
        token_[0] = c;
        token_[1] = '\0';
        ++position_;
    }
    else if (isDigit(c) || c == '.')
    {
        while (isDigit(*position_) || *position_ == '.')
            ++position_;
        if (position_ - from > kMaxTokenChars)
        {
            failAt(kBadCharacter, from + kMaxTokenChars);
            return;
        }
        tokenType_ = kNumber;
        std::memcpy(token_, from, static_cast<size_t>(position_ - from));
        token_[position_ - from] = '\0';
    }
    else if (c == '_' || isLetter(c))
    {
        while (*position_ == '_' || isLetter(*position_) || isDigit(*position_))
            ++position_;
        const size_t n = std::min<size_t>(static_cast<size_t>(position_ - from), kNameChars);
        tokenType_ = kName;
        std::memcpy(token_, from, n);
        token_[n] = '\0';
    }
    else
    {
        failAt(kBadCharacter, from);
        return;
    }
    while (isBlank(*position_))
        ++position_;
}

// Assignment, or a sum: 1 for an assignment (or a clearing).
int Evaluator::Level1(float& r)
{
    if (tokenType_ == kName && *position_ == '=')
    {
        char name[kNameChars + 1];
        copyText(name, sizeof name, token_);
        Parse();
        Parse();
        if (failed_)
            return 0;
        if (tokenType_ == kEnd)
        {
            ClearVar(name);
            r = 0.0f;
            return 1;
        }
        Level2(r);
        if (!failed_ && !store(name, r))
            fail(kTooManyVariables);
        return 1;
    }
    Level2(r);
    return 0;
}

void Evaluator::Level2(float& r)
{
    Level3(r);
    while (!failed_ && (isDelimiter('+') || isDelimiter('-')))
    {
        const char op = token_[0];
        Parse();
        float b = 0.0f;
        Level3(b);
        r = op == '+' ? r + b : r - b;
    }
}

void Evaluator::Level3(float& r)
{
    Level4(r);
    while (!failed_ && (isDelimiter('*') || isDelimiter('/') || isDelimiter('%')))
    {
        const char op = token_[0];
        Parse();
        float b = 0.0f;
        Level4(b);
        r = op == '*' ? r * b : (op == '/' ? r / b : std::fmod(r, b));
    }
}

void Evaluator::Level4(float& r)
{
    Level5(r);
    if (!failed_ && isDelimiter('^'))
    {
        Parse();
        float b = 0.0f;
        Level5(b);
        r = std::pow(r, b);
    }
}

void Evaluator::Level5(float& r)
{
    if (isDelimiter('-') || isDelimiter('+'))
    {
        const bool negate = token_[0] == '-';
        Parse();
        Level6(r);
        if (negate)
            r = qw::fm::detail::negateIf(r, true);
        return;
    }
    Level6(r);
}

void Evaluator::Level6(float& r)
{
    if (failed_)
        return;
    if (isDelimiter('('))
    {
        Parse();
        if (isDelimiter(')'))
            return fail(kEmptyArgument);
        Level1(r);
        if (!failed_ && !isDelimiter(')'))
            return fail(kMissingParenthesis);
    }
    else if (tokenType_ == kName && *position_ == '(')
        call(r);
    else if (tokenType_ == kName)
    {
        if (!GetValue(token_, &r))
            return fail(kUnknownName);
    }
    else if (tokenType_ == kNumber)
    {
        // Digits and points read as far as they make a number ("1.2.3" is
        // 1.2, "." is 0), whatever the process's locale.
        double v = 0.0;
        std::from_chars(token_, token_ + std::strlen(token_), v);
        r = static_cast<float>(v);
    }
    else
        return fail(kBadCharacter);
    // Past the primary; after a call, past whatever followed its last argument.
    Parse();
}

void Evaluator::call(float& r)
{
    const FunctionRow* row = functions_;
    while (row->name[0] && std::strcmp(row->name, token_) != 0)
        ++row;
    if (!row->name[0])
        return fail(kUnknownFunction);
    Parse(); // the "("
    float args[4] = {};
    int count = 0;
    do
    {
        Parse();
        if (failed_)
            return;
        if (isDelimiter(',') || isDelimiter(')'))
            return fail(kEmptyArgument);
        Level1(args[count++]);
        if (failed_)
            return;
    } while (isDelimiter(',') && count < 4);
    if (count != row->argCount)
        return fail(kWrongArgumentCount, row->name);
    r = row->function(args[0], args[1]);
}
