// The formula language as first built: every evaluation parses the text anew
// and computes as it reads. Kept as the reference that the translated
// evaluator (qw_formula.h) must match result for result.
//
// The formula language: one text evaluated to a float, with arithmetic
// (+ - * / % ^, signs, parentheses), ten variables that a formula or its owner
// assigns, the constants pi, pi2, pih and e, and 37 built-in functions.
//
// An owner stores a lower-cased formula in `formula`, sets its variables with
// setVar (for example "x", "a", "b") and calls evaluate once per point. Every
// call parses the text anew. Once the text is set, evaluate neither allocates
// nor locks nor throws, so it may run on the audio thread; errors stay inside
// the object and come out as a false result with the value 0.
//
// Statement   name = sum      (assigns; "name =" alone clears the variable)
//             sum
// sum         product { (+|-) product }
// product     power { (*|/|%) power }
// power       signed [ ^ signed ]            (one ^ only: 2^3^2 is 8)
// signed      [+|-] primary                  (binds tighter than ^: -2^2 is 4)
// primary     ( statement ) | number | function ( statement {, statement} ) | name
//
// Names are '_', lower-case letters and digits, significant to their first
// five characters; blanks are spaces and tabs; any other character is an error.
#pragma once

#include <cstdint>
#include <string>

namespace qw::reference
{
class FormulaParser
{
public:
    static constexpr int kVariables = 10;
    static constexpr int kNameLength = 5;
    // Parentheses and function calls nested deeper than this are an error,
    // so no text can exhaust the stack.
    static constexpr int kMaxNesting = 256;

    FormulaParser();

    // Evaluates `formula`. An expression: its value in *result, true. An
    // assignment: the variable set, its value in *result, false. An empty
    // text: false, *result untouched. Any error: *result = 0, false; variables
    // assigned before the error keep their values.
    bool evaluate(float* result) noexcept;

    // Empties the variable of that name: 1, or 0 when there is none.
    int clearVar(char const* name);

    // The value of a variable or, when no variable has that name, of a
    // constant: 1 with *value written, else 0. Variables hide constants.
    int getValue(char const* name, float* value) const;

    // Sets a variable as an assignment does: the row of that name, else the
    // first empty row, takes the value. 1 when set; 0 (nothing set) when all
    // ten rows hold other names or the name is empty.
    int setVar(char const* name, float value)
    {
        char key[8];
        return normalize(name, key) && store(key, value) ? 1 : 0;
    }

private:
    struct Row
    {
        char name[8]; // at most kNameLength characters, lower case, zero-padded
        float value;
    };
    // A built-in function: its arguments (the second 0 for one-argument
    // functions) and the parser's random state, which only rnd uses.
    using Function = float (*)(float x, float y, uint32_t& random);
    struct FunctionRow
    {
        char const* name;
        int32_t argCount;
        Function function;
    };
    enum TokenType : int32_t
    {
        kEnd = 0,
        kName = 1,
        kDelimiter = 2,
        kNumber = 3,
    };

    Row vars_[kVariables];
    Row consts_[5]; // the last has an empty name

public:
    // The formula text, lower-cased by the owner.
    std::string formula;

private:
    size_t cursor_ = 0;     // the first character after the token and its blanks
    size_t tokenStart_ = 0; // the token is formula[tokenStart_, tokenStart_ + tokenLength_)
    size_t tokenLength_ = 0;
    TokenType tokenType_ = kEnd;
    int depth_ = 0;
    bool failed_ = false;
    uint32_t random_ = 1;
    static const FunctionRow functions_[38]; // the last has a null name

    // Lower-cases name into key, cut to kNameLength; false for an empty name.
    static bool normalize(char const* name, char key[8]);
    bool store(char const key[8], float value);
    int lookup(char const key[8], float* value) const;
    int clear(char const key[8]);
    void fail()
    {
        failed_ = true;
        tokenType_ = kEnd;
    }
    bool isDelimiter(char c) const { return tokenType_ == kDelimiter && formula[tokenStart_] == c; }
    void nameKey(char key[8]) const;
    float number() const;

    void Parse();
    float level1(bool* assigned);
    float level2();
    float level3();
    float level4();
    float level5();
    float level6();
    float call();
};
} // namespace qw::reference
