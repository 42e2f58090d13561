// Skin images loaded once per drawing factory, with their masks, transparent
// colour and metadata applied.
#include "ImageCache.h"
#include "skin_rig.h"

#include <gtest/gtest.h>

#include <cmath>

using skintest::Bytes;
using skintest::Folder;
using skintest::Rgb;
using skintest::Rig;

namespace
{
// The cache as a module sees it: one client for the test's length.
struct Loader
{
    explicit Loader(const Rig& r) : rig(r) {}
    GmpiDrawing::Bitmap load(const std::string& name, ImageMetadata** out = nullptr)
    {
        ImageMetadata* ignored = nullptr;
        return ImageCache::instance().GetImage(rig.ui(), rig.gfx(), name.c_str(), out ? out : &ignored);
    }
    const Rig& rig;
    ImageCacheClient client;
};

double srgbToLinear(double x)
{
    return x <= 0.0404482362771082 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}

// An sRGB byte times an alpha of a / 255 in linear light, back to the
// nearest sRGB byte.
int masked(int c, int a)
{
    const double v = srgbToLinear(c / 255.0) * a / 255.0;
    int code = 0;
    for (int k = 1; k < 256; ++k)
        if (srgbToLinear((k - 0.5) / 255.0) < v)
            code = k;
    return code;
}

Bytes opaque(Rgb c)
{
    return {c.b, c.g, c.r, 255};
}
} // namespace

TEST(ImageCache, DecodesOncePerFactoryAndResourceUntilTheLastClient)
{
    Rig rig(skintest::fixture());
    auto& cache = ImageCache::instance();
    GmpiDrawing_API::IMpBitmap* first = nullptr;
    {
        Loader a(rig), b(rig);
        ImageMetadata *ma = nullptr, *mb = nullptr;
        const auto bitmapA = a.load("knob.png", &ma);
        const auto bitmapB = b.load("knob.png", &mb);
        ASSERT_TRUE(bitmapA);
        EXPECT_EQ(bitmapA.Get(), bitmapB.Get());
        EXPECT_EQ(ma, mb);
        EXPECT_EQ(rig.loads("knob.png"), 1);
        first = bitmapA.Get();

        // Another factory decodes its own.
        Rig other(skintest::fixture());
        Loader c(other);
        EXPECT_NE(c.load("knob.png").Get(), first);
        EXPECT_EQ(other.loads("knob.png"), 1);
        EXPECT_EQ(cache.imageCount(), 2u);
    }
    EXPECT_EQ(cache.imageCount(), 0u);
    Loader again(rig);
    EXPECT_TRUE(again.load("knob.png"));
    EXPECT_EQ(rig.loads("knob.png"), 2);
}

TEST(ImageCache, PngNeverLooksForAMask)
{
    Rig rig(skintest::fixture());
    Loader loader(rig);
    ImageMetadata* m = nullptr;
    ASSERT_TRUE(loader.load("knob.png", &m));
    EXPECT_FALSE(rig.asked("knob_mask.bmp", "Image"));
    EXPECT_TRUE(rig.asked("knob.txt", "ImageMeta"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->frameWidth, 32);
    EXPECT_EQ(m->frameHeight, 32);
    EXPECT_EQ(m->imageWidth, 32u);
    EXPECT_EQ(m->imageHeight, 2048u);
    EXPECT_EQ(m->orientation, ImageMetadata::ROTARY);
}

TEST(ImageCache, FixtureButtonTakesItsMask)
{
    Rig rig(skintest::fixture());
    Loader loader(rig);
    const auto button = loader.load("button.bmp");
    ASSERT_TRUE(button);
    EXPECT_TRUE(rig.asked("button_mask.bmp", "Image"));
    EXPECT_EQ(skintest::pixelOf(button, 8, 8), opaque({0xC0, 0x30, 0x30}));  // inside: kept
    EXPECT_EQ(skintest::pixelOf(button, 8, 24), opaque({0x30, 0xC0, 0x30})); // frame 1
    EXPECT_EQ(skintest::pixelOf(button, 0, 0), (Bytes{0, 0, 0, 0}));         // cut away
    EXPECT_EQ(skintest::pixelOf(button, 1, 8), (Bytes{masked(0x30, 127), masked(0x30, 127), masked(0xC0, 127), 127}));
}

TEST(ImageCache, MaskPremultipliesInLinearLight)
{
    const Rgb colours[] = {{200, 100, 30}, {255, 255, 255}, {10, 60, 128}, {0, 1, 254}};
    const int maskValues[] = {0, 64, 128, 200, 255};
    Folder skin;
    const int w = 4, h = 5;
    skin.write("m.bmp", skintest::bmp(w, h, [&](int x, int) { return colours[x]; }));
    skin.write("m_mask.bmp", skintest::bmp(w, h, [&](int, int y) {
                   const auto m = static_cast<uint8_t>(maskValues[y]);
                   return Rgb{0, 0, m}; // only the blue byte counts
               }));
    Rig rig(skin.path());
    Loader loader(rig);
    const auto image = loader.load("m.bmp");
    ASSERT_TRUE(image);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const int a = 255 - maskValues[y];
            const Rgb c = colours[x];
            EXPECT_EQ(skintest::pixelOf(image, x, y), (Bytes{masked(c.b, a), masked(c.g, a), masked(c.r, a), a}))
                << "colour " << x << ", mask " << maskValues[y];
        }
    // An opaque mask pixel keeps every byte.
    for (int x = 0; x < w; ++x)
        EXPECT_EQ(skintest::pixelOf(image, x, 0), opaque(colours[x]));
}

