// A drawn control of panelkit drawn to PNG by the command-line host, as a
// user tries it.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace controls_test
{
class DrawCommand : public qwtest::CommandTest
{
protected:
    // Draws the control with `more` arguments; its PNG. The command's output
    // stays in `last`.
    qwtest::Png draw(const std::string& id, const std::string& size, std::vector<std::string> more = {})
    {
        const std::string png = file(id + ".png");
        std::vector<std::string> args = {
            "draw", std::string(QW_BUNDLE_DIR) + "/panelkit.so", id, "--size", size, "--out", png};
        args.insert(args.end(), more.begin(), more.end());
        last = qwhost(args);
        EXPECT_EQ(last.code, 0) << last.err;
        return qwtest::readPng(png);
    }
    Result last;
};
} // namespace controls_test
