#include "drawing/objects.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>

namespace qwhost::drawing
{
using namespace GmpiDrawing_API;

namespace
{
std::vector<std::string> listFamilies()
{
    std::set<std::string> names;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    if (fonts)
    {
        for (int i = 0; i < fonts->nfont; ++i)
        {
            FcChar8* name = nullptr;
            for (int k = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, k, &name) == FcResultMatch; ++k)
                names.insert(reinterpret_cast<const char*>(name));
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    // The host platform has these families; where the machine has a
    // metric-compatible one, fontconfig draws the platform's name with it.
    const std::pair<const char*, const char*> platformFamilies[] = {
        {"Arial", "Liberation Sans"}, {"Times New Roman", "Liberation Serif"}, {"Courier New", "Liberation Mono"}};
    for (auto& [platform, compatible] : platformFamilies)
        if (names.count(compatible))
            names.insert(platform);
    return {names.begin(), names.end()};
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// fontconfig width of a stretch code 1..9.
int widthOf(int32_t stretch)
{
    static const int widths[9] = {50, 63, 75, 87, 100, 113, 125, 150, 200};
    return (stretch >= 1 && stretch <= 9) ? widths[stretch - 1] : 100;
}

cairo_scaled_font_t* makeFont(const std::string& family, int32_t weight, int32_t style, int32_t stretch, double size)
{
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddInteger(p, FC_SLANT,
                        style == MP1_FONT_STYLE_ITALIC    ? FC_SLANT_ITALIC
                        : style == MP1_FONT_STYLE_OBLIQUE ? FC_SLANT_OBLIQUE
                                                          : FC_SLANT_ROMAN);
    FcPatternAddInteger(p, FC_WIDTH, widthOf(stretch));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match ? match : p);
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(p);

    // Unhinted outlines and metrics, so that sizes scale exactly.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_matrix_t fontMatrix, ctm;
    cairo_matrix_init_scale(&fontMatrix, size, size);
    cairo_matrix_init_identity(&ctm);
    cairo_scaled_font_t* font = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
    cairo_font_options_destroy(options);
    cairo_font_face_destroy(face);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS)
    {
        cairo_scaled_font_destroy(font);
        return nullptr;
    }
    return font;
}

// A new transparent ARGB32 surface, or null.
cairo_surface_t* newSurface(int width, int height)
{
    if (width < 1 || height < 1 || width > Factory::kMaxSide || height > Factory::kMaxSide)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

// Regular files only: a folder opens as a stream that throws when read.
bool readFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length)
{
    auto* src = static_cast<std::pair<const uint8_t*, size_t>*>(closure);
    if (length > src->second)
        return CAIRO_STATUS_READ_ERROR;
    std::copy(src->first, src->first + length, data);
    src->first += length;
    src->second -= length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decodePng(const std::vector<uint8_t>& bytes)
{
    // The size from the header chunk, before the decoder allocates for it.
    if (bytes.size() < 24)
        return nullptr;
    auto be32 = [&](size_t o) {
        return (uint32_t{bytes[o]} << 24) | (uint32_t{bytes[o + 1]} << 16) | (uint32_t{bytes[o + 2]} << 8) |
               bytes[o + 3];
    };
    if (be32(16) > Factory::kMaxSide || be32(20) > Factory::kMaxSide)
        return nullptr;
    std::pair<const uint8_t*, size_t> src{bytes.data(), bytes.size()};
    cairo_surface_t* loaded = cairo_image_surface_create_from_png_stream(readPng, &src);
    if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(loaded);
        return nullptr;
    }
    // Whatever format the file gave, the bitmap is ARGB32 (opaque files get alpha 255).
    cairo_surface_t* s = newSurface(cairo_image_surface_get_width(loaded), cairo_image_surface_get_height(loaded));
    if (s)
    {
        cairo_t* cr = cairo_create(s);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, loaded, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s);
    }
    cairo_surface_destroy(loaded);
    return s;
}

cairo_surface_t* decodeBmpSurface(const std::vector<uint8_t>& bytes)
{
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    if (!decodeBmp(bytes.data(), bytes.size(), w, h, pixels))
        return nullptr;
    cairo_surface_t* s = newSurface(w, h);
    if (!s)
        return nullptr;
    cairo_surface_flush(s);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        std::copy(pixels.begin() + static_cast<size_t>(y) * w, pixels.begin() + static_cast<size_t>(y + 1) * w,
                  reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride));
    cairo_surface_mark_dirty(s);
    return s;
}
} // namespace

