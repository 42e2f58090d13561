#include "shape_value.h"

#include "mp_sdk_common.h"
#include "qw_shape.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qwtool
{
bool looksLikeShape(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    return first != std::string::npos && text[first] == '(';
}

// Why a text is not a shape text: the first rule it breaks, by the shape's
// own reading rules (pairs "(X,Y)" with nothing between them, X from exactly
// -5 rising to exactly 5, Y within -5..5, 2 to 100 pairs). Empty when it
// reads as a shape.
namespace
{
std::string shapeTextProblem(const std::string& text)
{
    if (text.empty() || text[0] != '(')
        return "a shape text starts with '(' (no blanks)";
    size_t at = 0;
    int pairs = 0;
    double lastX = -1e30;
    while (at < text.size())
    {
        const int k = pairs + 1;
        if (text[at] != '(')
            return "pair " + std::to_string(k) + " does not start with '(' right after the previous ')'";
        const size_t comma = text.find(',', at + 1);
        const size_t close = comma == std::string::npos ? comma : text.find(')', comma + 1);
        if (comma == std::string::npos || close == std::string::npos || comma == at + 1 || close == comma + 1)
            return "pair " + std::to_string(k) + " is not (X,Y)";
        char* end = nullptr;
        const std::string xs = text.substr(at + 1, comma - at - 1), ys = text.substr(comma + 1, close - comma - 1);
        const double x = std::strtod(xs.c_str(), &end);
        if (end == xs.c_str())
            return "pair " + std::to_string(k) + ": X '" + xs + "' is not a number";
        const double y = std::strtod(ys.c_str(), &end);
        if (end == ys.c_str())
            return "pair " + std::to_string(k) + ": Y '" + ys + "' is not a number";
        if (pairs == 0 && x != -5.0)
            return "the first X must be -5";
        if (pairs > 0 && !(x > lastX))
            return "pair " + std::to_string(k) + ": X must rise";
        if (x > 5.0)
            return "pair " + std::to_string(k) + ": X lies past 5";
        if (!(y >= -5.0 && y <= 5.0))
            return "pair " + std::to_string(k) + ": Y lies outside -5..5";
        lastX = x;
        ++pairs;
        at = close + 1;
    }
    if (pairs < 2)
        return "a shape needs at least 2 pairs";
    if (pairs > 100)
        return "a shape has at most 100 pairs";
    if (lastX != 5.0)
        return "the last X must be 5";
    return {};
}

} // namespace

bool shapeBlob(const std::string& text, std::vector<uint8_t>& blob, std::string& why)
{
    qw::Shape shape;
    shape.setString(gmpi_sdk::fromUtf8(text));
    if (shape.invalid)
    {
        why = shapeTextProblem(text);
        if (why.empty())
            why = "it does not read as a shape";
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(shape.blobData());
    blob.assign(bytes, bytes + shape.blobSize());
    return true;
}

namespace
{
// The shortest decimal form of a float that reads back as the same float.
std::string shortest(float v)
{
    if (v == 0.f)
        return "0"; // -0 too
    char b[32];
    for (int digits = 1; digits <= 9; ++digits)
    {
        std::snprintf(b, sizeof b, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(b, nullptr) == v || std::isnan(v))
            break;
    }
    return b;
}
} // namespace

std::string shapeText(const std::vector<uint8_t>& blob)
{
    const qw::Shape shape(static_cast<unsigned long>(blob.size()), blob.empty() ? nullptr : blob.data());
    if (shape.invalid)
        return {};
    std::string text;
    for (int i = 0; i < shape.count; ++i)
        text += "(" + shortest(shape.nodes[i].x * 10.f - 5.f) + "," + shortest(shape.nodes[i].y * 5.f) + ")";
    return text;
}
} // namespace qwtool
