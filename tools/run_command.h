// qwhost run: one processing module over a WAV file or a generated sweep.
#pragma once

#include <string>
#include <vector>

namespace qwtool
{
// The command's own help text.
extern const char* const kRunUsage;

// args: everything after "run". Throws qwhost::Error with a message naming
// the file, module, pin, option or value at fault; returns the exit code.
int runCommand(const std::vector<std::string>& args);
} // namespace qwtool
