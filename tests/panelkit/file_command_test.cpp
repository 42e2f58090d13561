// qwhost ui saving a text with QW_GUIStringSaver and printing it back with
// QW_GUIStringLoader, through the built command, in the working folder.
#include "file_fixture.h"

#include <gtest/gtest.h>

namespace
{
using namespace qwtest;

const std::string kPanelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";

TEST_F(FileModules, QwhostUiSavesATextAndLoadsItBack)
{
    const Result save = qwhost({"ui", kPanelkit, "QW_GUIStringSaver", "--steps",
                                "Text=Gr\xC3\xBC\xC3\x9F"
                                "e; File L=note.txt; Save=1; Save=0"});
    ASSERT_EQ(save.code, 0) << save.err;
    EXPECT_EQ(bytesOf(work("note.txt")),
              "Gr\xC3\xBC\xC3\x9F"
              "e");

    const Result load =
        qwhost({"ui", kPanelkit, "QW_GUIStringLoader", "--steps", "File L=note.txt; Load=1; Load=0; Load=1"});
    ASSERT_EQ(load.code, 0) << load.err;
    EXPECT_NE(load.out.find("Load=1\n\tsent Text = \"Gr\xC3\xBC\xC3\x9F"
                            "e\"\nLoad=0\nLoad=1\n"),
              std::string::npos)
        << load.out;
}
} // namespace
