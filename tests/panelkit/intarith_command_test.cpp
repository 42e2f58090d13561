// qwhost ui on the integer arithmetic and stepping modules, through the built
// command: what a user trying them sees.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string kPanelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";

using IntArithCommand = qwtest::CommandTest;

TEST_F(IntArithCommand, DividesTowardZeroOnBothCopies)
{
    const Result r = qwhost({"ui", kPanelkit, "QW_GUIIntDiv", "--echo", "later", "--steps", "A=-7; B=2; B=0"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("B=2\n\tsent Result R = -3\n\tsent Result L = -3\n"
                         "B=0\n\tsent Result R = 0\n\tsent Result L = 0\n"),
              std::string::npos)
        << r.out;
}

TEST_F(IntArithCommand, StepsAroundTheRange)
{
    const Result r =
        qwhost({"ui", kPanelkit, "QW_StepIncInt", "--steps", "Maximum=9; Value=9; Increment=true; Decrement=true"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Increment=true\n\tsent Value = 0\nDecrement=true\n\tsent Value = 9\n"), std::string::npos)
        << r.out;
}
} // namespace
