// The host's description format, and pin values written as text.
#include "metadata.h"
#include "processing_host.h"

#include <cstring>

#include <gtest/gtest.h>

TEST(Metadata, ReadsModulesPinsAndAttributes)
{
    const auto m = qwhost::Metadata::parse(R"(# two modules
module QW_A 0
pin in float "Cut off" default=0.5 min=0 max=1
pin in enum Mode default=1 list="Low pass,High \"pass\""
pin out audio "Out"

module QW_A 2
pin in int "Count" dup param
pin out blob "Sample" dup descriptor
)",
                                           "test.meta");
    ASSERT_EQ(m.modules().size(), 2u);
    const qwhost::ModuleInfo* a = m.find(L"QW_A", 0);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->pins.size(), 3u);
    EXPECT_EQ(a->pins[0].name, "Cut off");
    EXPECT_EQ(a->pins[0].datatype, 6);
    EXPECT_EQ(a->pins[0].defaultValue, "0.5");
    EXPECT_EQ(a->pins[0].attribute("max"), "1");
    EXPECT_EQ(a->pins[1].attribute("list"), "Low pass,High \"pass\"");
    EXPECT_EQ(a->pins[2].direction, 1);
    EXPECT_EQ(a->pinIndex("Out"), 2);
    EXPECT_EQ(a->pinIndex("None"), -1);
    const qwhost::ModuleInfo* ui = m.find(L"QW_A", 2);
    ASSERT_NE(ui, nullptr);
    EXPECT_TRUE(ui->pins[0].autoDuplicate);
    EXPECT_TRUE(ui->pins[0].parameter);
    EXPECT_TRUE(ui->pins[1].has("descriptor"));
    EXPECT_FALSE(ui->pins[0].has("descriptor"));
    EXPECT_EQ(m.find(L"QW_B", 0), nullptr);
}

TEST(Metadata, RefusesWhatItCannotRead)
{
    struct Row
    {
        const char* text;
        const char* message;
    };
    const Row rows[] = {
        {"pin in float \"A\"", "t.meta:1: pin before any module"},
        {"module QW_A", "t.meta:1: expected 'module IDENTIFIER SUBTYPE'"},
        {"module QW_A x", "t.meta:1: subtype is not a whole number: 'x'"},
        {"module QW_A 1", "t.meta:1: subtype must be 0 or 2"},
        {"module QW_A 0\npin sideways float \"A\"", "t.meta:2: direction must be 'in' or 'out', not 'sideways'"},
        {"module QW_A 0\npin in double \"A\"", "t.meta:2: unknown datatype 'double'"},
        {"module QW_A 0\npin in float \"A\" colour=red", "t.meta:2: unknown attribute 'colour'"},
        {"module QW_A 0\npin in text \"A\" descriptor", "t.meta:2: only a blob pin carries a sample descriptor"},
        {"module QW_A 0\npin in float \"A", "t.meta:2: unterminated quoted text"},
        {"module QW_A 0\nmodule QW_A 0", "t.meta:2: module QW_A already described at t.meta:1"},
        {"modul QW_A 0", "t.meta:1: expected 'module' or 'pin', found 'modul'"},
    };
    for (auto& r : rows)
    {
        try
        {
            qwhost::Metadata::parse(r.text, "t.meta");
            ADD_FAILURE() << "accepted: " << r.text;
        }
        catch (const qwhost::Error& e)
        {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

TEST(PinValueText, EncodesByDatatype)
{
    struct Row
    {
        int datatype;
        const char* text;
        std::vector<uint8_t> bytes; // empty with ok=false: refused
        bool ok;
    };
    const float half = 0.5f;
    std::vector<uint8_t> halfBytes(4);
    std::memcpy(halfBytes.data(), &half, 4);
    const Row rows[] = {
        {6, "0.5", halfBytes, true},
        {5, "0.5", halfBytes, true},
        {6, "", {0, 0, 0, 0}, true},
        {6, "0.5x", {}, false},
        {6, "inf", {}, false},
        {8, "-2", {0xFE, 0xFF, 0xFF, 0xFF}, true},
        {0, "3", {3, 0, 0, 0}, true},
        {8, "99999999999", {}, false},
        {8, "1.5", {}, false},
        {4, "true", {1}, true},
        {4, "0", {0}, true},
        {4, "yes", {}, false},
        {1, "\xC3\xA9", {0xE9, 0, 0, 0}, true},
        {10, "ab", {'a', 'b'}, true},
        {2, "x", {}, false},
    };
    for (auto& r : rows)
    {
        std::vector<uint8_t> out;
        std::string why;
        EXPECT_EQ(qwhost::encodePinValue(r.datatype, r.text, out, why), r.ok) << r.datatype << " " << r.text;
        if (r.ok)
            EXPECT_EQ(out, r.bytes) << r.datatype << " " << r.text;
        else
            EXPECT_FALSE(why.empty());
    }
}

TEST(BundleLoad, NamesTheFileAndTheReason)
{
    struct Row
    {
        std::string path;
        std::string expected;
    };
    const std::string meta = std::string(QW_BUNDLE_DIR) + "/signalkit.meta";
    const Row rows[] = {
        {"/no/such/bundle.so",
         "cannot load bundle '/no/such/bundle.so': /no/such/bundle.so: cannot open shared object file"},
        {meta, "cannot load bundle '" + meta + "': "},
        {"/lib/x86_64-linux-gnu/libm.so.6",
         "bundle '/lib/x86_64-linux-gnu/libm.so.6' has no MP_GetFactory entry point"},
    };
    for (auto& r : rows)
    {
        try
        {
            qwhost::Bundle::load(r.path);
            ADD_FAILURE() << "loaded " << r.path;
        }
        catch (const qwhost::Error& e)
        {
            EXPECT_EQ(std::string(e.what()).rfind(r.expected, 0), 0u) << e.what();
        }
    }
}

TEST(FileNames, ConfinedHostsKeepEveryNameInTheResourceFolder)
{
    qwhost::ProcessingHost host;
    host.resourceFolder = "/scratch";
    EXPECT_EQ(host.resolve("/etc/x.wav"), "/etc/x.wav");
    EXPECT_EQ(host.resolve("a/b.wav"), "/scratch/a/b.wav");
    host.confineFiles = true;
    const char* rows[][2] = {
        {"/etc/x.wav", "/scratch/_etc_x.wav"},
        {"a/b.wav", "/scratch/a_b.wav"},
        {"../up", "/scratch/.._up"},
        {"..", "/scratch/_.."},
        {".", "/scratch/_."},
        {"", "/scratch"},
    };
    for (auto& r : rows)
        EXPECT_EQ(host.resolve(r[0]), r[1]) << r[0];
}
