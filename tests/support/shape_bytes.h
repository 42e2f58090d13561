// Shapes as interface tables expect them: a node list written out as the bytes
// of a shape blob (magic 0x53484150, count, then the x, y pairs as floats).
//
//   deliver(kShape, shapeBytes({{0, 0}, {1, 0}}))
//   {kShape, shapeBytes({{0, 0}, {0.5f, 0.5f}, {1, 0}})}
#pragma once

#include "ui_table.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace qwtest
{
using ShapeNodes = std::vector<std::pair<float, float>>;

inline Bytes shapeBytes(const ShapeNodes& nodes)
{
    const uint32_t magic = 0x53484150;
    const int32_t count = static_cast<int32_t>(nodes.size());
    Bytes b(8 + 8 * nodes.size());
    std::memcpy(b.data(), &magic, 4);
    std::memcpy(b.data() + 4, &count, 4);
    for (size_t i = 0; i < nodes.size(); ++i)
    {
        std::memcpy(b.data() + 8 + 8 * i, &nodes[i].first, 4);
        std::memcpy(b.data() + 12 + 8 * i, &nodes[i].second, 4);
    }
    return b;
}

// A shape blob whose count word says `count`, whatever the bytes that follow.
inline Bytes shapeBytesCounted(const ShapeNodes& nodes, int32_t count)
{
    Bytes b = shapeBytes(nodes);
    std::memcpy(b.data() + 4, &count, 4);
    return b;
}

// n nodes evenly spread from x = 0 to 1, all at level y.
inline ShapeNodes evenNodes(int n, float y = 0.f)
{
    ShapeNodes nodes;
    for (int i = 0; i < n; ++i)
        nodes.push_back({i == n - 1 ? 1.f : static_cast<float>(i) / static_cast<float>(n - 1), y});
    return nodes;
}
} // namespace qwtest
