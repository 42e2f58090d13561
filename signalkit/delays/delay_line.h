// Shared pieces of the delays and wideners: the 8192-sample ring and the safe
// values and line clean-up of qw_finite.h they use.
#pragma once

#include "qw_finite.h"

#include <algorithm>
#include <cstdint>

namespace qw
{
namespace delay
{
constexpr int kLength = 8192;
constexpr int kMask = kLength - 1;

using qw::finite::clampOrZero;
using qw::finite::orZero;
using qw::finite::poisonOf;
using qw::finite::scrubRecent;
} // namespace delay
} // namespace qw