Factory::Factory() = default;

int32_t Factory::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (out && iid == gmpi::MP_IID_FACTORY2_MPGUI)
    {
        *out = static_cast<IMpFactory2*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    return answerUnknown(this, iid, out);
}

const std::vector<std::string>& Factory::fontFamilies() const
{
    static const std::vector<std::string> families = listFamilies();
    return families;
}

std::string Factory::installedFamily(const std::string& name) const
{
    for (auto& f : fontFamilies())
        if (sameName(f, name))
            return f;
    return {};
}

int32_t Factory::GetFontFamilyName(int32_t index, gmpi::IString* out)
{
    const auto& families = fontFamilies();
    if (!out || index < 0 || static_cast<size_t>(index) >= families.size())
        return gmpi::MP_FAIL;
    const std::string& name = families[static_cast<size_t>(index)];
    out->setData(name.data(), static_cast<int32_t>(name.size()));
    return gmpi::MP_OK;
}

int32_t Factory::CreatePathGeometry(IMpPathGeometry** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = new PathGeometry(this);
    return gmpi::MP_OK;
}

int32_t Factory::CreateTextFormat(const char* family, gmpi::IMpUnknown*, MP1_FONT_WEIGHT weight, MP1_FONT_STYLE style,
                                  MP1_FONT_STRETCH stretch, float size, const char*, IMpTextFormat** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (recording_)
        textFormatRequests.push_back({family ? family : "", weight, style, stretch, size});
    if (!family || !(size > 0.0f) || !(size <= 10000.0f))
        return gmpi::MP_FAIL;
    const std::string installed = installedFamily(family);
    if (installed.empty())
        return gmpi::MP_FAIL;
    cairo_scaled_font_t* font = makeFont(installed, weight, style, stretch, size);
    if (!font)
        return gmpi::MP_FAIL;
    *out = new TextFormat(this, installed, font);
    return gmpi::MP_OK;
}

Bitmap* Factory::createBitmap(int width, int height)
{
    cairo_surface_t* s = newSurface(width, height);
    return s ? new Bitmap(this, s) : nullptr;
}

int32_t Factory::CreateImage(int32_t width, int32_t height, IMpBitmap** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = createBitmap(width, height);
    return *out ? gmpi::MP_OK : gmpi::MP_FAIL;
}

int32_t Factory::LoadImageU(const char* uri, IMpBitmap** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!uri)
        return gmpi::MP_FAIL;
    if (recording_)
        imageLoads.push_back(uri);
    std::string path = uri;
    if (path.rfind("file://", 0) == 0)
        path.erase(0, 7);
    std::vector<uint8_t> bytes;
    if (path.empty() || !readFile(path, bytes))
        return gmpi::MP_FAIL;

    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    cairo_surface_t* s = nullptr;
    if (bytes.size() >= 8 && std::equal(pngSignature, pngSignature + 8, bytes.begin()))
        s = decodePng(bytes);
    else if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        s = decodeBmpSurface(bytes);
    if (!s)
        return gmpi::MP_FAIL;
    *out = new Bitmap(this, s);
    return gmpi::MP_OK;
}

DeviceContext* Factory::createContext(Bitmap* target)
{
    return target ? new DeviceContext(this, target, 0, false) : nullptr;
}

} // namespace qwhost::drawing

// fontconfig loses a few bytes of its own while it reads its configuration,
// once per process; the leak checker of sanitized builds is told so.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
