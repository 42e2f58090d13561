// What the integer arithmetic interface modules share: the float family's
// bidirectional frame and layouts, with 32-bit integer values. Every result
// wraps in two's complement (the magnitude and the negation of -2147483648
// are -2147483648), and no division by zero happens.
#pragma once

#include "../arith/bidirectional.h"
#include "qw_int32.h"

#include <cstdint>