TEST(ImageCache, BmpWithoutMaskOrWithAMaskOfAnotherSizeIsUnchanged)
{
    Folder skin;
    auto pattern = [](int x, int y) { return Rgb{static_cast<uint8_t>(40 * x), static_cast<uint8_t>(30 * y), 7}; };
    skin.write("plain.bmp", skintest::bmp(4, 4, pattern));
    skin.write("odd.bmp", skintest::bmp(4, 4, pattern));
    skin.write("odd_mask.bmp", skintest::bmp(4, 2, [](int, int) { return Rgb{255, 255, 255}; }));
    Rig rig(skin.path());
    Loader loader(rig);
    for (const char* name : {"plain.bmp", "odd.bmp"})
    {
        SCOPED_TRACE(name);
        const auto image = loader.load(name);
        ASSERT_TRUE(image);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(skintest::pixelOf(image, x, y), opaque(pattern(x, y)));
    }
    EXPECT_TRUE(rig.asked("plain_mask.bmp", "Image"));
    EXPECT_EQ(rig.loads("odd_mask.bmp"), 1);
}

TEST(ImageCache, BmpMatchesInAnyLetterCase)
{
    Folder skin;
    skin.write("LOUD.BMP", skintest::bmp(2, 1, [](int, int) { return Rgb{100, 100, 100}; }));
    skin.write("LOUD_mask.bmp", skintest::bmp(2, 1, [](int, int) { return Rgb{255, 255, 255}; }));
    Rig rig(skin.path());
    Loader loader(rig);
    const auto image = loader.load("LOUD.BMP");
    ASSERT_TRUE(image);
    EXPECT_EQ(skintest::pixelOf(image, 1, 0), (Bytes{0, 0, 0, 0}));
}

TEST(ImageCache, TransparentColourClearsAlphaWhereverItOccurs)
{
    const Rgb key{255, 0, 255}, other{255, 0, 254};
    auto isKey = [](int x, int y) { return (x == 1 && y == 0) || (x == 3 && y == 1) || (x == 0 && y == 1); };
    Folder skin;
    skin.write("k.bmp", skintest::bmp(4, 2, [&](int x, int y) { return isKey(x, y) ? key : other; }));
    skin.write("k.txt", "transparent_pixel 1 0\n");
    Rig rig(skin.path());
    Loader loader(rig);
    const auto image = loader.load("k.bmp");
    ASSERT_TRUE(image);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(skintest::pixelOf(image, x, y), isKey(x, y) ? (Bytes{255, 0, 255, 0}) : opaque(other))
                << x << ", " << y;
}

