// Errors in how a command was typed (options, values, pin names): every
// command reports them with exit code 2; other failures exit with 1.
#pragma once

#include "metadata.h"

namespace qwtool
{
struct UsageError : qwhost::Error
{
    using qwhost::Error::Error;
};

constexpr int kUsageExitCode = 2;
constexpr int kFailureExitCode = 1;
} // namespace qwtool
