// Shape blobs: acceptance by size, magic and count; the blob image of a shape.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "qw_shape.h"

namespace
{

void putU32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putF32(std::vector<uint8_t>& b, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(b, v);
}

// A blob of `nodes` nodes (x = k / (nodes - 1), y = -k) with the given magic
// and count word, cut or padded to `size` bytes.
std::vector<uint8_t> blob(int nodes, uint32_t magic, int32_t countWord, size_t size)
{
    std::vector<uint8_t> b;
    putU32(b, magic);
    putU32(b, static_cast<uint32_t>(countWord));
    for (int k = 0; k < nodes; ++k)
    {
        putF32(b, nodes > 1 ? static_cast<float>(k) / static_cast<float>(nodes - 1) : 0.f);
        putF32(b, -static_cast<float>(k));
    }
    b.resize(size, 0);
    return b;
}

struct BlobCase
{
    const char* name;
    int nodes;
    uint32_t magic;
    int32_t countWord;
    size_t size;
    bool accepted;
};

class ShapeBlob : public ::testing::TestWithParam<BlobCase>
{};

TEST_P(ShapeBlob, AcceptsOnlyWellFormedBlobs)
{
    const BlobCase& c = GetParam();
    const std::vector<uint8_t> b = blob(c.nodes, c.magic, c.countWord, c.size);
    // Offset by one byte: readers must not rely on alignment.
    std::vector<uint8_t> shifted(b.size() + 1);
    std::memcpy(shifted.data() + 1, b.data(), b.size());
    const void* data = shifted.data() + 1;

    EXPECT_EQ(qw::Shape::isValidBlob(c.size, data), c.accepted);

    qw::Shape fresh(c.size, data);
    EXPECT_EQ(fresh.invalid, c.accepted ? 0 : 1);
    EXPECT_EQ(fresh.changed, 0);

    qw::Shape held(L"(-5,1)(0,0)(5,1)");
    EXPECT_EQ(held.setBlob(c.size, data), c.accepted);
    EXPECT_EQ(held.invalid, c.accepted ? 0 : 1);
    EXPECT_EQ(held.changed, c.accepted ? 1 : 0);

    if (c.accepted)
    {
        for (const qw::Shape* s : {&fresh, &held})
        {
            ASSERT_EQ(s->count, c.nodes);
            for (int k = 0; k < c.nodes; ++k)
            {
                EXPECT_EQ(s->nodes[k].x, static_cast<float>(k) / static_cast<float>(c.nodes - 1));
                EXPECT_EQ(s->nodes[k].y, -static_cast<float>(k)); // node values are not checked
            }
        }
    }
    else
    {
        EXPECT_EQ(fresh.count, 2); // the default shape
        EXPECT_EQ(fresh.nodes[1].x, 1.f);
        EXPECT_EQ(fresh.nodes[1].y, 0.f);
        ASSERT_EQ(held.count, 3); // an in-place reader keeps its nodes
        EXPECT_FLOAT_EQ(held.nodes[1].x, 0.5f);
        EXPECT_FLOAT_EQ(held.nodes[2].y, 0.2f);
    }
}

constexpr uint32_t kMagic = 0x53484150;

INSTANTIATE_TEST_SUITE_P(
    Blobs, ShapeBlob,
    ::testing::Values(
        BlobCase{"two_nodes", 2, kMagic, 2, 24, true}, BlobCase{"three_nodes", 3, kMagic, 3, 32, true},
        BlobCase{"hundred_nodes", 100, kMagic, 100, 808, true},
        BlobCase{"hundred_and_one", 101, kMagic, 101, 816, false}, BlobCase{"one_node", 1, kMagic, 1, 16, false},
        BlobCase{"header_only", 0, kMagic, 0, 8, false}, BlobCase{"empty", 0, kMagic, 0, 0, false},
        BlobCase{"not_a_multiple_of_8", 2, kMagic, 2, 28, false}, BlobCase{"count_too_big", 2, kMagic, 3, 24, false},
        BlobCase{"count_too_small", 3, kMagic, 2, 32, false}, BlobCase{"count_negative", 2, kMagic, -1, 24, false},
        BlobCase{"count_wraps", 2, kMagic, INT32_MIN + 2, 24, false},
        BlobCase{"magic_byte_swapped", 2, 0x50414853, 2, 24, false}, BlobCase{"magic_zero", 2, 0, 2, 24, false}),
    [](const ::testing::TestParamInfo<BlobCase>& i) { return std::string(i.param.name); });

TEST(ShapeBlob, NullDataIsRefused)
{
    EXPECT_FALSE(qw::Shape::isValidBlob(24, nullptr));
    qw::Shape s(24, nullptr);
    EXPECT_EQ(s.invalid, 1);
    EXPECT_FALSE(s.setBlob(24, nullptr));
}

TEST(ShapeBlob, ImageOfAShapeIsItsBlob)
{
    qw::Shape s(L"(-5,-5)(0,2.5)(5,5)");
    ASSERT_EQ(s.invalid, 0);
    ASSERT_EQ(s.blobSize(), 32u);
    const auto* bytes = static_cast<const uint8_t*>(s.blobData());
    // Little-endian magic, then the count, then x, y pairs.
    EXPECT_EQ(0, std::memcmp(bytes, "PAHS", 4));
    const std::vector<uint8_t> expected = [] {
        std::vector<uint8_t> b;
        putU32(b, kMagic);
        putU32(b, 3);
        putF32(b, 0.f), putF32(b, -1.f), putF32(b, 0.5f), putF32(b, 0.5f), putF32(b, 1.f), putF32(b, 1.f);
        return b;
    }();
    EXPECT_EQ(0, std::memcmp(bytes, expected.data(), expected.size()));

    qw::Shape back(s.blobSize(), s.blobData());
    EXPECT_EQ(back.invalid, 0);
    ASSERT_EQ(back.count, 3);
    EXPECT_EQ(back.nodes[1].x, s.nodes[1].x);
    EXPECT_EQ(back.nodes[1].y, s.nodes[1].y);
}

TEST(ShapeBlob, TheSameBlobTwiceIsNoChange)
{
    const qw::Shape src(L"(-5,-5)(0,2.5)(5,5)");
    qw::Shape s;
    EXPECT_TRUE(s.setBlob(src.blobSize(), src.blobData()));
    s.changed = 0;
    EXPECT_FALSE(s.setBlob(src.blobSize(), src.blobData()));
    EXPECT_EQ(s.changed, 0);
    EXPECT_EQ(s.invalid, 0);
}

} // namespace
