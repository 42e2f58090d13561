// The pin check finds a module whose pins disagree with its description.
#include "test_support.h"

#include <gtest/gtest.h>

TEST(PinCheck, ReportsEveryDifference)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("brokenkit"), L"QW_BadMismatch");
    const auto problems = qwtest::checkPins(*p);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "pin 1 'B': described as int, built as float");
    EXPECT_EQ(problems[1], "described pin 2 'C' was not built");
}
