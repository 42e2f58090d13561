// Shape envelopes on the host stand-in: shapes as blobs, the expected curve
// of a linear shape worked out in double precision, and runs that collect an
// output as a reader downstream sees it.
#pragma once

#include "mp_sdk_common.h"
#include "qw_shape.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace envtest
{
// The blob of a shape text.
inline std::vector<uint8_t> blobOf(const wchar_t* text)
{
    qw::Shape s(text);
    EXPECT_EQ(s.invalid, 0) << "not a shape text";
    const auto* p = static_cast<const uint8_t*>(s.blobData());
    return std::vector<uint8_t>(p, p + s.blobSize());
}

// A piecewise linear curve through nodes given in user units (-5..5).
class Linear
{
public:
    Linear(std::initializer_list<std::pair<double, double>> userUnits)
    {
        for (auto& [X, Y] : userUnits)
            nodes_.push_back({(X + 5.0) / 10.0, Y / 5.0});
    }
    double at(double x) const
    {
        for (size_t k = 0; k + 1 < nodes_.size(); ++k)
            if (x <= nodes_[k + 1].first)
            {
                const auto& [x0, y0] = nodes_[k];
                const auto& [x1, y1] = nodes_[k + 1];
                return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
            }
        return nodes_.back().second;
    }
    // Unipolar value of table point k of a table of `points` points.
    double unipolarPoint(int k, int points) const { return (at(static_cast<double>(k) / (points - 1)) + 1.0) * 0.5; }
    // Unipolar value at a fractional table position (linear between points).
    double unipolarAt(double pos, int points) const
    {
        const int i = static_cast<int>(pos);
        const double f = pos - i;
        return (1.0 - f) * unipolarPoint(i, points) + f * unipolarPoint(std::min(i + 1, points - 1), points);
    }

private:
    std::vector<std::pair<double, double>> nodes_;
};

using qwtest::lastReport;
using qwtest::play;

// The index of the first sample from `from` on that equals v exactly; -1 when none.
inline int64_t firstEqual(const std::vector<float>& s, float v, size_t from = 0)
{
    for (size_t i = from; i < s.size(); ++i)
        if (s[i] == v)
            return static_cast<int64_t>(i);
    return -1;
}
} // namespace envtest
