// The hand-over helpers on their own: what a message must be to be taken, and
// how a recording's memory grows. (The bridges' and recorders' use of them is
// tested through the built bundle.)
#include "HandOver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(HandOver, OnlyAnExactMessageFromThisBundleIsTaken)
{
    const char bytes[5] = {1, 2, 3, 4, 5};
    qw::AcknowledgeFlag flag{false};
    const qw::HandOverMessage good = qw::makeHandOver(bytes, 5, flag);

    std::vector<std::pair<int32_t, const void*>> passed;
    auto pass = [&](int32_t n, const void* data) { passed.emplace_back(n, data); };

    EXPECT_TRUE(qw::receiveHandOver(sizeof good, &good, pass));
    ASSERT_EQ(passed.size(), 1u);
    EXPECT_EQ(passed[0].first, 5);
    EXPECT_EQ(passed[0].second, bytes);
    EXPECT_TRUE(flag.load()) << "acknowledged once passed on";

    auto ignored = [&](qw::HandOverMessage m, int32_t size = 24) {
        flag = false;
        passed.clear();
        const bool taken = qw::receiveHandOver(size, &m, pass);
        return !taken && passed.empty() && !flag.load();
    };
    qw::HandOverMessage m = good;
    m.token ^= 0x100;
    EXPECT_TRUE(ignored(m)) << "another token";
    m = good;
    m.acknowledge = 0;
    EXPECT_TRUE(ignored(m)) << "no flag";
    m = good;
    m.buffer = 0;
    EXPECT_TRUE(ignored(m)) << "bytes at no address";
    m = good;
    m.bytes = -4;
    EXPECT_TRUE(ignored(m)) << "a negative count";
    EXPECT_TRUE(ignored(good, 16));
    EXPECT_TRUE(ignored(good, 25));
    EXPECT_FALSE(qw::receiveHandOver(24, nullptr, pass));

    // No bytes at all is the empty value, whatever the pointer.
    passed.clear();
    EXPECT_TRUE(qw::receiveHandOver(0, &good, pass));
    ASSERT_EQ(passed.size(), 1u);
    EXPECT_EQ(passed[0].first, 0);
    EXPECT_EQ(passed[0].second, nullptr);
}

TEST(RecordingFrames, MemoryGrowsInPiecesUpToTheLimit)
{
    struct Step
    {
        size_t frames, piece, capacity;
    };
    // Each row continues from the one before.
    const Step steps[] = {
        {1, 100000, 100000},           // the first piece
        {100000, 100000, 100000},      // still fits
        {100001, 100000, 200000},      // one piece more
        {450000, 100000, 500000},      // whole pieces
        {500001, 0x7FFFFFFF, 1548576}, // a huge step grows by 2^20 frames at most
    };
    qw::RecordingFrames r;
    for (const Step& s : steps)
    {
        ASSERT_TRUE(r.reserve(s.frames, s.piece)) << s.frames;
        EXPECT_EQ(r.capacity(), s.capacity) << s.frames;
    }
    r.data()[0] = 1.0f;
    r.data()[1548575] = 2.0f;
    EXPECT_FALSE(r.reserve(qw::kMaxRecordingFrames + 1, 100000)) << "beyond the longest recording";
    EXPECT_EQ(r.capacity(), 1548576u);
    EXPECT_EQ(r.data()[0], 1.0f) << "the frames held stay";
    EXPECT_EQ(r.data()[1548575], 2.0f);
}
