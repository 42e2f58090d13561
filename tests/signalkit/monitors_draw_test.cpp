// The monitors drawn to PNG by the command-line host after a run of their
// processing half, as a user tries them.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const std::string kSignalkit = std::string(QW_BUNDLE_DIR) + "/signalkit.so";

class MonitorsDraw : public qwtest::CommandTest
{};

TEST_F(MonitorsDraw, ScopeShowsTheSweepsTrace)
{
    const std::string png = file("scope.png");
    const auto r = qwhost({"draw", kSignalkit, "QW_Oscilloscope", "--run", "0.2", "--size", "400x300", "--out", png});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto p = qwtest::readPng(png);
    ASSERT_EQ(p.width, 400);
    ASSERT_EQ(p.height, 300);
    // The trace's green (00FFC0) stands out of the dark background and grid
    // along the sweep, across the width of the screen.
    std::vector<bool> columns(400, false);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
        {
            const auto c = p.at(x, y);
            if (c.g > 200 && c.r < 80)
                columns[static_cast<size_t>(x)] = true;
        }
    int lit = 0;
    for (bool c : columns)
        lit += c;
    // The sweep spans 10 V each way; the screen shows 6 V of it, 60 % of the width.
    EXPECT_GT(lit, 230);
    // The run's six frames reached the display through the host.
    EXPECT_NE(r.out.find("Points"), std::string::npos) << r.out;
}

TEST_F(MonitorsDraw, WithoutRunTheDisplayIsEmpty)
{
    const std::string png = file("empty.png");
    const auto r = qwhost({"draw", kSignalkit, "QW_Oscilloscope", "--size", "40x30", "--out", png});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto p = qwtest::readPng(png);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_LT(p.at(x, y).g, 200) << x << "," << y;
}

TEST_F(MonitorsDraw, RunOptionsNeedRun)
{
    const auto r = qwhost({"draw", kSignalkit, "QW_MIDIMonitor", "--midi", "MIDI In=90 3C 64@0", "--size", "40x30",
                           "--out", file("m.png")});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("needs --run"), std::string::npos) << r.err;
}

TEST_F(MonitorsDraw, MidiMonitorShowsTheMessages)
{
    const auto r = qwhost({"draw", kSignalkit, "QW_MIDIMonitor", "--run", "0.1", "--midi", "MIDI In=90 3C 64@0.05",
                           "--size", "300x40", "--out", file("midi.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto p = qwtest::readPng(file("midi.png"));
    int lit = 0;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 300; ++x)
            lit += p.at(x, y).g > 100;
    EXPECT_GT(lit, 20) << "the row's text";
}
} // namespace
