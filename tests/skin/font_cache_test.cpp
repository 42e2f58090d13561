// Text formats of skin styles, made once per drawing factory, style and style
// sheet and shared by every client until the last one is gone.
#include "FontCache.h"
#include "drawing/objects.h"
#include "mp_sdk_gui2.h"
#include "skin_rig.h"

#include <gtest/gtest.h>

using skintest::Folder;
using skintest::Rig;

namespace
{
// Text-format requests the factory received for a family.
std::vector<qwhost::drawing::Factory::TextFormatRequest> requestsFor(const Rig& rig, const std::string& family)
{
    std::vector<qwhost::drawing::Factory::TextFormatRequest> out;
    for (auto& r : rig.factory().textFormatRequests)
        if (r.family == family)
            out.push_back(r);
    return out;
}

qwhost::drawing::TextFormat* standIn(const GmpiDrawing::TextFormat_readonly& f)
{
    return dynamic_cast<qwhost::drawing::TextFormat*>(f.Get());
}

// A drawn module of this process that draws skin text.
class Styled : public gmpi_gui::MpGuiGfxBase, public FontCacheClient
{};
} // namespace

TEST(FontCache, OneFormatPerFactoryStyleAndSheetUntilTheLastClient)
{
    Rig rig(skintest::fixture());
    auto& cache = FontCache::instance();
    {
        FontCacheClient a, b;
        FontMetadata* kept = nullptr;
        const auto first = a.GetTextFormat(rig.ui(), rig.gfx(), "normal", &kept);
        const auto second = b.GetTextFormat(rig.ui(), rig.gfx(), "NORMAL");
        ASSERT_TRUE(first);
        EXPECT_EQ(first.Get(), second.Get());
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->styleName, "normal");
        EXPECT_EQ(requestsFor(rig, "Arial").size(), 1u);
        EXPECT_EQ(cache.formatCount(), 1u);

        // Another factory makes its own.
        Rig other(skintest::fixture());
        const auto elsewhere = b.GetTextFormat(other.ui(), other.gfx(), "normal");
        EXPECT_NE(elsewhere.Get(), first.Get());
        EXPECT_EQ(requestsFor(other, "Arial").size(), 1u);
        EXPECT_EQ(cache.formatCount(), 2u);
    }
    EXPECT_EQ(cache.formatCount(), 0u);
    FontCacheClient c;
    EXPECT_TRUE(c.GetTextFormat(rig.ui(), rig.gfx(), "normal"));
    EXPECT_EQ(requestsFor(rig, "Arial").size(), 2u);
}

TEST(FontCache, NamesOfNoStyleShareTheDefault)
{
    Rig rig(skintest::fixture());
    FontCacheClient client;
    FontMetadata* kept = nullptr;
    const auto a = client.GetTextFormat(rig.ui(), rig.gfx(), "no such style", &kept);
    const auto b = client.GetTextFormat(rig.ui(), rig.gfx(), "another");
    ASSERT_TRUE(a);
    EXPECT_EQ(a.Get(), b.Get());
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->styleName, "default");
    const auto arial = requestsFor(rig, "Arial");
    ASSERT_EQ(arial.size(), 1u);
    EXPECT_EQ(arial[0].size, 12.0f);
    EXPECT_EQ(FontCache::instance().formatCount(), 1u);
}

TEST(FontCache, LegacySizingTakesTheFirstFamilyAndTheSize)
{
    Rig rig(skintest::fixture());
    FontCacheClient client;
    const auto heading = client.GetTextFormat(rig.ui(), rig.gfx(), "heading");
    ASSERT_TRUE(heading);
    ASSERT_EQ(rig.factory().textFormatRequests.size(), 1u);
    const auto& r = rig.factory().textFormatRequests[0];
    EXPECT_EQ(r.family, "Times New Roman");
    EXPECT_EQ(r.size, 18.0f);
    EXPECT_EQ(r.weight, 700);
    EXPECT_EQ(r.style, 0);
    EXPECT_EQ(r.stretch, 5);
    // Centred, no word wrapping.
    EXPECT_EQ(standIn(heading)->alignment, 2);
    EXPECT_EQ(standIn(heading)->wordWrapping, 1);
}

