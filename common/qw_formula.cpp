#include "qw_formula.h"

#include "qw_fm.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace qw
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
    resetState();
}

void FormulaParser::resetState()
{
    for (int i = 0; i < kVariables; ++i)
    {
        setRow(rows_[i].name, "");
        rows_[i].value = 0.0f;
    }
    const Row constants[5] = {
        {"pi", 3.1415927f}, {"pi2", 6.2831855f}, {"pih", 1.5707964f}, {"e", 2.7182817f}, {"", 0.0f}};
    for (int i = 0; i < 5; ++i)
    {
        setRow(rows_[kVariables + i].name, constants[i].name);
        rows_[kVariables + i].value = constants[i].value;
    }
    random_ = 1;
    lastSet_ = -1;
    ++names_;
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
    for (int i = 0; i < kVariables; ++i)
        if (word(rows_[i].name) == k)
        {
            rows_[i].value = value;
            lastSet_ = i;
            return true;
        }
    for (int i = 0; i < kVariables; ++i)
        if (rows_[i].name[0] == '\0')
        {
            std::memcpy(rows_[i].name, key, 8);
            rows_[i].value = value;
            lastSet_ = i;
            ++names_;
            return true;
        }
    return false;
}

int FormulaParser::clear(char const key[8])
{
    const uint64_t k = word(key);
    for (int i = 0; i < kVariables; ++i)
        if (rows_[i].name[0] != '\0' && word(rows_[i].name) == k)
        {
            setRow(rows_[i].name, "");
            rows_[i].value = 0.0f;
            ++names_;
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

// The row a name reads: its variable's, else its constant's; -1 for none.
int FormulaParser::find(uint64_t key) const
{
    for (int i = 0; i < kVariables; ++i)
        if (rows_[i].name[0] != '\0' && word(rows_[i].name) == key)
            return i;
    for (int i = kVariables; i < kRows && rows_[i].name[0] != '\0'; ++i)
        if (word(rows_[i].name) == key)
            return i;
    return -1;
}

int FormulaParser::lookup(char const key[8], float* value) const
{
    const int i = find(word(key));
    if (i < 0)
        return 0;
    *value = rows_[i].value;
    return 1;
}

void FormulaParser::bind()
{
    for (size_t i = 0; i < slotNames_.size(); ++i)
        bindings_[i] = find(slotNames_[i]);
    boundAt_ = names_;
}

// An assignment's store: the bound variable row directly, else the full rule
// (which may take a new row, so the bindings are made again).
bool FormulaParser::assign(int32_t slot, float value)
{
    const int32_t row = bindings_[static_cast<size_t>(slot)];
    if (row >= 0 && row < kVariables)
    {
        rows_[row].value = value;
        lastSet_ = row;
        return true;
    }
    char key[8];
    const uint64_t k = slotNames_[static_cast<size_t>(slot)];
    std::memcpy(key, &k, 8);
    if (!store(key, value))
        return false;
    bind();
    return true;
}

void FormulaParser::reserve(size_t length)
{
    text_.reserve(length);
    // Every token adds at most one instruction, one slot and one stack value.
    program_.reserve(length + 2);
    slotNames_.reserve(length);
    bindings_.reserve(length);
    stack_.reserve(length + 1);
}

void FormulaParser::setFormula(std::string_view text)
{
    text_.assign(text.data(), text.size());
    program_.clear();
    slotNames_.clear();
    bindings_.clear();
    height_ = 0;
    maxHeight_ = 0;
    assigns_ = false;
    cursor_ = 0;
    depth_ = 0;
    failed_ = false;
    if (!text_.empty())
    {
        Parse();
        if (tokenType_ == kEnd)
            fail(); // a text of blanks only
        bool assigned = false;
        if (!failed_)
            level1(&assigned);
        if (failed_)
            program_.push_back({kFail, 0, 0.0f, nullptr});
        else
            program_.push_back({kReturn, 0, 0.0f, nullptr});
        assigns_ = assigned;
    }
    stack_.assign(static_cast<size_t>(maxHeight_) + 1, 0.0f);
    bindings_.assign(slotNames_.size(), -1);
    bind();
}

bool FormulaParser::evaluate(float* result) noexcept
{
    if (text_.empty())
        return false;
    if (boundAt_ != names_)
        bind();
    float* sp = stack_.data(); // one past the top value
    for (const Instruction* in = program_.data();; ++in)
    {
        switch (in->code)
        {
        case kPush:
            *sp++ = in->value;
            break;
        case kLoad:
        {
            const int32_t row = bindings_[static_cast<size_t>(in->slot)];
            if (row < 0)
            {
                in = nullptr; // neither a variable nor a constant
                break;
            }
            *sp++ = rows_[row].value;
            break;
        }
        case kNegate:
            sp[-1] = -sp[-1];
            break;
        case kAdd:
            --sp;
            sp[-1] = sp[-1] + sp[0];
            break;
        case kSubtract:
            --sp;
            sp[-1] = sp[-1] - sp[0];
            break;
        case kMultiply:
            --sp;
            sp[-1] = sp[-1] * sp[0];
            break;
        case kDivide:
            --sp;
            sp[-1] = sp[-1] / sp[0];
            break;
        case kModulo:
            --sp;
            sp[-1] = std::fmod(sp[-1], sp[0]);
            break;
        case kPower:
            --sp;
            sp[-1] = std::pow(sp[-1], sp[0]);
            break;
        case kAddValue:
            sp[-1] = sp[-1] + in->value;
            break;
        case kSubtractValue:
            sp[-1] = sp[-1] - in->value;
            break;
        case kMultiplyValue:
            sp[-1] = sp[-1] * in->value;
            break;
        case kDivideValue:
            sp[-1] = sp[-1] / in->value;
            break;
        case kModuloValue:
            sp[-1] = std::fmod(sp[-1], in->value);
            break;
        case kPowerValue:
            sp[-1] = std::pow(sp[-1], in->value);
            break;
        case kCall1:
            sp[-1] = in->function(sp[-1], 0.0f, random_);
            break;
        case kCall2:
            --sp;
            sp[-1] = in->function(sp[-1], sp[0], random_);
            break;
        case kStore:
            if (!assign(in->slot, sp[-1]))
                in = nullptr; // every row holds another name
            break;
        case kClear:
        {
            char key[8];
            const uint64_t k = slotNames_[static_cast<size_t>(in->slot)];
            std::memcpy(key, &k, 8);
            if (clear(key))
                bind();
            *sp++ = 0.0f;
            break;
        }
        case kFail:
            in = nullptr;
            break;
        case kReturn:
            if (result)
                *result = sp[-1];
            return !assigns_;
        }
        if (!in)
        {
            if (result)
                *result = 0.0f;
            return false;
        }
    }
}

void FormulaParser::fail()
{
    failed_ = true;
    tokenType_ = kEnd;
}

void FormulaParser::emit(Code code, int32_t slot, float value, Function function)
{
    if (failed_)
        return; // the text ends in an error there: nothing after it runs
    switch (code)
    {
    case kPush:
    case kLoad:
    case kClear:
        maxHeight_ = std::max(maxHeight_, ++height_);
        break;
    case kNegate:
        if (constantsOnTop(1))
        {
            program_.back().value = -program_.back().value;
            return;
        }
        break;
    case kCall1:
        if (function != fRnd && constantsOnTop(1))
        {
            uint32_t unused = 0;
            program_.back().value = function(program_.back().value, 0.0f, unused);
            return;
        }
        break;
    case kStore:
    case kFail:
    case kReturn:
        break;
    default: // two operands, one result
        --height_;
        if ((code != kCall2 || function != fRnd) && constantsOnTop(2))
        {
            const float x = program_[program_.size() - 2].value, y = program_.back().value;
            float r = 0.0f;
            uint32_t unused = 0;
            switch (code)
            {
            case kAdd:
                r = x + y;
                break;
            case kSubtract:
                r = x - y;
                break;
            case kMultiply:
                r = x * y;
                break;
            case kDivide:
                r = x / y;
                break;
            case kModulo:
                r = std::fmod(x, y);
                break;
            case kPower:
                r = std::pow(x, y);
                break;
            default:
                r = function(x, y, unused);
                break;
            }
            program_.pop_back();
            program_.back().value = r;
            return;
        }
        // A number as right operand goes into the operation.
        if (code >= kAdd && code <= kPower && constantsOnTop(1))
        {
            program_.back().code = static_cast<Code>(code - kAdd + kAddValue);
            return;
        }
        break;
    }
    program_.push_back({code, slot, value, function});
}

// The last `count` instructions push numbers: the operands are known now.
bool FormulaParser::constantsOnTop(int count) const
{
    if (program_.size() < static_cast<size_t>(count))
        return false;
    for (size_t i = program_.size() - static_cast<size_t>(count); i < program_.size(); ++i)
        if (program_[i].code != kPush)
            return false;
    return true;
}

// The slot of a name, a new one the first time it appears.
int32_t FormulaParser::slotOf(char const key[8])
{
    const uint64_t k = word(key);
    for (size_t i = 0; i < slotNames_.size(); ++i)
        if (slotNames_[i] == k)
            return static_cast<int32_t>(i);
    slotNames_.push_back(k);
    return static_cast<int32_t>(slotNames_.size() - 1);
}

// The current name token, cut to kNameLength characters.
void FormulaParser::nameKey(char key[8]) const
{
    std::memset(key, 0, 8);
    std::memcpy(key, text_.data() + tokenStart_, tokenLength_ < kNameLength ? tokenLength_ : kNameLength);
}

// The value of the current number token: its leading digits with at most one
// point, read whole and rounded to double, then to float. A token without
// digits there ("." or "..1") is 0.
float FormulaParser::number() const
{
    const char* first = text_.data() + tokenStart_;
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
    const char* s = text_.data();
    const size_t n = text_.size();
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

// The translation reads the text as evaluating it would and puts each step
// where that evaluation takes it.

// Statement: an assignment or a sum.
void FormulaParser::level1(bool* assigned)
{
    if (tokenType_ == kName && cursor_ < text_.size() && text_[cursor_] == '=')
    {
        char key[8];
        nameKey(key);
        Parse(); // '='
        Parse();
        if (failed_)
            return;
        *assigned = true;
        const int32_t slot = slotOf(key);
        if (tokenType_ == kEnd)
        {
            emit(kClear, slot);
            return;
        }
        level2();
        emit(kStore, slot);
        return;
    }
    level2();
}

// Sum: products added or subtracted, left to right.
void FormulaParser::level2()
{
    level3();
    while (!failed_ && (isDelimiter('+') || isDelimiter('-')))
    {
        const bool add = isDelimiter('+');
        Parse();
        level3();
        emit(add ? kAdd : kSubtract);
    }
}

// Product: powers multiplied, divided or taken modulo, left to right.
void FormulaParser::level3()
{
    level4();
    while (!failed_ && (isDelimiter('*') || isDelimiter('/') || isDelimiter('%')))
    {
        const char op = text_[tokenStart_];
        Parse();
        level4();
        emit(op == '*' ? kMultiply : (op == '/' ? kDivide : kModulo));
    }
}

// Power: one '^' at most.
void FormulaParser::level4()
{
    level5();
    if (!failed_ && isDelimiter('^'))
    {
        Parse();
        level5();
        emit(kPower);
    }
}

// Signed operand.
void FormulaParser::level5()
{
    if (isDelimiter('+') || isDelimiter('-'))
    {
        const bool negate = isDelimiter('-');
        Parse();
        level6();
        if (negate)
            emit(kNegate);
        return;
    }
    level6();
}

// Primary: a parenthesis, a number, a function call or a name.
void FormulaParser::level6()
{
    if (failed_)
        return;
    if (isDelimiter('('))
    {
        if (++depth_ > kMaxNesting)
        {
            fail();
            return;
        }
        Parse();
        if (isDelimiter(')'))
        {
            fail(); // ()
            return;
        }
        bool assigned = false;
        level1(&assigned);
        if (failed_ || !isDelimiter(')'))
        {
            fail();
            return;
        }
        Parse();
        --depth_;
        return;
    }
    if (tokenType_ == kNumber)
    {
        emit(kPush, 0, number());
        Parse();
        return;
    }
    if (tokenType_ == kName)
    {
        if (cursor_ < text_.size() && text_[cursor_] == '(')
        {
            call();
            return;
        }
        char key[8];
        nameKey(key);
        emit(kLoad, slotOf(key)); // an error when it is neither a variable nor a constant then
        Parse();
        return;
    }
    fail(); // an operator where an operand belongs, or the end of the text
}

// Function call: the current token is the function's name, '(' follows.
void FormulaParser::call()
{
    // The rows' names packed as numbers, for a quick search.
    static const std::array<uint64_t, 38> words = [] {
        std::array<uint64_t, 38> w{};
        for (size_t i = 0; functions_[i].name; ++i)
            w[i] = pack(functions_[i].name, std::strlen(functions_[i].name));
        return w;
    }();
    const uint64_t name = pack(text_.data() + tokenStart_, tokenLength_);
    const FunctionRow* row = functions_;
    for (; row->name; ++row)
        if (words[static_cast<size_t>(row - functions_)] == name)
            break;
    if (!row->name || ++depth_ > kMaxNesting)
    {
        fail(); // not a function, or nested too deep
        return;
    }
    Parse(); // '('
    int count = 0;
    do
    {
        Parse();
        if (failed_ || isDelimiter(',') || isDelimiter(')') || count == 4)
        {
            fail(); // an empty argument, or more than any function takes
            return;
        }
        bool assigned = false;
        level1(&assigned);
        ++count;
        if (failed_)
            return;
    } while (isDelimiter(','));
    Parse(); // the token after the last argument, ')' or not
    if (failed_ || count != row->argCount)
    {
        fail();
        return;
    }
    --depth_;
    emit(row->argCount == 1 ? kCall1 : kCall2, 0, 0.0f, row->function);
}
} // namespace qw
