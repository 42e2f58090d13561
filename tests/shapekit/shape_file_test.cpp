// Shape files: a shape text on the first line, an optional "ITP=" type after it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "qw_shape.h"

namespace
{

namespace fs = std::filesystem;

class ShapeFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("qw_shape_file_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Writes the bytes as they stand and returns the file's wide path. A
    // non-ASCII name is given both ways: UTF-8 to create, wide to return.
    std::wstring write(const std::string& name, const std::string& bytes, std::wstring wideName = L"")
    {
        std::ofstream(dir_ / fs::u8path(name), std::ios::binary) << bytes;
        if (wideName.empty())
            wideName.assign(name.begin(), name.end());
        return dir_.wstring() + L"/" + wideName;
    }
    fs::path dir_;
};

TEST_F(ShapeFile, ReadsTextAndTypeWithLineFeeds)
{
    qw::Shape s;
    EXPECT_TRUE(s.loadShp(write("lf.shp", "(-5,0)(0,5)(5,0)\nITP=30\n")));
    EXPECT_EQ(s.invalid, 0);
    EXPECT_EQ(s.changed, 1);
    EXPECT_EQ(s.itp, 30);
    ASSERT_EQ(s.count, 3);
    EXPECT_FLOAT_EQ(s.nodes[1].x, 0.5f);
    EXPECT_FLOAT_EQ(s.nodes[1].y, 1.f);
}

TEST_F(ShapeFile, ReadsTextAndTypeWithCarriageReturnLineFeeds)
{
    qw::Shape s(L"(-5,1)(5,1)");
    EXPECT_TRUE(s.loadShp(write("crlf.shp", "(-5,0)(0,5)(5,0)\r\nITP=30\r\n")));
    EXPECT_EQ(s.invalid, 0);
    EXPECT_EQ(s.changed, 1);
    EXPECT_EQ(s.itp, 30);
    ASSERT_EQ(s.count, 3);
    EXPECT_FLOAT_EQ(s.nodes[1].x, 0.5f);
    EXPECT_FLOAT_EQ(s.nodes[1].y, 1.f);
    // A single line with a CR LF end, and one ending in CR alone.
    qw::Shape t;
    EXPECT_TRUE(t.loadShp(write("one-crlf.shp", "(-5,-5)(5,5)\r\n")));
    EXPECT_FLOAT_EQ(t.nodes[1].y, 1.f);
    qw::Shape u;
    EXPECT_TRUE(u.loadShp(write("one-cr.shp", "(-5,-5)(5,5)\r")));
    EXPECT_EQ(u.invalid, 0);
    // Only one carriage return is dropped.
    qw::Shape v(L"(-5,1)(5,1)");
    EXPECT_FALSE(v.loadShp(write("crcr.shp", "(-5,0)(0,5)(5,0)\r\r\nITP=30\r\n")));
    EXPECT_EQ(v.invalid, 1);
    EXPECT_EQ(v.itp, 10); // the type of a refused file is not applied
    ASSERT_EQ(v.count, 2);
    EXPECT_FLOAT_EQ(v.nodes[0].y, 0.2f);
}

TEST_F(ShapeFile, WithoutLineFeedTheWholeFileIsTheText)
{
    qw::Shape s;
    EXPECT_TRUE(s.loadShp(write("one.shp", "(-5,-5)(5,5)")));
    EXPECT_EQ(s.itp, 10);
    EXPECT_FLOAT_EQ(s.nodes[1].y, 1.f);
    // "ITP=" is looked for only after the first line feed.
    qw::Shape t;
    EXPECT_FALSE(t.loadShp(write("inline.shp", "(-5,-5)(5,5)ITP=30")));
    EXPECT_EQ(t.invalid, 1);
    EXPECT_EQ(t.itp, 10);
}

TEST_F(ShapeFile, TypeLine)
{
    struct Case
    {
        const char* typeText;
        int itp; // expected type after loading into a linear shape
    };
    const Case cases[] = {
        {"ITP=20", 20},          {"ITP=0", 0},    {"ITP=  30", 30},       {"ITP=+20xyz", 20}, {"xx\nfoo ITP=0 bar", 0},
        {"ITP=25", 10},          {"ITP=-10", 10}, {"ITP=abc", 10},        {"ITP=", 10},       {"ITP=4294967326", 10},
        {"ITP=99999999999", 10}, {"itp=20", 10},  {"ITP=30\nITP=20", 30},
    };
    for (const Case& c : cases)
    {
        qw::Shape s;
        const std::string body = std::string("(-5,0)(0,5)(5,0)\n") + c.typeText + "\n";
        EXPECT_TRUE(s.loadShp(write("type.shp", body))) << c.typeText; // the nodes changed
        EXPECT_EQ(s.itp, c.itp) << c.typeText;
        EXPECT_EQ(s.invalid, 0) << c.typeText;
    }
}

TEST_F(ShapeFile, ANewTypeAloneIsAChange)
{
    const std::wstring path = write("same.shp", "(-5,0)(0,5)(5,0)\nITP=30\n");
    qw::Shape s(L"(-5,0)(0,5)(5,0)");
    EXPECT_TRUE(s.loadShp(path)); // same nodes, type 10 -> 30
    EXPECT_EQ(s.itp, 30);
    EXPECT_EQ(s.changed, 1);
    s.changed = 0;
    EXPECT_FALSE(s.loadShp(path)); // nothing new
    EXPECT_EQ(s.changed, 0);
    EXPECT_EQ(s.invalid, 0);
}

TEST_F(ShapeFile, MissingFilesAndEmptyPaths)
{
    qw::Shape s(L"(-5,1)(5,1)");
    EXPECT_FALSE(s.loadShp(L""));
    EXPECT_EQ(s.invalid, 1);
    s.invalid = 0;
    EXPECT_FALSE(s.loadShp((dir_ / "absent.shp").wstring()));
    EXPECT_EQ(s.invalid, 1);
    EXPECT_FALSE(s.loadShp(dir_.wstring())); // a folder
    EXPECT_FALSE(s.loadShp(write("empty.shp", "")));
    EXPECT_FALSE(s.loadShp(write("nul.shp", std::string("(-5,0)(5,0)\0", 12))));
    EXPECT_EQ(s.count, 2);
    EXPECT_FLOAT_EQ(s.nodes[1].y, 0.2f);
}

TEST_F(ShapeFile, NonAsciiNamesAndContent)
{
    qw::Shape s;
    // A UTF-8 file name; non-ASCII text inside a field is ignored like any
    // trailing characters, and malformed UTF-8 later in the file does no harm.
    EXPECT_TRUE(s.loadShp(
        write("sh\xC3\xA4pe \xE2\x99\xAA.shp", "(-5,1\xC3\xA9)(5,2)\n\xFF\xFE ITP=20", L"sh\u00E4pe \u266A.shp")));
    EXPECT_EQ(s.itp, 20);
    EXPECT_FLOAT_EQ(s.nodes[0].y, 0.2f);
    EXPECT_FLOAT_EQ(s.nodes[1].y, 0.4f);
    // Outside the field, a non-ASCII character breaks the text.
    qw::Shape t;
    EXPECT_FALSE(t.loadShp(write("bad.shp", "(-5,0)\xC3\xA9(5,2)")));
    EXPECT_EQ(t.invalid, 1);
}

} // namespace
