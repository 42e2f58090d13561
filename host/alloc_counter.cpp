#include "alloc_counter.h"

#include <cstdlib>
#include <new>

namespace
{
// The host runs modules on one thread; thread_local keeps a second thread's
// allocations (a test's own worker) out of the count.
thread_local bool g_counting = false;
thread_local int g_paused = 0;
thread_local long g_count = 0;
thread_local std::size_t g_largest = 0;

void count(std::size_t n)
{
    if (g_counting && g_paused == 0)
    {
        ++g_count;
        if (n > g_largest)
            g_largest = n;
    }
}

void* allocate(std::size_t n)
{
    count(n);
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* allocateAligned(std::size_t n, std::align_val_t a)
{
    count(n);
    const std::size_t align = static_cast<std::size_t>(a);
    void* p = std::aligned_alloc(align, ((n ? n : 1) + align - 1) / align * align);
    if (!p)
        throw std::bad_alloc();
    return p;
}
} // namespace

namespace qwhost::alloc
{
void begin()
{
    g_count = 0;
    g_largest = 0;
    g_counting = true;
}

long end()
{
    g_counting = false;
    return g_count;
}

std::size_t largest()
{
    return g_largest;
}

Pause::Pause()
{
    ++g_paused;
}

Pause::~Pause()
{
    --g_paused;
}
} // namespace qwhost::alloc

void* operator new(std::size_t n)
{
    return allocate(n);
}
void* operator new[](std::size_t n)
{
    return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(n);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(n);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new(std::size_t n, std::align_val_t a)
{
    return allocateAligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a)
{
    return allocateAligned(n, a);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
