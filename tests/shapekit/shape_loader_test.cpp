// The shape loader through the built bundle on files of a scratch folder, and
// qwhost ui on the invisible shape tools.
#include "shape_bytes.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>

namespace
{
using namespace qwtest;

// QW_ShapeLoader3 pins.
constexpr int kShape = 0, kType = 1, kLoad = 2, kOnName = 3, kNameL = 4, kNameR = 5;

class ShapeLoader : public CommandTest
{
protected:
    std::wstring write(const std::string& name, const std::string& content)
    {
        std::ofstream(file(name), std::ios::binary) << content;
        return wide(file(name));
    }
    static std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

    UiTable table()
    {
        UiTable t{L"QW_ShapeLoader3"};
        t.bundle = "shapekit";
        const std::string folder = dir_.string();
        t.prepareHost = [folder](qwhost::GuiHost& host) { host.resourceFolder = folder; };
        return t;
    }
};

const Bytes kPeak = shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}});
const Bytes kDip = shapeBytes({{0, 0}, {0.5f, -1}, {1, 0}});

TEST_F(ShapeLoader, LoadsTypeThenBlob)
{
    const std::wstring lf = write("lf.shp", "(-5,0)(0,5)(5,0)\nITP=20\n");
    const std::wstring crlf = write("crlf.shp", "(-5,0)(0,-5)(5,0)\r\nITP=20\r\n");
    const std::wstring bad = write("bad.shp", "(-5,0)(0,5)(4,0)\nITP=30\n");
    const std::wstring odd = write("odd.shp", "(-5,0)(0,5)(5,0)\nITP=25");
    write("moved.shp", "(-5,0)(0,-5)(5,0)");
    UiTable t = table();
    t.rows = {
        deliver(kNameL, text(lf), {{kType, i32(20)}, {kShape, kPeak}}),
        deliver(kNameR, text(crlf), {{kShape, kDip}}).because("CR LF reads as LF; the type did not change"),
        deliver(kNameL, text(bad)).because("no shape"),
        deliver(kNameL, text(odd), {{kType, i32(10)}, {kShape, kPeak}}).because("type 25 is none: the default 10"),
        deliver(kNameR, text(L"/no/such/folder/moved.shp"), {{kShape, kDip}})
            .because("the host resolves the bare name"),
        deliver(kLoad, b8(true), {{kShape, kDip}}).because("the blob goes out on every load"),
        deliver(kLoad, b8(false)),
    };
    runUiTable(t);
}

TEST_F(ShapeLoader, NamesWithoutLoadOnNameWaitForTheTrigger)
{
    const std::wstring left = write("left.shp", "(-5,0)(0,5)(5,0)\nITP=30");
    const std::wstring right = write("right.shp", "(-5,0)(0,-5)(5,0)");
    UiTable t = table();
    t.rows = {
        deliver(kLoad, b8(true)).because("no name at all"),
        deliver(kOnName, i32(0)),
        deliver(kNameR, text(right)),
        deliver(kNameL, text(left)),
        deliver(kLoad, b8(true), {{kType, i32(30)}, {kShape, kPeak}}),
        deliver(kNameL, text(L"")).because("clears the current name"),
        deliver(kLoad, b8(true), {{kType, i32(10)}, {kShape, kDip}}).because("the right name, when the left is empty"),
    };
    runUiTable(t);
}

TEST_F(ShapeLoader, RefusesWhatIsNoShapeFileAtOnce)
{
    const std::wstring good = write("good.shp", "(-5,0)(0,5)(5,0)");
    std::string big(10u << 20, ' ');
    big.replace(0, 16, "(-5,0)(0,5)(5,0)");
    const std::wstring huge = write("huge.shp", big);
    ASSERT_EQ(mkfifo(file("fifo.shp").c_str(), 0600), 0);
    std::filesystem::create_directory(file("folder.shp"));
    const std::wstring unencodable = wide(file("good")) + std::wstring(1, static_cast<wchar_t>(0xD800)) + L".shp";
    const std::wstring nul = good + std::wstring(1, L'\0') + L"x";
    UiTable t = table();
    t.rows = {
        deliver(kNameL, text(good), {{kShape, kPeak}}),
        deliver(kNameL, text(wide(file("folder.shp")))),
        deliver(kNameL, text(L"/dev/zero")),
        deliver(kNameL, text(wide(file("fifo.shp")))),
        deliver(kNameL, text(wide(file("missing.shp")))),
        deliver(kNameL, text(huge)),
        deliver(kNameL, text(unencodable)),
        deliver(kNameL, text(nul)),
        deliver(kNameL, text(std::wstring(1, static_cast<wchar_t>(0x7fffffff)))),
    };
    runUiTable(t);
}

const std::string kShapekit = std::string(QW_BUNDLE_DIR) + "/shapekit.so";
using ShapeToolsCommand = CommandTest;

TEST_F(ShapeToolsCommand, AddsANodeFromAShapeText)
{
    const Result r = qwhost({"ui", kShapekit, "QW_GUI_AddNode", "--steps", "Shape=(-5,0)(5,0); X=0; Y=2.5; Add L=1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Add L=1\n\tsent Shape = (-5,0)(0,2.5)(5,0)\n"), std::string::npos) << r.out;
}

TEST_F(ShapeToolsCommand, DupSetsTheLinksPinCount)
{
    const Result r = qwhost({"ui", kShapekit, "QW_GUI_ShapeYLink", "--dup", "3", "--steps",
                             "Shape=(-5,0)(-2.5,5)(0,-5)(2.5,0)(5,0); Value 2=0.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("pins Shape, Value 1, Value 2, Value 3;"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tsent Value 1 = 0.5\n\tsent Value 2 = 1\n\tsent Value 3 = 0\nValue 2=0.5\n"
                         "\tsent Shape = (-5,0)(-2.5,0)(0,-5)(2.5,0)(5,0)\n"),
              std::string::npos)
        << r.out;
}

TEST_F(ShapeToolsCommand, RefusesBadShapeTextsAndDupCounts)
{
    const Result text = qwhost({"ui", kShapekit, "QW_GUI_AddNode", "--steps", "Shape=(-5,0)(4,0)"});
    EXPECT_EQ(text.code, 2);
    EXPECT_NE(text.err.find("is not a shape text: the last X must be 5"), std::string::npos) << text.err;
    const Result dup = qwhost({"ui", kShapekit, "QW_GUI_ShapeYLink", "--dup", "-1", "--steps", "Value 1=0"});
    EXPECT_EQ(dup.code, 2);
    EXPECT_NE(dup.err.find("--dup '-1' is not a whole number"), std::string::npos) << dup.err;
    const Result past = qwhost({"ui", kShapekit, "QW_GUI_ShapeYLink", "--dup", "1", "--steps", "Value 2=0"});
    EXPECT_NE(past.code, 0);
    EXPECT_NE(past.err.find("has no pin named 'Value 2'"), std::string::npos) << past.err;
}
} // namespace
