// Counts heap allocations made through operator new while a count is open,
// so a host can tell whether a module allocates inside process.
#pragma once

#include <cstddef>

namespace qwhost::alloc
{
void begin();
// Allocations since begin().
long end();
// The largest single allocation, in bytes, between begin() and end().
std::size_t largest();
// Host code called back from a module (recording its pin updates) does not count.
struct Pause
{
    Pause();
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
};
} // namespace qwhost::alloc