TEST(ImageCache, TransparentPixelOutsideTheImageChangesNothing)
{
    for (const char* position : {"4 0", "0 2", "-5 0", "0 -1", "2147483647 2147483647", "-2147483648 0"})
    {
        SCOPED_TRACE(position);
        Folder skin;
        skin.write("k.bmp", skintest::bmp(4, 2, [](int, int) { return Rgb{1, 2, 3}; }));
        skin.write("k.txt", std::string("transparent_pixel ") + position + "\n");
        Rig rig(skin.path());
        Loader loader(rig);
        const auto image = loader.load("k.bmp");
        ASSERT_TRUE(image);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(skintest::pixelOf(image, x, y).a, 255);
    }
}

TEST(ImageCache, FrameSizeFromTheText)
{
    Folder skin;
    for (const char* name : {"bare.png", "ten.png", "flat.png", "negative.png"})
        skintest::writePng(skin.file(name), 7, 5, [](int, int) { return skintest::Rgba{9, 9, 9, 255}; });
    skin.write("ten.txt", "type slider\n");
    skin.write("flat.txt", "frame_size 3 0\n");
    skin.write("negative.txt", "frame_size 3 -1\n");
    Rig rig(skin.path());
    Loader loader(rig);
    struct Case
    {
        const char* name;
        int type, width, height;
    };
    // No text: one frame of the whole image. A text without a frame size:
    // 10 x 10. A frame of no height: one frame of the whole image.
    const Case cases[] = {
        {"bare.png", 1, 7, 5}, {"ten.png", 0, 10, 10}, {"flat.png", 1, 7, 5}, {"negative.png", 1, 7, 5}};
    for (const auto& c : cases)
    {
        ImageMetadata* m = nullptr;
        ASSERT_TRUE(loader.load(c.name, &m)) << c.name;
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->imageType, c.type) << c.name;
        EXPECT_EQ(m->frameWidth, c.width) << c.name;
        EXPECT_EQ(m->frameHeight, c.height) << c.name;
        EXPECT_EQ(m->imageWidth, 7u);
        EXPECT_EQ(m->imageHeight, 5u);
    }
}

TEST(ImageCache, ImagesThatCannotBeLoaded)
{
    Folder skin;
    skin.write("junk.png", "\x89PNG\r\n\x1a\nnot really an image at all");
    skin.write("junk.bmp", "BM and nothing else");
    skin.write("empty.bmp", skintest::bmp(0, 0, [](int, int) { return Rgb{}; }));
    skin.write("empty.png", "");
    Rig rig(skin.path());
    Loader loader(rig);
    for (const char* name : {"junk.png", "junk.bmp", "empty.bmp", "empty.png", "missing.png", "", "folder/"})
    {
        ImageMetadata* m = reinterpret_cast<ImageMetadata*>(&loader);
        EXPECT_FALSE(loader.load(name, &m)) << name;
        EXPECT_EQ(m, nullptr) << name;
    }
    EXPECT_EQ(ImageCache::instance().imageCount(), 0u);
    // Nothing failed is remembered: the next request tries again.
    loader.load("junk.png");
    EXPECT_EQ(rig.loads("junk.png"), 2);
    EXPECT_FALSE(ImageCache::instance().GetImage(nullptr, rig.gfx(), "junk.png", nullptr));
    EXPECT_FALSE(ImageCache::instance().GetImage(rig.ui(), nullptr, "junk.png", nullptr));
    EXPECT_FALSE(ImageCache::instance().GetImage(rig.ui(), rig.gfx(), nullptr, nullptr));
}

TEST(ImageCache, CustomImagesByFactoryAndName)
{
    Rig rig(skintest::fixture());
    Loader loader(rig);
    GmpiDrawing::Factory factory(&rig.factory());
    const GmpiDrawing::Bitmap made = factory.CreateImage(3, 3);
    ImageCache::instance().RegisterCustomImage("made", made);
    EXPECT_EQ(ImageCache::instance().GetCustomImage(factory.Get(), "made").Get(), made.Get());
    EXPECT_FALSE(ImageCache::instance().GetCustomImage(factory.Get(), "Made"));
    Rig other(skintest::fixture());
    EXPECT_FALSE(ImageCache::instance().GetCustomImage(&other.factory(), "made"));
}
