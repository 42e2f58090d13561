// Counts heap allocations made through operator new while a count is open,
// so a host can tell whether a module allocates inside process.
#pragma once

namespace qwhost::alloc
{
void begin();
// Allocations since begin().
long end();
// Host code called back from a module (recording its pin updates) does not count.
struct Pause
{
    Pause();
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
};
} // namespace qwhost::alloc
