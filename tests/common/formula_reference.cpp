#include "formula_reference.h"

#include "qw_fm.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace qw::reference
{
namespace
{
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isNameStart(char c)
{
    return c == '_' || (c >= 'a' && c <= 'z');
}

bool isNameChar(char c)
{
    return isNameStart(c) || isDigit(c);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isOperator(char c)
{
    switch (c)
    {
    case '%':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case '-':
    case '/':
    case '=':
    case '^':
        return true;
    default:
        return false;
    }
}

// A name of at most 7 characters, zero-padded to 8 bytes, as one number.
uint64_t word(char const name[8])
{
    uint64_t w;
    std::memcpy(&w, name, 8);
    return w;
}

// Up to 7 characters as one number (0 for a longer text, which no row holds).
uint64_t pack(char const* text, size_t length)
{
    if (length > 7)
        return 0;
    uint64_t w = 0;
    for (size_t i = 0; i < length; ++i)
        w |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    return w;
}

float cost(float x)
{
    return fm::cosTurns(x);
}

float sint(float x)
{
    return fm::sinTurns(x);
}

// The functions of the language, each with the signature of a table row.
float fSin(float x, float, uint32_t&)
{
    return std::sin(x);
}
float fCos(float x, float, uint32_t&)
{
    return std::cos(x);
}
float fTan(float x, float, uint32_t&)
{
    return std::tan(x);
}
float fAsin(float x, float, uint32_t&)
{
    return std::asin(x);
}
float fAcos(float x, float, uint32_t&)
{
    return std::acos(x);
}
float fAtan(float x, float, uint32_t&)
{
    return std::atan(x);
}
float fSinh(float x, float, uint32_t&)
{
    return std::sinh(x);
}
float fCosh(float x, float, uint32_t&)
{
    return std::cosh(x);
}
float fTanh(float x, float, uint32_t&)
{
    return std::tanh(x);
}
float fExp(float x, float, uint32_t&)
{
    return std::exp(x);
}
float fExp2(float x, float, uint32_t&)
{
    return std::exp2(x);
}
float fLog(float x, float, uint32_t&)
{
    return std::log(x);
}
float fLog2(float x, float, uint32_t&)
{
    return std::log2(x);
}
float fPow(float x, float y, uint32_t&)
{
    return std::pow(x, y);
}
float fSqrt(float x, float, uint32_t&)
{
    return std::sqrt(x);
}
float fFloor(float x, float, uint32_t&)
{
    return std::floor(x);
}
float fCeil(float x, float, uint32_t&)
{
    return std::ceil(x);
}
float fAbs(float x, float, uint32_t&)
{
    return std::fabs(x);
}
float fHypot(float x, float y, uint32_t&)
{
    return std::hypot(x, y);
}
float fMod(float x, float y, uint32_t&)
{
    return std::fmod(x, y);
}
float fExp10(float x, float, uint32_t&)
{
    return std::exp2(x * 3.321928f);
}
float fLog10(float x, float, uint32_t&)
{
    return std::log2(x) * 0.30103f;
}
float fSgn(float x, float, uint32_t&)
{
    return x < 0.0f ? -1.0f : 1.0f;
}
float fMin(float x, float y, uint32_t&)
{
    return y < x ? y : x;
}
float fMax(float x, float y, uint32_t&)
{
    return y > x ? y : x;
}
float fTurns(float x, float y, uint32_t&)
{
    return fm::atan2Turns(y, x);
}
// The angle of (x, |y|), in the upper half plane, in radians, negated below
// the x axis: in (-pi, pi].
float fArg(float x, float y, uint32_t&)
{
    return fm::detail::negateIf(fm::atan2Turns(fm::detail::absf(y), x) * 6.2831855f, y < 0.0f);
}
float fCost(float x, float, uint32_t&)
{
    return cost(x);
}
float fSint(float x, float, uint32_t&)
{
    return sint(x);
}
float fTant(float x, float, uint32_t&)
{
    const float u = x - 0.5f * fm::detail::floorf(2.0f * x + 0.5f);
    const float v = fm::detail::absf(u);
    const float t = fm::detail::sinQuarter(v) / fm::detail::cosQuarter(v);
    return u < 0.0f ? -t : t;
}
// x + (y - x) r 2^-31 with r a 31-bit random number: the per-parser sequence
// needs no lock and no shared state, unlike the C library's rand(). Worked in
// double so that no span between two finite bounds overflows.
float fRnd(float x, float y, uint32_t& random)
{
    random = random * 1664525u + 1013904223u;
    const double r = static_cast<double>(random >> 1) * (1.0 / 2147483648.0);
    return static_cast<float>(x + (static_cast<double>(y) - x) * r);
}
float fSinc(float x, float, uint32_t&)
{
    return x == 0.0f ? 1.0f : sint(0.5f * x) / (x * 3.1415927f);
}
float fHann(float x, float, uint32_t&)
{
    const float u = x < -1.0f ? -0.5f : (x > 1.0f ? 0.5f : 0.5f * x);
    return (cost(u) + 1.0f) * 0.5f;
}
float fSaw(float x, float, uint32_t&)
{
    return 2.0f * (x - std::floor(x) - 0.5f);
}
float fTri(float x, float, uint32_t&)
{
    const float f = x - std::floor(x);
    return 4.0f * (f < 1.0f - f ? f : 1.0f - f) - 1.0f;
}
float fSqu(float x, float y, uint32_t&)
{
    const float d = y < 0.0f ? 0.0f : (y > 1.0f ? 1.0f : y);
    return x - std::floor(x) < d ? 1.0f : -1.0f;
}

void setRow(char name[8], char const* text)
{
    std::memset(name, 0, 8);
    for (int i = 0; i < 7 && text[i]; ++i)
        name[i] = text[i];
}
} // namespace

// Searched in this order; the first row whose name matches is taken.
const FormulaParser::FunctionRow FormulaParser::functions_[38] = {
    {"sin", 1, fSin},   {"cos", 1, fCos},     {"tan", 1, fTan},      {"asin", 1, fAsin}, {"acos", 1, fAcos},
    {"atan", 1, fAtan}, {"sinh", 1, fSinh},   {"cosh", 1, fCosh},    {"tanh", 1, fTanh}, {"exp", 1, fExp},
    {"exp2", 1, fExp2}, {"log", 1, fLog},     {"ln", 1, fLog},       {"log2", 1, fLog2}, {"pow", 2, fPow},
    {"sqrt", 1, fSqrt}, {"floor", 1, fFloor}, {"ceil", 1, fCeil},    {"abs", 1, fAbs},   {"hypot", 2, fHypot},
    {"mod", 2, fMod},   {"exp10", 1, fExp10}, {"log10", 1, fLog10},  {"sgn", 1, fSgn},   {"min", 2, fMin},
    {"max", 2, fMax},   {"turns", 2, fTurns}, {"arg", 2, fArg},      {"cost", 1, fCost}, {"sint", 1, fSint},
    {"tant", 1, fTant}, {"rnd", 2, fRnd},     {"sinc", 1, fSinc},    {"hann", 1, fHann}, {"saw", 1, fSaw},
    {"tri", 1, fTri},   {"squ", 2, fSqu},     {nullptr, 0, nullptr},
};

FormulaParser::FormulaParser()
{
    for (Row& r : vars_)
    {
        setRow(r.name, "");
        r.value = 0.0f;
    }
    const Row constants[5] = {
        {"pi", 3.1415927f}, {"pi2", 6.2831855f}, {"pih", 1.5707964f}, {"e", 2.7182817f}, {"", 0.0f}};
    for (int i = 0; i < 5; ++i)
    {
        setRow(consts_[i].name, constants[i].name);
        consts_[i].value = constants[i].value;
    }
}

bool FormulaParser::normalize(char const* name, char key[8])
{
    std::memset(key, 0, 8);
    if (!name)
        return false;
    for (int i = 0; i < kNameLength && name[i]; ++i)
    {
        const char c = name[i];
        key[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key[0] != '\0';
}

bool FormulaParser::store(char const key[8], float value)
{
    // The variable's own row first, so that no name is ever held twice.
    const uint64_t k = word(key);
    for (Row& r : vars_)
        if (word(r.name) == k)
        {
            r.value = value;
            return true;
        }
    for (Row& r : vars_)
        if (r.name[0] == '\0')
        {
            std::memcpy(r.name, key, 8);
            r.value = value;
            return true;
        }
    return false;
}

int FormulaParser::clear(char const key[8])
{
    const uint64_t k = word(key);
    for (Row& r : vars_)
        if (r.name[0] != '\0' && word(r.name) == k)
        {
            setRow(r.name, "");
            r.value = 0.0f;
            return 1;
        }
    return 0;
}

int FormulaParser::clearVar(char const* name)
{
    char key[8];
    return normalize(name, key) ? clear(key) : 0;
}

int FormulaParser::getValue(char const* name, float* value) const
{
    char key[8];
    return normalize(name, key) ? lookup(key, value) : 0;
}

int FormulaParser::lookup(char const key[8], float* value) const
{
    const uint64_t k = word(key);
    for (const Row& r : vars_)
        if (r.name[0] != '\0' && word(r.name) == k)
        {
            *value = r.value;
            return 1;
        }
    for (const Row& r : consts_)
    {
        if (r.name[0] == '\0')
            break;
        if (word(r.name) == k)
        {
            *value = r.value;
            return 1;
        }
    }
    return 0;
}

bool FormulaParser::evaluate(float* result) noexcept
{
    if (formula.empty())
        return false;
    cursor_ = 0;
    depth_ = 0;
    failed_ = false;
    Parse();
    if (tokenType_ == kEnd)
        fail(); // a text of blanks only
    bool assigned = false;
    const float value = failed_ ? 0.0f : level1(&assigned);
    if (failed_)
    {
        if (result)
            *result = 0.0f;
        return false;
    }
    if (result)
        *result = value;
    return !assigned;
}

// The current name token, cut to kNameLength characters.
void FormulaParser::nameKey(char key[8]) const
{
    std::memset(key, 0, 8);
    std::memcpy(key, formula.data() + tokenStart_, tokenLength_ < kNameLength ? tokenLength_ : kNameLength);
}

// The value of the current number token: its leading digits with at most one
// point, read whole and rounded to double, then to float. A token without
// digits there ("." or "..1") is 0.
float FormulaParser::number() const
{
    const char* first = formula.data() + tokenStart_;
    const char* last = first + tokenLength_;
    const char* end = first;
    bool point = false;
    bool nonZero = false; // a nonzero digit before the point
    int digits = 0;
    int decimals = 0;
    uint64_t mantissa = 0; // the digits as one integer while there are at most 15
    for (; end != last; ++end)
    {
        if (*end == '.')
        {
            if (point)
                break;
            point = true;
        }
        else
        {
            ++digits;
            decimals += point;
            nonZero = nonZero || (!point && *end != '0');
            mantissa = mantissa * 10 + static_cast<uint64_t>(*end - '0');
        }
    }
    if (digits == 0)
        return 0.0f;
    if (digits <= 15)
    {
        // Both the integer and the power of ten are exact doubles, so one
        // division rounds correctly, as a full conversion would.
        static constexpr double kTens[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        return static_cast<float>(static_cast<double>(mantissa) / kTens[decimals]);
    }
    double d = 0.0;
    const std::from_chars_result r = std::from_chars(first, end, d, std::chars_format::fixed);
    if (r.ec == std::errc::result_out_of_range)
        d = nonZero ? std::numeric_limits<double>::infinity() : 0.0;
    else if (r.ec != std::errc())
        d = 0.0;
    if (d > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

void FormulaParser::Parse()
{
    tokenType_ = kEnd;
    tokenLength_ = 0;
    if (failed_)
        return;
    const char* s = formula.data();
    const size_t n = formula.size();
    size_t i = cursor_;
    while (i < n && isBlank(s[i]))
        ++i;
    tokenStart_ = i;
    if (i < n)
    {
        const char c = s[i];
        if (isOperator(c))
        {
            tokenType_ = kDelimiter;
            ++i;
        }
        else if (isDigit(c) || c == '.')
        {
            tokenType_ = kNumber;
            while (i < n && (isDigit(s[i]) || s[i] == '.'))
                ++i;
        }
        else if (isNameStart(c))
        {
            tokenType_ = kName;
            while (i < n && isNameChar(s[i]))
                ++i;
        }
        else
        {
            cursor_ = i;
            fail(); // an unexpected character, an upper-case letter or a NUL included
            return;
        }
    }
    tokenLength_ = i - tokenStart_;
    while (i < n && isBlank(s[i]))
        ++i;
    cursor_ = i;
}

// Statement: an assignment or a sum.
float FormulaParser::level1(bool* assigned)
{
    if (tokenType_ == kName && cursor_ < formula.size() && formula[cursor_] == '=')
    {
        char key[8];
        nameKey(key);
        Parse(); // '='
        Parse();
        if (failed_)
            return 0.0f;
        *assigned = true;
        if (tokenType_ == kEnd)
        {
            clear(key);
            return 0.0f;
        }
        const float value = level2();
        if (failed_)
            return 0.0f;
        if (!store(key, value))
            fail(); // every row holds another name
        return value;
    }
    return level2();
}

// Sum: products added or subtracted, left to right.
float FormulaParser::level2()
{
    float value = level3();
    while (!failed_ && (isDelimiter('+') || isDelimiter('-')))
    {
        const bool add = isDelimiter('+');
        Parse();
        const float rhs = level3();
        value = add ? value + rhs : value - rhs;
    }
    return value;
}

// Product: powers multiplied, divided or taken modulo, left to right.
float FormulaParser::level3()
{
    float value = level4();
    while (!failed_ && (isDelimiter('*') || isDelimiter('/') || isDelimiter('%')))
    {
        const char op = formula[tokenStart_];
        Parse();
        const float rhs = level4();
        value = op == '*' ? value * rhs : (op == '/' ? value / rhs : std::fmod(value, rhs));
    }
    return value;
}

// Power: one '^' at most.
float FormulaParser::level4()
{
    float value = level5();
    if (!failed_ && isDelimiter('^'))
    {
        Parse();
        const float exponent = level5();
        value = std::pow(value, exponent);
    }
    return value;
}

// Signed operand.
float FormulaParser::level5()
{
    if (isDelimiter('+') || isDelimiter('-'))
    {
        const bool negate = isDelimiter('-');
        Parse();
        const float value = level6();
        return negate ? -value : value;
    }
    return level6();
}

// Primary: a parenthesis, a number, a function call or a name.
float FormulaParser::level6()
{
    if (failed_)
        return 0.0f;
    if (isDelimiter('('))
    {
        if (++depth_ > kMaxNesting)
        {
            fail();
            return 0.0f;
        }
        Parse();
        if (isDelimiter(')'))
        {
            fail(); // ()
            return 0.0f;
        }
        bool assigned = false;
        const float value = level1(&assigned);
        if (failed_ || !isDelimiter(')'))
        {
            fail();
            return 0.0f;
        }
        Parse();
        --depth_;
        return value;
    }
    if (tokenType_ == kNumber)
    {
        const float value = number();
        Parse();
        return value;
    }
    if (tokenType_ == kName)
    {
        if (cursor_ < formula.size() && formula[cursor_] == '(')
            return call();
        char key[8];
        nameKey(key);
        float value = 0.0f;
        if (!lookup(key, &value))
        {
            fail(); // neither a variable nor a constant
            return 0.0f;
        }
        Parse();
        return value;
    }
    fail(); // an operator where an operand belongs, or the end of the text
    return 0.0f;
}

// Function call: the current token is the function's name, '(' follows.
float FormulaParser::call()
{
    // The rows' names packed as numbers, for a quick search.
    static const std::array<uint64_t, 38> words = [] {
        std::array<uint64_t, 38> w{};
        for (size_t i = 0; functions_[i].name; ++i)
            w[i] = pack(functions_[i].name, std::strlen(functions_[i].name));
        return w;
    }();
    const uint64_t name = pack(formula.data() + tokenStart_, tokenLength_);
    const FunctionRow* row = functions_;
    for (; row->name; ++row)
        if (words[row - functions_] == name)
            break;
    if (!row->name || ++depth_ > kMaxNesting)
    {
        fail(); // not a function, or nested too deep
        return 0.0f;
    }
    Parse(); // '('
    float args[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int count = 0;
    do
    {
        Parse();
        if (failed_ || isDelimiter(',') || isDelimiter(')') || count == 4)
        {
            fail(); // an empty argument, or more than any function takes
            return 0.0f;
        }
        bool assigned = false;
        args[count++] = level1(&assigned);
        if (failed_)
            return 0.0f;
    } while (isDelimiter(','));
    Parse(); // the token after the last argument, ')' or not
    if (failed_ || count != row->argCount)
    {
        fail();
        return 0.0f;
    }
    --depth_;
    return row->function(args[0], args[1], random_);
}
} // namespace qw::reference
