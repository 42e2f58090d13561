// `qwhost list`: a bundle's identifiers by subtype, and clear refusals.
#include "test_support.h"

#include <gtest/gtest.h>

using QwhostList = qwtest::CommandTest;

TEST_F(QwhostList, ShowsIdentifiersBySubtype)
{
    const Result r = qwhost({"list", std::string(QW_TEST_BUNDLE_DIR) + "/brokenkit.so"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "processing (subtype 0):\n"
              "  QW_BadAlloc\n"
              "  QW_BadBlockRate\n"
              "  QW_BadDenormal\n"
              "  QW_BadFlushText\n"
              "  QW_BadHostThrow\n"
              "  QW_BadLateStamp\n"
              "  QW_BadMismatch\n"
              "  QW_BadNaN\n"
              "  QW_BadNull\n"
              "  QW_BadOverflow\n"
              "  QW_BadStickyLog\n"
              "  QW_BadStickyNaN\n"
              "  QW_BadThrow\n"
              "  QW_Twice\n"
              "user interface (subtype 2):\n"
              "  QW_BadEchoBounce\n"
              "  QW_Twice\n");
}

TEST_F(QwhostList, RefusesBadArguments)
{
    struct Row
    {
        std::vector<std::string> args;
        int code;
        std::string starts; // of the message on standard error
    };
    const std::string meta = std::string(QW_BUNDLE_DIR) + "/signalkit.meta";
    const Row rows[] = {
        {{}, 2, "usage: qwhost COMMAND"},
        {{"list"}, 2, "qwhost: list takes exactly one bundle path"},
        {{"list", "a.so", "b.so"}, 2, "qwhost: list takes exactly one bundle path"},
        {{"frobnicate"}, 2, "qwhost: unknown command 'frobnicate'"},
        {{"list", "/no/such.so"},
         1,
         "qwhost: cannot load bundle '/no/such.so': /no/such.so: cannot open shared object file"},
        {{"list", meta}, 1, "qwhost: cannot load bundle '" + meta + "': "},
        {{"list", "/lib/x86_64-linux-gnu/libm.so.6"},
         1,
         "qwhost: bundle '/lib/x86_64-linux-gnu/libm.so.6' has no MP_GetFactory entry point"},
    };
    for (auto& r : rows)
    {
        const Result o = qwhost(r.args);
        EXPECT_EQ(o.code, r.code) << r.starts;
        EXPECT_EQ(o.err.rfind(r.starts, 0), 0u) << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
    }
}
