// Any bytes as a shape blob: accepted exactly when size, magic and count agree,
// then taken node for node; whatever the nodes hold, rendering, morphing and
// inserting stay inside the shape and the table, and tables stay finite.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "qw_shape.h"

namespace
{

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool wellFormedBlob(const uint8_t* data, size_t size)
{
    if (size < 24 || size > 808 || size % 8 != 0)
        return false;
    const uint32_t magic = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    const uint32_t count = data[4] | data[5] << 8 | data[6] << 16 | static_cast<uint32_t>(data[7]) << 24;
    return magic == 0x53484150 && count == (size - 8) / 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool valid = wellFormedBlob(data, size);
    check(qw::Shape::isValidBlob(size, data) == valid);

    qw::Shape fresh(size, data);
    check(fresh.invalid == (valid ? 0 : 1) && fresh.changed == 0);
    if (valid)
    {
        check(fresh.count == static_cast<int>((size - 8) / 8));
        check(std::memcmp(fresh.blobData(), data, size) == 0);
    }
    else
    {
        check(fresh.count == 2 && fresh.nodes[1].x == 1.f);
    }

    qw::Shape held(L"(-5,1)(0,-1)(5,1)");
    const qw::Shape before = held;
    const bool changed = held.setBlob(size, data);
    if (!valid)
    {
        check(!changed && held.invalid == 1 && held.count == 3);
        check(std::memcmp(held.nodes, before.nodes, sizeof before.nodes) == 0);
        return 0;
    }
    check(held.invalid == 0 && std::memcmp(held.blobData(), data, size) == 0);

    for (int itp : {0, 10, 20, 30})
    {
        qw::Shape::Interpolator in(held, 33);
        in.shape.itp = itp;
        in.shape.changed = 1;
        check(in.render());
        for (int i = 0; i < 33; ++i)
            check(std::isfinite(in.table[i]));
        check(in.table[33] == 0.f);
    }

    qw::Shape morphed = before;
    morphed.morphWith(held, 0.5f);
    check(morphed.count >= 2 && morphed.count <= qw::Shape::kMaxNodes);
    qw::Shape other = held;
    other.morphWith(before, 0.25f);
    check(other.count >= 2 && other.count <= qw::Shape::kMaxNodes);

    const int at = held.addNode({0.5f, 0.25f});
    check(at == -1 || (at > 0 && at < held.count && held.count <= qw::Shape::kMaxNodes));
    held.setNodeX(1, 0.3f);
    return 0;
}
