#include "units.h"

#include "skin_text.h"

namespace qw
{
int32_t noteOfPitch(float pitch)
{
    double note = (static_cast<double>(pitch) - 5.0) * 12.0 + 69.0;
    const double whole = std::round(note);
    if (std::fabs(note - whole) <= 1e-4)
        note = whole;
    return skin::toInt32(note);
}
} // namespace qw