TEST(FontCache, BodyHeightSizingLooksThroughEveryFamily)
{
    Folder skin;
    skin.write("global",
               "FONT_CATEGORY stack\nfont-family NoSuchFamily, 'DejaVu Sans'\nlegacy-vertical-offset 0\n"
               "GDI_pixelHeight 20\nfont-style italic\nfont-weight 100\n"
               "FONT_CATEGORY first\nfont-family NoSuchFamily, 'DejaVu Sans'\nfont-size 20\n");
    Rig rig(skin.path());
    FontCacheClient client;
    const auto stack = client.GetTextFormat(rig.ui(), rig.gfx(), "stack");
    ASSERT_TRUE(stack);
    EXPECT_EQ(standIn(stack)->family(), "DejaVu Sans");
    EXPECT_TRUE(requestsFor(rig, "NoSuchFamily").empty());
    const auto dejavu = requestsFor(rig, "DejaVu Sans");
    ASSERT_FALSE(dejavu.empty());
    EXPECT_EQ(dejavu.back().weight, 300);
    EXPECT_EQ(dejavu.back().style, 2);
    // Ascent plus descent is the pixel height.
    const GmpiDrawing_API::MP1_FONT_METRICS m = stack.GetFontMetrics();
    EXPECT_NEAR(m.ascent + m.descent, 20.0f, 0.05f);

    // With legacy sizing only the first family is asked for; the host has
    // none, so no format is made and nothing is kept.
    const size_t kept = FontCache::instance().formatCount();
    FontMetadata sentinel;
    FontMetadata* metadata = &sentinel;
    const auto first = client.GetTextFormat(rig.ui(), rig.gfx(), "first", &metadata);
    EXPECT_FALSE(first);
    EXPECT_EQ(metadata, nullptr);
    EXPECT_EQ(requestsFor(rig, "NoSuchFamily").size(), 1u);
    EXPECT_EQ(FontCache::instance().formatCount(), kept);
}

TEST(FontCache, CustomFormats)
{
    Rig rig(skintest::fixture());
    FontCacheClient client;
    auto& cache = FontCache::instance();
    int customised = 0;
    auto bigger = [&](FontMetadata* s) {
        ++customised;
        s->size = 30;
    };
    FontMetadata* kept = nullptr;
    const auto big = cache.GetCustomTextFormat(rig.ui(), rig.gfx(), "big heading", "Heading", bigger, &kept);
    ASSERT_TRUE(big);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->styleName, "big heading");
    EXPECT_EQ(kept->size, 30);
    EXPECT_EQ(kept->fontFamilies.front(), "Times New Roman");
    // Found again without customising.
    EXPECT_EQ(cache.GetCustomTextFormat(rig.ui(), rig.gfx(), "big heading", "Heading", bigger).Get(), big.Get());
    EXPECT_EQ(customised, 1);
    EXPECT_EQ(requestsFor(rig, "Times New Roman").size(), 1u);

    FontMetadata own("ignored");
    own.fontFamilies = {"DejaVu Sans"};
    own.size = 9;
    const GmpiDrawing::TextFormat added = client.AddCustomTextFormat(rig.ui(), rig.gfx(), "mine", &own);
    ASSERT_TRUE(added);
    FontMetadata* found = nullptr;
    EXPECT_EQ(cache.TextFormatExists(rig.ui(), rig.gfx(), "mine", &found).Get(), added.Get());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->styleName, "mine");
    EXPECT_EQ(found->size, 9);
    EXPECT_FALSE(cache.TextFormatExists(rig.ui(), rig.gfx(), "ignored", &found));
    EXPECT_EQ(found, nullptr);
}

TEST(FontCache, ModuleUsesItsOwnHosts)
{
    Rig rig(skintest::fixture());
    auto* module = new Styled();
    // Before it has its hosts: no format, the default style's record.
    EXPECT_FALSE(module->GetTextFormat("readout"));
    const FontMetadata* before = module->GetFontMetatdata("readout");
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->styleName, "default");

    module->setHost(rig.ui());
    EXPECT_TRUE(module->GetTextFormat("readout"));
    const FontMetadata* readout = module->GetFontMetatdata("Readout");
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->styleName, "readout");
    EXPECT_FALSE(readout->legacySizing);
    EXPECT_EQ(readout->pixelHeight, 14);
    // The style sheet's green, drawn green.
    EXPECT_EQ(readout->colorAbgr, 0xFF20C020u);
    EXPECT_GT(readout->getColor().g, readout->getColor().r);
    module->release();
}
