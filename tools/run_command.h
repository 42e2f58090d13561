// qwhost run: one processing module over a WAV file or a generated sweep.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qwhost
{
class Bundle;
class ProcessingHost;
class Processor;
} // namespace qwhost

namespace qwtool
{
// The command's own help text.
extern const char* const kRunUsage;

// args: everything after "run". Throws qwhost::Error with a message naming
// the file, module, pin, option or value at fault; returns the exit code.
int runCommand(const std::vector<std::string>& args);

// Where a run's processing half lives: its host, how it is made, started and
// run block by block.
class RunTarget
{
public:
    virtual ~RunTarget() = default;
    virtual qwhost::ProcessingHost& host() = 0;
    // Called once, after the run has set the host's rate, block size and copies.
    virtual qwhost::Processor& create(std::shared_ptr<qwhost::Bundle> bundle, const std::wstring& id) = 0;
    // After the inputs' first values.
    virtual void graphStart(qwhost::Processor& p) = 0;
    virtual void run(qwhost::Processor& p, int n) = 0;
};

// The run command on a target: args as for "run" (no --help).
int runModule(const std::vector<std::string>& args, RunTarget& target);
} // namespace qwtool
