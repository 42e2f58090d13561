// Shapes as the command-line host reads and prints them: a shape text given
// for a blob pin is sent as the shape's blob, and a shape blob a module sends
// is printed as its shape text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qwtool
{
// A value meant as a shape text: it starts with "(" (blanks before it aside).
bool looksLikeShape(const std::string& text);
// Why a text is not a shape text; empty when it reads as a shape.
std::string shapeTextProblem(const std::string& text);
// The blob of a shape text; false with the reason when it is not one.
bool shapeBlob(const std::string& text, std::vector<uint8_t>& blob, std::string& why);
// The shape text (user units, "(X,Y)" pairs) of a shape blob; false when the
// bytes are no shape blob.
bool shapeText(const std::vector<uint8_t>& blob, std::string& text);
} // namespace qwtool
