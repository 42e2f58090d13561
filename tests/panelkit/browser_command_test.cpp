// qwhost ui showing a folder browser's item list and a file requester's
// chosen name, through the built command, on a scratch tree.
#include "file_fixture.h"

#include <gtest/gtest.h>

namespace
{
using namespace qwtest;

const std::string kPanelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";

TEST_F(FileModules, QwhostUiPrintsABrowsersItemList)
{
    put(res("b.wav"), "b");
    put(res("A.txt"), "a");
    std::filesystem::create_directory(res("songs"));
    const Result r = qwhost({"ui", kPanelkit, "QW_FileBrowser3", "--echo", "inside", "--steps", "Path=" + res()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sent Items = \"A.txt,b.wav,songs/\""), std::string::npos) << r.out;

    // Into the folder by the choice, and up again.
    const Result in = qwhost(
        {"ui", kPanelkit, "QW_FileBrowser3", "--echo", "inside", "--steps", "Path=" + res() + "; Choice=2; Parent=1"});
    ASSERT_EQ(in.code, 0) << in.err;
    EXPECT_NE(
        in.out.find("Choice=2\n\tsent Path = \"" + res("songs") + "\"\n\tsent Choice = -1\n\tsent Items = \"\"\n"),
        std::string::npos)
        << in.out;
}

TEST_F(FileModules, QwhostUiAnswersAFileRequestersDialog)
{
    put(work("x.wav"), "x");
    const Result r =
        qwhost({"ui", kPanelkit, "QW_FileReq2", "--answer", "pick x.wav", "--steps", "Open=1; Open=0; wait 150"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Open=0\n# 1 widget(s) answered\n\tsent File Name = \"x.wav\"\n\tsent Done R = true\n"
                         "\tsent Done L = true\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("sent Done R = false\n\tsent Done L = false\n"), std::string::npos) << r.out;
}
} // namespace
