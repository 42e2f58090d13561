// Skin images on the stand-in's drawing factory: the first load of a
// 1024 x 1024 BMP with its mask and a transparent colour (decode, mask, key
// colour) and a load the cache answers, beside a bare loop of the same
// per-pixel arithmetic; and the mask pass beside a bare loop of its own.
// Items are pixels, but calls for the cached load.
#include "ImageCache.h"
#include "counted.h"
#include "drawing/drawing.h"
#include "drawing/graphics_host.h"
#include "mp_api_gui.h"
#include "srgb.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;
constexpr int kSide = 1024;
constexpr int64_t kPixels = int64_t{kSide} * kSide;

// The interface host's resource services over a folder.
class FolderHost final : public gmpi::IMpUserInterfaceHost2
{
public:
    explicit FolderHost(std::string folder) : folder_(std::move(folder)) {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        *out = (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_UI_HOST2) ? this : nullptr;
        return *out ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t pinTransmit(int32_t, int32_t, const void*, int32_t) override { return gmpi::MP_OK; }
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t sendMessageToAudio(int32_t, int32_t, const void*) override { return gmpi::MP_OK; }
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t RegisterResourceUri(const char* name, const char*, gmpi::IString* out) override
    {
        const std::string path = folder_ + "/" + name;
        out->setData(path.data(), static_cast<int32_t>(path.size()));
        return gmpi::MP_OK;
    }
    int32_t OpenUri(const char* uri, gmpi::IProtectedFile2** out) override
    {
        *out = qwhost::openProtectedFile(uri);
        return *out ? gmpi::MP_OK : gmpi::MP_FAIL;
    }
    int32_t FindResourceU(const char*, const char*, gmpi::IString*) override { return gmpi::MP_FAIL; }

private:
    std::string folder_;
};

uint8_t red(int x, int)
{
    return static_cast<uint8_t>(x / 4);
}
uint8_t green(int, int y)
{
    return static_cast<uint8_t>(y / 4);
}
uint8_t blue(int x, int y)
{
    return static_cast<uint8_t>((x ^ y) & 255);
}
uint8_t maskValue(int x, int y)
{
    return static_cast<uint8_t>((x + 3 * y) & 255);
}

std::string bmp24(uint8_t (*r)(int, int), uint8_t (*g)(int, int), uint8_t (*b)(int, int))
{
    auto u16 = [](uint32_t v) { return std::string{static_cast<char>(v & 255), static_cast<char>(v >> 8 & 255)}; };
    auto u32 = [&](uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
    const uint32_t rowBytes = kSide * 3, size = rowBytes * kSide;
    std::string out = "BM" + u32(54 + size) + u32(0) + u32(54) + u32(40) + u32(kSide) + u32(kSide) + u16(1) + u16(24) +
                      u32(0) + u32(size) + u32(2835) + u32(2835) + u32(0) + u32(0);
    for (int y = kSide - 1; y >= 0; --y)
        for (int x = 0; x < kSide; ++x)
        {
            out += static_cast<char>(b(x, y));
            out += static_cast<char>(g(x, y));
            out += static_cast<char>(r(x, y));
        }
    return out;
}

// big.bmp, its mask and a metadata text with a transparent colour, in a
// folder of their own for the process's length; the stand-in's hosts.
struct Skin
{
    fs::path folder = fs::temp_directory_path() / ("qw_skin_bench_" + std::to_string(::getpid()));
    FolderHost host{folder.string()};
    qwhost::drawing::Factory* factory = new qwhost::drawing::Factory();
    qwhost::GraphicsHost* graphicsHost = new qwhost::GraphicsHost(factory);

    Skin()
    {
        fs::create_directories(folder);
        std::ofstream(folder / "big.bmp", std::ios::binary) << bmp24(red, green, blue);
        std::ofstream(folder / "big_mask.bmp", std::ios::binary) << bmp24(maskValue, maskValue, maskValue);
        std::ofstream(folder / "big.txt") << "transparent_pixel 5 7\n";
    }
    ~Skin()
    {
        graphicsHost->release();
        factory->release();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    static Skin& get()
    {
        static Skin skin;
        return skin;
    }
};

// The mask's and the transparent colour's arithmetic, on plain pixel arrays:
// the sRGB products worked out pixel by pixel (the framework looks them up).
void bareMask(uint8_t* image, const uint8_t* mask, int64_t pixels)
{
    const auto& tables = mp_sdk::gammaTables();
    const float* toLinear = tables.toLinear();
    const float* thresholds = tables.toLinearThresholds();
    for (int64_t i = 0; i < pixels; ++i, image += 4, mask += 4)
    {
        const uint32_t a = 255u - mask[0];
        const float scale = static_cast<float>(a) / 255.0f;
        for (int c = 0; c < 3; ++c)
        {
            const float v = toLinear[image[c]] * scale;
            int b = 0;
            for (int step = 128; step > 0; step >>= 1)
                if (thresholds[b + step] < v)
                    b += step;
            image[c] = static_cast<uint8_t>(b);
        }
        image[3] = static_cast<uint8_t>(a);
    }
}

void bareKey(uint8_t* image, int64_t pixels, uint32_t key)
{
    for (int64_t i = 0; i < pixels; ++i, image += 4)
    {
        uint32_t v;
        std::memcpy(&v, image, 4);
        if (v == key)
            image[3] = 0;
    }
}

struct Pixels
{
    std::vector<uint8_t> image, mask;
    Pixels() : image(static_cast<size_t>(kPixels) * 4), mask(static_cast<size_t>(kPixels) * 4)
    {
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
            {
                uint8_t* p = &image[static_cast<size_t>(y * kSide + x) * 4];
                p[0] = blue(x, y), p[1] = green(x, y), p[2] = red(x, y), p[3] = 255;
                mask[static_cast<size_t>(y * kSide + x) * 4] = maskValue(x, y);
            }
    }
};

void moduleMaskedLoad(benchmark::State& state)
{
    Skin& skin = Skin::get();
    for (auto _ : state)
    {
        ImageCacheClient client; // the only client: the cache empties after each load
        ImageMetadata* metadata = nullptr;
        GmpiDrawing::Bitmap b = ImageCache::instance().GetImage(&skin.host, skin.graphicsHost, "big.bmp", &metadata);
        if (!b)
            state.SkipWithError("big.bmp did not load");
        benchmark::DoNotOptimize(b.Get());
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(moduleMaskedLoad)->Unit(benchmark::kMillisecond);

// The bare loops on a fresh copy of the pixels each time; with the
// transparent colour of pixel (5, 7) too when `keyed`.
void runBare(benchmark::State& state, bool keyed)
{
    const Pixels source;
    std::vector<uint8_t> image;
    for (auto _ : state)
    {
        state.PauseTiming();
        image = source.image;
        state.ResumeTiming();
        bareMask(image.data(), source.mask.data(), kPixels);
        if (keyed)
        {
            uint32_t key;
            std::memcpy(&key, &image[static_cast<size_t>(7 * kSide + 5) * 4], 4);
            bareKey(image.data(), kPixels, key);
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}

void bareMaskedLoad(benchmark::State& state)
{
    runBare(state, true);
}
BENCHMARK(bareMaskedLoad)->Unit(benchmark::kMillisecond);

void moduleCachedLoad(benchmark::State& state)
{
    Skin& skin = Skin::get();
    ImageCacheClient client;
    ImageMetadata* metadata = nullptr;
    ImageCache::instance().GetImage(&skin.host, skin.graphicsHost, "big.bmp", &metadata);
    for (auto _ : state)
    {
        GmpiDrawing::Bitmap b = ImageCache::instance().GetImage(&skin.host, skin.graphicsHost, "big.bmp", &metadata);
        benchmark::DoNotOptimize(b.Get());
    }
    state.SetItemsProcessed(state.iterations()); // items: calls
}
BENCHMARK(moduleCachedLoad);

void moduleMaskPass(benchmark::State& state)
{
    Skin& skin = Skin::get();
    const Pixels source;
    GmpiDrawing::Factory factory(skin.factory);
    GmpiDrawing::Bitmap image = factory.CreateImage(kSide, kSide), mask = factory.CreateImage(kSide, kSide);
    {
        GmpiDrawing::BitmapPixels m = mask.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
        for (int y = 0; y < kSide; ++y)
            std::memcpy(m.getAddress() + static_cast<size_t>(y) * m.getBytesPerRow(),
                        &source.mask[static_cast<size_t>(y) * kSide * 4], kSide * 4);
    }
    uint8_t one[4] = {1, 2, 3, 255}, clear[4] = {255, 255, 255, 255};
    skin::applyMask(one, 4, clear, 4, 1, 1, GmpiDrawing_API::MP1_PIXEL_FORMAT_BGRA_SRGB); // its table, made once
    for (auto _ : state)
    {
        state.PauseTiming();
        {
            GmpiDrawing::BitmapPixels p = image.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
            for (int y = 0; y < kSide; ++y)
                std::memcpy(p.getAddress() + static_cast<size_t>(y) * p.getBytesPerRow(),
                            &source.image[static_cast<size_t>(y) * kSide * 4], kSide * 4);
        }
        state.ResumeTiming();
        const GmpiDrawing::BitmapPixels m = mask.lockPixels(GmpiDrawing::BitmapLockFlags::Read);
        GmpiDrawing::BitmapPixels p = image.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
        skin::applyMask(p.getAddress(), p.getBytesPerRow(), m.getAddress(), m.getBytesPerRow(), kSide, kSide,
                        p.getPixelFormat());
        benchmark::DoNotOptimize(p.getAddress());
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(moduleMaskPass)->Unit(benchmark::kMillisecond);

void bareMaskPass(benchmark::State& state)
{
    runBare(state, false);
}
BENCHMARK(bareMaskPass)->Unit(benchmark::kMillisecond);
} // namespace
