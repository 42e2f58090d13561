#include "ImageMetadata.h"

#include "skin_text.h"

#include <vector>

namespace
{
float number(const std::string& token)
{
    return static_cast<float>(StringToInt(token));
}
} // namespace

void ImageMetadata::Serialise(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file)
{
    read(skin::readText(std::move(file)));
}

void ImageMetadata::read(const std::string& text)
{
    *this = ImageMetadata();
    std::vector<std::string> t;
    for (const std::string& line : skin::splitLines(text))
    {
        if (line.empty() || line[0] == ';')
            continue;
        t.clear();
        SplitString(line.c_str(), t);
        if (t.size() < 2)
            continue;
        const std::string& key = t[0];
        const size_t values = t.size() - 1;
        if (key == "type")
        {
            const std::string& w = t[1];
            if (w == "slider")
                imageType = SLIDER;
            else if (w == "knob" || w == "animated")
                imageType = ANIMATED;
            else if (w == "button")
                imageType = BUTTON;
            else if (w == "bargraph")
                imageType = BARGRAPH;
        }
        else if (key == "frame_size" && values >= 2)
        {
            frameWidth = StringToInt(t[1]);
            frameHeight = StringToInt(t[2]);
        }
        else if (key == "padding" && values >= 4)
        {
            paddingTop = number(t[1]);
            paddingBottom = number(t[2]);
            paddingLeft = number(t[3]);
            paddingRight = number(t[4]);
        }
        else if (key == "handle_rect" && values >= 4)
        {
            handleRect = {number(t[1]), number(t[2]), number(t[3]), number(t[4])};
        }
        else if ((key == "handle_range" || key == "segment") && values >= 2)
        {
            rangeStart = StringToInt(t[1]);
            rangeEnd = StringToInt(t[2]);
        }
        else if (key == "orientation" || key == "tiled" || key == "mouse_response")
        {
            const std::string& w = t[1];
            switch (w[0])
            {
            case 'v':
            case 't':
                orientation = VERTICAL;
                break;
            case 'h':
            case 'f':
                orientation = HORIZONTAL;
                break;
            case 'c':
                orientation = MOMENTARY;
                break;
            case 's':
                orientation = STEP;
                break;
            case 'r':
                orientation = (w.size() > 1 && w[1] == 'e') ? RELATIVE : ROTARY;
                break;
            default:
                break;
            }
        }
        else if (key == "segment_count" || key == "line_end_length")
        {
            segmentCount = number(t[1]);
        }
        else if (key == "transparent_pixel" && values >= 2)
        {
            transparentPixelX = StringToInt(t[1]);
            transparentPixelY = StringToInt(t[2]);
        }
    }
}
