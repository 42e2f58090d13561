// How to cut and move the frames of a skin image: the metadata text beside
// the image (its name with ".txt" for the extension), one key and its values
// a line:
//   type knob                 slider, knob (or animated), button, bargraph
//   frame_size 32 32          width, height of one frame
//   padding 2 0 3 0           top, bottom, left, right; frames are drawn
//                             offset by left and top
//   handle_rect 4 100 20 110  slider handle in the image: left, top, right, bottom
//   handle_range 0 90         slider handle travel (and bar-graph "segment"
//                             start, end: the same pair)
//   orientation vertical      also "tiled", "mouse_response": by the first
//                             letter, see ImageMetadata::orientation
//   segment_count 5           bar-graph segments (also "line_end_length")
//   transparent_pixel 0 0     this pixel's colour is transparent everywhere
// A line that starts with ';' is a comment. Numbers are whole (1.5 reads 1).
#pragma once

#include "mp_api_drawing.h"
#include "mp_sdk_common.h"

#include <cstdint>
#include <string>

class ImageMetadata
{
public:
    enum ImageType : int32_t
    {
        SLIDER = 0,
        ANIMATED = 1, // a film strip of frames (knob)
        BUTTON = 2,
        BARGRAPH = 3,
    };
    // Orientation / mouse-response codes, by the value's first letter: 'v' or
    // 't' 0, 'h' or 'f' 1, 'c' 2, 'r' 3 ("re..." 5), 's' 4.
    enum Orientation : int32_t
    {
        UNSET = -1,
        VERTICAL = 0,
        HORIZONTAL = 1,
        MOMENTARY = 2, // a click: down while held
        ROTARY = 3,
        STEP = 4, // each click on to the next frame
        RELATIVE = 5,
    };

    // Resets every field, then reads the file (read whole through the host).
    void Serialise(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file);
    // The same from the text itself.
    void read(const std::string& text);

    int32_t imageType = ANIMATED;
    int32_t frameWidth = 10;
    int32_t frameHeight = 10;
    float paddingLeft = 0.0f; // horizontal offset of every drawn frame
    float paddingRight = 0.0f;
    float paddingTop = 0.0f; // vertical offset of every drawn frame
    float paddingBottom = 0.0f;
    int32_t rangeEnd = 50;
    int32_t rangeStart = 0;
    int32_t orientation = UNSET;
    float segmentCount = 5.0f;
    int32_t transparentPixelX = -1; // -1: none
    int32_t transparentPixelY = -1;
    GmpiDrawing_API::MP1_RECT handleRect{0.0f, 0.0f, 10.0f, 10.0f};
    uint32_t imageWidth = 0; // the whole image, set when it is loaded
    uint32_t imageHeight = 0;
};
