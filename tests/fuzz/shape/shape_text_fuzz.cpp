// Any bytes as a shape text (one character per byte) and as a shape file: a
// text is either refused, leaving the shape as it was, or gives a well-formed
// shape that renders to finite tables.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qw_shape.h"

namespace
{

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool sameShape(const qw::Shape& a, const qw::Shape& b)
{
    return a.itp == b.itp && std::memcmp(a.blobData(), b.blobData(), a.blobSize()) == 0 && a.count == b.count;
}

// Nodes of every shape built from text or file: 2 to 100, x from 0 to 1
// strictly increasing, y within -1..1.
void checkWellFormed(const qw::Shape& s)
{
    check(s.count >= 2 && s.count <= qw::Shape::kMaxNodes);
    check(s.nodes[0].x == 0.f && s.nodes[s.count - 1].x == 1.f);
    for (int i = 0; i < s.count; ++i)
    {
        check(s.nodes[i].y >= -1.f && s.nodes[i].y <= 1.f);
        if (i > 0)
            check(s.nodes[i].x > s.nodes[i - 1].x);
    }
    check(qw::Shape::isValidItp(s.itp));
}

void checkRenders(const qw::Shape& s)
{
    for (int itp : {0, 10, 20, 30})
    {
        qw::Shape::Interpolator in(s, 40);
        in.shape.itp = itp;
        in.shape.changed = 1;
        check(in.render());
        for (int i = 0; i < 40; ++i)
            check(std::isfinite(in.table[i]));
        check(in.table[39] == s.nodes[s.count - 1].y && in.table[40] == 0.f);
    }
}

// The file is read through its name, like any shape file.
struct MemFile
{
    int fd = memfd_create("shape", 0);
    std::wstring name = L"/proc/self/fd/" + std::to_wstring(fd);
    MemFile()
    {
        if (fd < 0)
            std::abort();
    }
    void put(const uint8_t* data, size_t size) const
    {
        if (ftruncate(fd, 0) != 0 || (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const MemFile file;
    const std::wstring text(data, data + size);

    qw::Shape fresh(text.c_str());
    if (fresh.invalid == 0)
    {
        checkWellFormed(fresh);
        checkRenders(fresh);
    }
    else
    {
        check(sameShape(fresh, qw::Shape()));
    }

    qw::Shape held(L"(-5,1)(0,-1)(5,1)");
    const qw::Shape before = held;
    const bool changed = held.setString(text);
    if (held.invalid == 0)
    {
        checkWellFormed(held);
        check(changed == !sameShape(held, before));
    }
    else
    {
        check(!changed && sameShape(held, before));
    }

    file.put(data, size);
    qw::Shape loaded(L"(-5,1)(0,-1)(5,1)");
    const bool loadChanged = loaded.loadShp(file.name);
    if (loaded.invalid == 0)
    {
        checkWellFormed(loaded);
        check(loadChanged == !sameShape(loaded, before));
    }
    else
    {
        check(!loadChanged && sameShape(loaded, before));
    }
    return 0;
}
