// Any bytes as a formula text, run by the translating parser and by the
// evaluator that reads the text anew each time (the reference): both start
// with the same variables and must agree bit for bit on every evaluation, in
// the return value, the result (NaN payloads included) and every variable
// afterwards. Three evaluations in a row with x changed between them carry
// assignments, cleared names and the random sequence from one to the next.
// The first byte, when it is a digit, first fills that many of the variable
// rows, so that texts meet a table with no room left.
#include <cstdint>
#include <cstring>
#include <string>

#include "formula_reference.h"
#include "qw_formula.h"

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool sameBits(float u, float v)
{
    return std::memcmp(&u, &v, sizeof u) == 0;
}

template <class Parser> void prepare(Parser& p, int filled)
{
    p.setVar("x", 0.375f);
    p.setVar("a", 2.0f);
    p.setVar("b", -1.5f);
    for (int i = 0; i < filled; ++i)
    {
        const char name[3] = {'v', static_cast<char>('0' + i), '\0'};
        p.setVar(name, static_cast<float>(i));
    }
}

// Names the texts of the dictionary reach, constants included.
const char* const kNames[] = {"x", "a", "b", "c", "d", "y", "pi", "pi2", "pih", "e", "v0", "v6", "aaaaa", "_"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int filled = 0;
    if (size > 0 && data[0] >= '0' && data[0] <= '9')
    {
        filled = data[0] - '0';
        ++data;
        --size;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);

    qw::FormulaParser parser;
    qw::reference::FormulaParser reference;
    prepare(parser, filled);
    prepare(reference, filled);
    parser.setFormula(text);
    reference.formula = text;

    const float xs[3] = {0.375f, -2.5f, 1e30f};
    for (float x : xs)
    {
        parser.setVar("x", x);
        reference.setVar("x", x);
        float r1 = 7.0f, r2 = 7.0f;
        const bool ok1 = parser.evaluate(&r1);
        const bool ok2 = reference.evaluate(&r2);
        check(ok1 == ok2 && sameBits(r1, r2));
        for (const char* name : kNames)
        {
            float v1 = -3.0f, v2 = -3.0f;
            check(parser.getValue(name, &v1) == reference.getValue(name, &v2) && sameBits(v1, v2));
        }
    }
    return 0;
}
