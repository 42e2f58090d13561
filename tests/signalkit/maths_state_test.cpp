// The maths modules with state or a variable pin set, float and integer
// alike: running minimum and maximum, the sum over however many inputs the
// host made, and a run of the command-line host.
#include "control_fixture.h"
#include "mp_sdk_audio.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{
using qwtest::ControlModule;

const wchar_t* const kMinMax[] = {L"QW_FloatMinMax", L"QW_IntMinMax"};
const wchar_t* const kAddMany[] = {L"QW_FloatAddMany", L"QW_IntAddMany"};

TEST(MathsState, MinMaxFollowsTheValuesSinceReset)
{
    for (const wchar_t* id : kMinMax)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        ControlModule m(id);
        m.start();
        m.set("X", -20);
        m.step();
        EXPECT_EQ(m.value("Minimum"), -20);

        m.set("Reset", 1);
        m.set("X", 4);
        m.step();
        EXPECT_EQ(m.value("Minimum"), 4);
        EXPECT_EQ(m.value("Maximum"), 4);
        m.set("Reset", 0);
        m.set("X", 2);
        m.step();
        m.set("X", 7);
        m.step();
        EXPECT_EQ(m.value("Minimum"), 2);
        EXPECT_EQ(m.value("Maximum"), 7);

        // A reset without a new x starts from the x the module holds.
        m.set("Reset", 1);
        m.step();
        EXPECT_EQ(m.value("Minimum"), 7);
        EXPECT_EQ(m.value("Maximum"), 7);
    }
}

TEST(MathsState, GraphStartTakesTheCurrentX)
{
    for (const wchar_t* id : kMinMax)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        ControlModule m(id);
        m.start();
        m.set("X", 5);
        m.step();
        ASSERT_EQ(m.value("Minimum"), 0);
        m.p->graphStart();
        m.step();
        m.set("X", 6);
        m.step();
        EXPECT_EQ(m.value("Minimum"), 5);
        EXPECT_EQ(m.value("Maximum"), 6);
    }
}

TEST(MathsState, AddManySumsEveryCopyTheHostMade)
{
    for (const wchar_t* id : kAddMany)
        for (int copies : {0, 1, 5})
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + " with " + std::to_string(copies) + " inputs");
            ControlModule m(id, copies);
            for (auto& problem : qwtest::checkPins(*m.p))
                ADD_FAILURE() << problem;
            m.start();
            EXPECT_EQ(m.value("Output"), 0);
            ASSERT_NE(m.last("Output"), nullptr) << "graph start sends the sum";
            double sum = 0;
            for (int k = 1; k <= copies; ++k)
            {
                m.set(k, 3 * k);
                sum += 3 * k;
            }
            m.step();
            EXPECT_EQ(m.value("Output"), sum);
            if (copies > 0)
            {
                m.set(copies, -100);
                m.step();
                EXPECT_EQ(m.value("Output"), sum - 3 * copies - 100);
            }
        }
}

// A host whose list puts pins of other datatypes between the inputs: the
// module takes its inputs at the ids the host gave them and skips the rest.
TEST(MathsState, AddManySkipsPinsOfOtherDatatypes)
{
    auto bundle = qwtest::bundleDescribedAs("signalkit",
                                            "module QW_FloatAddMany 0\n"
                                            "pin out float \"Output\"\n"
                                            "pin in float \"A\"\n"
                                            "pin in int \"Count\"\n"
                                            "pin in float \"B\"\n"
                                            "pin out float \"Spare\"\n"
                                            "pin in float \"C\"\n");
    qwhost::ProcessingHost host;
    auto p = host.create(bundle, L"QW_FloatAddMany");
    EXPECT_EQ(qwtest::builtPinIds(*p), (std::vector<int>{0, 1, 3, 5}));

    p->setFloat(1, 1.5f);
    p->setInt(2, 1000);
    p->setFloat(3, 2.0f);
    p->setFloat(5, 4.0f);
    p->run(1);
    ASSERT_FALSE(p->updates.empty());
    EXPECT_EQ(p->updates.back().pin, 0);
    EXPECT_EQ(p->updates.back().asFloat(), 7.5f);
}

class MathsCommand : public qwtest::CommandTest
{};

TEST_F(MathsCommand, QwhostRunPrintsTheSum)
{
    const Result r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_FloatAdd", "--pin", "A=1",
                             "--pin", "B=2", "--seconds", "0.01"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string last;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\tOutput\t") != std::string::npos)
            last = line;
    EXPECT_EQ(last.substr(last.rfind('\t') + 1), "3") << r.out;
}
} // namespace
