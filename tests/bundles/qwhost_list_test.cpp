// `qwhost list`: a bundle's identifiers by subtype, and clear refusals.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace
{
struct Outcome
{
    int code;
    std::string output; // standard output and error together
};

Outcome qwhost(const std::string& args)
{
    const std::string command = std::string(QW_QWHOST) + " " + args + " 2>&1";
    Outcome o{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return o;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
        o.output.append(buf.data(), n);
    const int status = pclose(pipe);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}
} // namespace

TEST(QwhostList, ShowsIdentifiersBySubtype)
{
    const Outcome o = qwhost("list " + std::string(QW_TEST_BUNDLE_DIR) + "/brokenkit.so");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.output, "processing (subtype 0):\n"
                        "  QW_BadAlloc\n"
                        "  QW_BadBlockRate\n"
                        "  QW_BadDenormal\n"
                        "  QW_BadHostThrow\n"
                        "  QW_BadMismatch\n"
                        "  QW_BadNaN\n"
                        "  QW_BadNull\n"
                        "  QW_BadThrow\n"
                        "  QW_Twice\n"
                        "user interface (subtype 2):\n"
                        "  QW_Twice\n");
}

TEST(QwhostList, RefusesBadArguments)
{
    struct Row
    {
        std::string args;
        int code;
        std::string starts;
    };
    const std::string meta = std::string(QW_BUNDLE_DIR) + "/signalkit.meta";
    const Row rows[] = {
        {"", 2, "usage: qwhost COMMAND"},
        {"list", 2, "qwhost: list takes exactly one bundle path"},
        {"list a.so b.so", 2, "qwhost: list takes exactly one bundle path"},
        {"frobnicate", 2, "qwhost: unknown command 'frobnicate'"},
        {"list /no/such.so", 1, "qwhost: cannot load bundle '/no/such.so': /no/such.so: cannot open shared object file"},
        {"list " + meta, 1, "qwhost: cannot load bundle '" + meta + "': "},
        {"list /lib/x86_64-linux-gnu/libm.so.6", 1,
         "qwhost: bundle '/lib/x86_64-linux-gnu/libm.so.6' has no MP_GetFactory entry point"},
    };
    for (auto& r : rows)
    {
        const Outcome o = qwhost(r.args);
        EXPECT_EQ(o.code, r.code) << r.args;
        EXPECT_EQ(o.output.rfind(r.starts, 0), 0u) << r.args << ": " << o.output;
    }
}
