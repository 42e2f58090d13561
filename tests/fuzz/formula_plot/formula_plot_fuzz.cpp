// The formula plots' curve from any typed text (each byte a character, as a
// text pin delivers it), over a range, a size and parameters taken from the
// input too: on a plot that draws curves, every vertex is a finite point, one
// per column from column 0, and a text that translates to nothing draws none.
#include "plot.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    float numbers[6] = {-1.0f, 1.0f, -1.0f, 1.0f, 0.5f, 0.25f}; // x0, x1, y0, y1, a, b
    uint16_t w = 100, h = 50;
    if (size >= sizeof numbers + 4)
    {
        std::memcpy(numbers, data, sizeof numbers);
        std::memcpy(&w, data + sizeof numbers, 2);
        std::memcpy(&h, data + sizeof numbers + 2, 2);
        data += sizeof numbers + 4;
        size -= sizeof numbers + 4;
    }
    // Up to 2048 columns, so that a long text still runs quickly.
    const qw::vector::PlotView v{
        numbers[0], numbers[1], numbers[2], numbers[3], static_cast<float>(w % 2049), static_cast<float>(h % 16385)};
    std::string text(reinterpret_cast<const char*>(data), size);
    qw::FormulaParser parser;
    qw::vector::setPlotFormula(parser, text);
    parser.setVar("a", numbers[4]);
    parser.setVar("b", numbers[5]);
    if (!v.drawable())
        return 0;

    int64_t next = 0;
    const bool drawn = qw::vector::plotCurve(v, parser, [&](GmpiDrawing::Point p) {
        check(p.x == static_cast<float>(next++));
        check(std::isfinite(p.y));
    });
    check(drawn == (next > 0));
    check(!drawn || next == static_cast<int64_t>(std::ceil(v.w)));
    return 0;
}
