// qwhost ui: one user-interface module, invisible ones included, given pin
// values step by step, with every value it sends printed after each step.
#pragma once

#include <string>
#include <vector>

namespace qwtool
{
// The command's own help text.
extern const char* const kUiUsage;

// One step of a --steps script.
struct UiStep
{
    enum Kind
    {
        SET,  // the host delivers `value` to the pin `name` (setPin, then notifyPin)
        WAIT, // ms milliseconds on the host's clock, in which the module's timers run
    } kind;
    std::string name, value;
    float ms;
    std::string text; // the step as written
};

// Reads a step script: steps separated by ';' or line ends, each
// "NAME=VALUE" or "wait MS"; '#' starts a comment that runs to the end of the
// line. Throws qwhost::Error naming the step at fault.
std::vector<UiStep> parseUiSteps(const std::string& text);

// args: everything after "ui". Throws qwhost::Error with a message naming the
// module, pin, option, step or value at fault; returns the exit code.
int uiCommand(const std::vector<std::string>& args);
} // namespace qwtool
