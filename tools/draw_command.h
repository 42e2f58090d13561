// qwhost draw: one drawn user-interface module, laid out, pointed at and
// drawn into a PNG file.
#pragma once

#include <string>
#include <vector>

namespace qwhost
{
struct GuiValue;
struct WidgetAnswer;
} // namespace qwhost

namespace qwtool
{
// The command's own help text.
extern const char* const kDrawUsage;

// One step of a pointer script.
struct PointerStep
{
    enum Kind
    {
        PRESS,
        MOVE,
        RELEASE,
        WAIT,  // x: milliseconds of real time in which the module's timers run
        HOVER, // the host asks whether (x, y) hits the module, as while the pointer passes
    } kind;
    float x, y;
    bool fine; // the fine-adjustment modifier is held
};

// Reads a pointer script: steps separated by ';' or line ends, each
// "press X,Y", "move X,Y" or "release X,Y", optionally followed by "fine",
// "hover X,Y" or "wait MS";
// '#' starts a comment that runs to the end of the line. Throws qwhost::Error
// naming the step at fault.
std::vector<PointerStep> parsePointerScript(const std::string& text);

// The steps of a script: separated by ';' or line ends, blanks around each
// dropped, empty ones skipped; '#' starts a comment that runs to the end of
// the line.
std::vector<std::string> splitScript(const std::string& text);

// Reads an --answer of `command`: "choose ID", "enter TEXT", "ok",
// "pick PATH" or "cancel"; throws qwhost::Error otherwise.
qwhost::WidgetAnswer parseAnswer(const std::string& text, const std::string& command);

// A value a module sent, as text, for a pin of that datatype: numbers, true or
// false, a text in double quotes (UTF-8), a shape blob as its shape text or
// the size of any other blob.
std::string describeValue(const qwhost::GuiValue& v, int datatype);

// args: everything after "draw". Throws qwhost::Error with a message naming
// the file, module, pin, option or value at fault; returns the exit code.
int drawCommand(const std::vector<std::string>& args);
} // namespace qwtool
