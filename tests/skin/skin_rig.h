// Hosts for the skin code in this process, lent by a drawn module of the test
// bundle: its interface host (resources from a folder) and its graphics host
// (the stand-in's drawing factory, recording). Scratch folders and small
// image files for the tests.
#pragma once

#include "Drawing.h"
#include "drawing/drawn_view.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace skintest
{
namespace fs = std::filesystem;

inline std::string fixture()
{
    return std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
}

// A scratch folder of its own, removed at the end.
class Folder
{
public:
    Folder()
    {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("qw_skin_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }

private:
    fs::path path_;
};

// Colour bytes of a 24-bit BMP pixel.
struct Rgb
{
    uint8_t r, g, b;
};

// A 24-bit bottom-up BMP of pixel(x, y).
inline std::string bmp(int width, int height, const std::function<Rgb(int, int)>& pixel)
{
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string rows;
    for (int y = height - 1; y >= 0; --y)
    {
        std::string row;
        for (int x = 0; x < width; ++x)
        {
            const Rgb p = pixel(x, y);
            row += static_cast<char>(p.b);
            row += static_cast<char>(p.g);
            row += static_cast<char>(p.r);
        }
        row.resize(static_cast<size_t>(rowBytes), '\0');
        rows += row;
    }
    auto u16 = [](uint32_t v) { return std::string{static_cast<char>(v & 255), static_cast<char>(v >> 8 & 255)}; };
    auto u32 = [&](uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
    return "BM" + u32(54 + static_cast<uint32_t>(rows.size())) + u32(0) + u32(54) + u32(40) +
           u32(static_cast<uint32_t>(width)) + u32(static_cast<uint32_t>(height)) + u16(1) + u16(24) + u32(0) +
           u32(static_cast<uint32_t>(rows.size())) + u32(2835) + u32(2835) + u32(0) + u32(0) + rows;
}

// Straight-alpha colour of a PNG pixel.
struct Rgba
{
    uint8_t r, g, b, a;
};

// A PNG file of pixel(x, y), written through cairo.
inline void writePng(const std::string& path, int width, int height, const std::function<Rgba(int, int)>& pixel)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(s);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const Rgba p = pixel(x, y);
            auto pm = [&](int c) { return static_cast<uint32_t>((c * p.a + 127) / 255); };
            const uint32_t v = (uint32_t{p.a} << 24) | (pm(p.r) << 16) | (pm(p.g) << 8) | pm(p.b);
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = v;
        }
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// One drawn module of the test bundle lends its hosts; its factory records.
class Rig
{
public:
    explicit Rig(const std::string& folder)
    {
        host.resourceFolder = folder;
        view = std::make_unique<qwhost::DrawnView>(desk, qwtest::bundle("testkit"), L"QW_TestDrawnPlain");
        desk.factory()->setRecording(true);
    }

    gmpi::IMpUserInterfaceHost2* ui() const { return &view->module(); }
    gmpi_gui::IMpGraphicsHost* gfx() const { return &view->graphicsHost(); }
    qwhost::drawing::Factory& factory() const { return *desk.factory(); }
    qwhost::GuiModule& module() const { return view->module(); }

    // How often the factory was asked to load the file of that name.
    int loads(const std::string& name) const
    {
        int n = 0;
        for (auto& uri : factory().imageLoads)
            n += uri == host.resolve(name);
        return n;
    }
    // Whether the skin code asked the host for a resource of that name and type.
    bool asked(const std::string& name, const std::string& type) const
    {
        for (auto& r : module().registeredResources)
            if (r.first == name && r.second == type)
                return true;
        return false;
    }

    qwhost::GuiHost host;
    qwhost::DrawingDesk desk{host};
    std::unique_ptr<qwhost::DrawnView> view;
};

// Stored bytes of a bitmap pixel: blue, green, red, alpha.
struct Bytes
{
    int b, g, r, a;
    bool operator==(const Bytes& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
    friend std::ostream& operator<<(std::ostream& os, const Bytes& p)
    {
        return os << "(b " << p.b << ", g " << p.g << ", r " << p.r << ", a " << p.a << ")";
    }
};

inline Bytes pixelOf(const GmpiDrawing::Bitmap& bitmap, int x, int y)
{
    const GmpiDrawing::BitmapPixels px = bitmap.lockPixels();
    const uint8_t* p = px.getAddress() + static_cast<size_t>(y) * px.getBytesPerRow() + 4 * static_cast<size_t>(x);
    return {p[0], p[1], p[2], p[3]};
}
} // namespace skintest
