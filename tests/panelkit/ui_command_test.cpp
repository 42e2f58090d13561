// qwhost ui on panelkit's invisible modules, through the built command.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string kPanelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";

using UiCommand = qwtest::CommandTest;

TEST_F(UiCommand, ShowsASplitterRoutingTheCommonValue)
{
    const Result r = qwhost({"ui", kPanelkit, "QW_SplitterFloat", "--steps", "Mode=1; Value 3=0.5; Common=0.25"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Value 3=0.5\nCommon=0.25\n"
                         "\tsent Value 1 = 0.25\n\tsent Value 2 = 0.25\n\tsent Value 3 = 0.25\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("sent Common"), std::string::npos) << r.out;
}

TEST_F(UiCommand, EchoInsideAndTheVoiceLessStepsOfASwitch)
{
    const Result r = qwhost({"ui", kPanelkit, "QW_GUISwitchOneToMany_Int", "--echo", "inside", "--steps",
                             "Input=5\nSelector=1 # the second output\nOutput 2=9"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("echo inside"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Input=5\n\tsent Output 1 = 5\n"
                         "Selector=1\n\tsent Output 2 = 5\n"
                         "Output 2=9\n\tsent Input = 9\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("held back"), std::string::npos) << r.out;
}

// With the echo later, a step's sends are handed back after it, in order;
// what they bring belongs to that step.
TEST_F(UiCommand, EchoLaterDeliversAfterEachStepUntilNoneIsLeft)
{
    const Result r = qwhost({"ui", kPanelkit, "QW_SplitterFloat", "--echo", "later", "--steps",
                             "Mode=1; Link=true; Value 3=0.5; Common=0.25"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("echo later"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Value 3=0.5\n\tsent Value 1 = 0.5\n\tsent Value 2 = 0.5\n"
                         "Common=0.25\n\tsent Value 1 = 0.25\n\tsent Value 2 = 0.25\n\tsent Value 3 = 0.25\n"),
              std::string::npos)
        << r.out;
}

TEST_F(UiCommand, EchoLaterStopsAModuleWhoseEchoesNeverStop)
{
    const Result r = qwhost({"ui", std::string(QW_TEST_BUNDLE_DIR) + "/brokenkit.so", "QW_BadEchoBounce", "--echo",
                             "later", "--steps", "A=1; B=2"});
    EXPECT_EQ(r.code, 1);
    // A sent to B, then every echo again, one value a round.
    EXPECT_NE(r.err.find("QW_BadEchoBounce, step 'A=1': the module's echoes keep coming back; stopped after 10002 "
                         "values sent (1 echoes still held)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("start (defaults, initialize)\nA=1\n\tsent B = 1\n\tsent A = 1\n\tsent B = 1\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\t... and 9982 more\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("B=2"), std::string::npos) << "no step is played after it";
}

TEST_F(UiCommand, WaitLetsTimeAndPrintsTicks)
{
    const Result r = qwhost({"ui", kPanelkit, "QW_GUIPC2Trig", "--steps", "Program=3; wait 1; Program=3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Program=3\n\tsent Trigger = true\n\tsent Trigger = false\nwait 1\t0 timer tick(s)\n"
                         "Program=3\n\tsent Trigger = true\n\tsent Trigger = false\n"),
              std::string::npos)
        << r.out;
}

TEST_F(UiCommand, RefusesBadNamesValuesStepsAndOptions)
{
    const struct
    {
        std::vector<std::string> args;
        const char* says;
        int code = 2; // how it was typed; 1: what it names is not there
    } cases[] = {
        {{"QW_SplitterFloat", "--steps", "Nope=1"}, "has no pin named 'Nope'"},
        {{"QW_SplitterFloat", "--steps", "Value=1"}, "has no pin named 'Value'"},
        {{"QW_SplitterFloat", "--steps", "Value 0=1"}, "has no pin named 'Value 0'"},
        {{"QW_SplitterFloat", "--steps", "Mode=x"}, "'x' is not a 32-bit whole number"},
        {{"QW_SplitterFloat", "--steps", "Common=1e99"}, "is not a finite number"},
        {{"QW_SplitterBool", "--steps", "Link=maybe"}, "is not a boolean"},
        {{"QW_SplitterFloat", "--steps", "=1"}, "no pin name"},
        {{"QW_SplitterFloat", "--steps", "Mode"}, "not NAME=VALUE or wait MS"},
        {{"QW_SplitterFloat", "--steps", "wait -1"}, "milliseconds from 0 to 60000"},
        {{"QW_SplitterFloat", "--steps", "wait soon"}, "milliseconds from 0 to 60000"},
        {{"QW_SplitterFloat", "--echo", "soon", "--steps", "Mode=1"},
         "--echo 'soon' is not 'inside', 'later' or 'none'"},
        {{"QW_SplitterFloat"}, "--steps is needed"},
        {{"QW_SplitterFloat", "--steps", "Mode=1", "--steps", "Mode=2"}, "--steps is given twice"},
        {{"QW_SplitterFloat", "--answer", "maybe", "--steps", "Mode=1"}, "--answer 'maybe'"},
        {{"QW_NoSuchModule", "--steps", "Mode=1"}, "no user-interface module QW_NoSuchModule", 1},
        {{"QW_SplitterFloat", "--pin", "Mode=1"}, "unknown option '--pin'"},
    };
    for (auto& c : cases)
    {
        std::vector<std::string> args = {"ui", kPanelkit};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = qwhost(args);
        EXPECT_EQ(r.code, c.code) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << "nothing is played before every step is checked:\n" << r.out;
    }
}
} // namespace
