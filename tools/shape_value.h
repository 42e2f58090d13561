// Shapes as the command-line host shows and takes them: a shape text (pairs
// "(X,Y)" in user units) stands for a shape blob on a blob pin, and a blob
// that reads as a shape prints as its shape text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qwtool
{
// A value meant as a shape text: it starts with "(" (blanks before it aside).
bool looksLikeShape(const std::string& text);

// The blob of a shape text; false with the reason when it is not one.
bool shapeBlob(const std::string& text, std::vector<uint8_t>& blob, std::string& why);

// The shape text of a blob that reads as a shape blob (X = 10x - 5, Y = 5y,
// each in the shortest form that reads back as the same float); empty when
// the blob is no shape.
std::string shapeText(const std::vector<uint8_t>& blob);
} // namespace qwtool
