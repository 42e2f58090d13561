// The formula language: one text evaluated to a float, with arithmetic
// (+ - * / % ^, signs, parentheses), ten variables that a formula or its owner
// assigns, the constants pi, pi2, pih and e, and 37 built-in functions.
//
// An owner sets a lower-cased formula with setFormula, sets its variables with
// setVar (for example "x", "a", "b") and calls evaluate once per point.
// setFormula translates the text once into a flat list of instructions over a
// small value stack (numbers read and constant parts worked out, names held as
// slots), so evaluate reads no text and looks no name up while the set of
// variables stays the same. Once the text is set, evaluate neither allocates
// nor locks nor throws, so it may run on the audio thread; errors stay inside
// the object and come out as a false result with the value 0.
//
// An evaluation does what reading the text from left to right and computing
// as it goes would do: assignments and random numbers happen in that order,
// and an error (a syntax error, an unknown name, a full variable table) ends
// it there, keeping what happened before it.
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
#include <string_view>
#include <vector>

namespace qw
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

    // Sets the formula text (lower-cased by the owner) and translates it.
    // Allocates nothing for a text no longer than the last reserve asked.
    void setFormula(std::string_view text);
    const std::string& formula() const { return text_; }
    // Room for texts of up to `length` characters, so that setting one later
    // allocates nothing (for owners that set texts on the audio thread).
    void reserve(size_t length);
    // Forgets every variable and restarts the random sequence, as a new
    // parser has them; the formula stays.
    void resetState();

    // Evaluates the formula. An expression: its value in *result, true. An
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
        if (!normalize(name, key))
            return 0;
        // The quick way for the variable set last time: its row still holds it.
        if (lastSet_ >= 0 && word(rows_[lastSet_].name) == word(key))
        {
            rows_[lastSet_].value = value;
            return 1;
        }
        return store(key, value) ? 1 : 0;
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
    enum Code : int32_t
    {
        kPush,   // push value
        kLoad,   // push the value bound to slot; an error when none is
        kNegate, // top = -top
        kAdd,    // second op top, the pair replaced by the result
        kSubtract,
        kMultiply,
        kDivide,
        kModulo,
        kPower,
        kAddValue, // top op value: the six above with a number as right operand
        kSubtractValue,
        kMultiplyValue,
        kDivideValue,
        kModuloValue,
        kPowerValue,
        kCall1,  // top = function(top, 0)
        kCall2,  // second = function(second, top), one popped
        kStore,  // the slot's variable takes top (top stays); an error when no row is free
        kClear,  // empties the slot's variable, pushes 0
        kFail,   // an error found while translating
        kReturn, // the result is top
    };
    struct Instruction
    {
        Code code;
        int32_t slot;
        float value;
        Function function;
    };

    static uint64_t word(char const name[8])
    {
        uint64_t w = 0;
        for (int i = 0; i < 8; ++i)
            w |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
        return w;
    }

    static constexpr int kRows = kVariables + 5;
    // The variables, then the constants (the last with an empty name).
    Row rows_[kRows];
    uint32_t random_ = 1;
    // Counts changes of which names the variable rows hold; bindings made at
    // another count are redone before they are used.
    uint32_t names_ = 0;
    int lastSet_ = -1; // the row that setVar or an assignment stored into last

    std::string text_;
    std::vector<Instruction> program_;
    std::vector<uint64_t> slotNames_; // the name of each slot
    std::vector<int32_t> bindings_;   // each slot's row (a variable's or a constant's), or -1
    std::vector<float> stack_;
    uint32_t boundAt_ = ~0u; // the value of names_ when bindings_ were made
    bool assigns_ = false;   // the statement is an assignment: evaluate returns false

    // Translation state: the token being read.
    size_t cursor_ = 0;     // the first character after the token and its blanks
    size_t tokenStart_ = 0; // the token is text_[tokenStart_, tokenStart_ + tokenLength_)
    size_t tokenLength_ = 0;
    TokenType tokenType_ = kEnd;
    int depth_ = 0;
    bool failed_ = false;
    int height_ = 0;                         // values on the stack at this point of the program
    int maxHeight_ = 0;                      // the most at any point
    static const FunctionRow functions_[38]; // the last has a null name

    // Lower-cases name into key, cut to kNameLength; false for an empty name.
    static bool normalize(char const* name, char key[8]);
    bool store(char const key[8], float value);
    int lookup(char const key[8], float* value) const;
    int find(uint64_t key) const;
    int clear(char const key[8]);
    void bind();
    bool assign(int32_t slot, float value);

    void fail();
    bool isDelimiter(char c) const { return tokenType_ == kDelimiter && text_[tokenStart_] == c; }
    void nameKey(char key[8]) const;
    float number() const;
    int32_t slotOf(char const key[8]);
    void emit(Code code, int32_t slot = 0, float value = 0.0f, Function function = nullptr);
    bool constantsOnTop(int count) const;

    void Parse();
    void level1(bool* assigned);
    void level2();
    void level3();
    void level4();
    void level5();
    void level6();
    void call();
};
} // namespace qw
