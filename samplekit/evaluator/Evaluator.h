// The formula language of the first-generation sample generators: single-
// precision arithmetic over named variables, four constants (pi, pi2, pih, e)
// and 37 named functions, read by recursive descent.
//
//   statement  := name "=" [sum]            assignment; with nothing after
//                                           the "=" the variable is cleared
//              |  sum
//   sum        := product {("+" | "-") product}
//   product    := power {("*" | "/" | "%") power}
//   power      := signed ["^" signed]       one "^" only: 2^3^2 is 8
//   signed     := ["+" | "-"] primary       one sign only: -2^2 is 4
//   primary    := "(" statement ")" | name "(" statement {"," statement} ")"
//              |  name | number
//
// Names and functions are matched without regard to case; a name keeps its
// first 15 characters. A number is a run of digits and points (no exponent:
// 1e3 is 1 followed by the name e3). Text after a complete statement is not
// read. A text is at most 511 characters, a number at most 31.
//
// A plain object with no heap, no threads and no host calls: the generator
// that holds one evaluates its formula once per output sample.
#pragma once

#include <cstdint>

class Evaluator
{
public:
    static constexpr int kVariables = 50;
    static constexpr int kNameChars = 15;
    static constexpr int kMaxTextChars = 511;
    static constexpr int kMaxTokenChars = 31;

    // Failure codes of Evaluate.
    enum Error
    {
        kBadCharacter = 1,   // outside the language, a missing operand, or too long
        kMissingParenthesis, // no ")" after a parenthesised statement
        kUnknownName,        // no variable or constant of that name
        kTooManyVariables,   // an assignment with all rows in use
        kUnknownFunction,    // a name followed by "(" that no function has
        kWrongArgumentCount,
        kEmptyArgument, // "()" or an empty argument
        kNoToken,       // the text holds nothing but blanks
    };

    Evaluator();
    virtual ~Evaluator() = default;

    // 0 on success with *result the value and *assigned 1 for an assignment
    // (or a clearing), 0 for a plain statement; else the failure code, with
    // *result 0 and *assigned left as it was. Variables assigned before a
    // failure keep their values.
    int Evaluate(const char* text, float* result, int* assigned);

    // Names are lower-cased and cut to 15 characters before they are stored
    // or compared. SetValue answers 0 when all rows are in use (or the name is
    // empty); GetValue finds a variable before a constant.
    int SetValue(const char* name, float value);
    int GetValue(const char* name, float* out) const;
    int ClearVar(const char* name);
    void ClearAllVars();

    // The last failure: its code (0 before any), the token current at it and
    // its character index (for a character outside the language, its own).
    int errorCode() const { return errorCode_; }
    const char* errorText() const { return errorText_; }
    int64_t errorPosition() const { return errorPosition_; }

private:
    struct Row
    {
        char name[kNameChars + 1];
        float value;
    };
    using Function = float (*)(float, float);
    struct FunctionRow
    {
        const char* name;
        int32_t argCount;
        Function function;
    };
    enum TokenType
    {
        kEnd,
        kName,
        kDelimiter,
        kNumber,
    };

    static void normalise(const char* name, char (&out)[kNameChars + 1]);
    Row* findVariable(const char* normalised);
    const Row* findVariable(const char* normalised) const;
    int store(const char* normalised, float value);

    void Parse();
    int Level1(float& r);
    void Level2(float& r);
    void Level3(float& r);
    void Level4(float& r);
    void Level5(float& r);
    void Level6(float& r);
    void call(float& r);
    bool isDelimiter(char c) const { return tokenType_ == kDelimiter && token_[0] == c; }

    // Records a failure at the current token; the evaluation unwinds from there.
    void fail(int code, const char* text = nullptr);
    // Records a failure at one character of the text.
    void failAt(int code, const char* at);

    int32_t errorCode_ = 0;
    char errorText_[36] = {};
    int64_t errorPosition_ = 0;
    const char* start_ = nullptr;
    Row variables_[kVariables];
    Row constants_[5];
    const char* position_ = nullptr;
    char token_[kMaxTokenChars + 1] = {};
    int32_t tokenType_ = kEnd;
    FunctionRow functions_[38];
    bool failed_ = false;
};
