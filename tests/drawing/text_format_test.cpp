// CreateTextFormat2: family choice, size calibration and the fall-back on
// Arial, against a scripted factory and against the stand-in's real fonts.
#include "canvas.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace GmpiDrawing;
using namespace GmpiDrawing_API;
using Stack = GmpiDrawing::Factory::FontStack;

namespace
{
// A factory whose families, metrics and failures the test sets.
class ScriptedFactory : public IMpFactory2
{
public:
    struct Created
    {
        std::string family;
        float size;
    };

    bool answersSecondVersion = true;
    std::vector<std::string> families;             // what GetFontFamilyName lists
    std::map<std::string, MP1_FONT_METRICS> fonts; // families that can be created, metrics at size 32
    std::vector<Created> created;
    std::vector<std::pair<float, float>> lineSpacings;
    int familyQueries = 0;

    class Format final : public IMpTextFormat
    {
    public:
        Format(ScriptedFactory* f, MP1_FONT_METRICS m) : factory_(f), metrics_(m) {}
        int32_t queryInterface(const gmpi::MpGuid&, void** out) override
        {
            *out = nullptr;
            return gmpi::MP_NOSUPPORT;
        }
        int32_t addRef() override { return ++refs_; }
        int32_t release() override
        {
            if (--refs_ == 0)
            {
                delete this;
                return 0;
            }
            return refs_;
        }
        int32_t SetTextAlignment(MP1_TEXT_ALIGNMENT) override { return 0; }
        int32_t SetParagraphAlignment(MP1_PARAGRAPH_ALIGNMENT) override { return 0; }
        int32_t SetWordWrapping(MP1_WORD_WRAPPING) override { return 0; }
        int32_t GetTextExtentU(const char*, int32_t, MP1_SIZE*) override { return 0; }
        int32_t GetFontMetrics(MP1_FONT_METRICS* out) override
        {
            *out = metrics_;
            return 0;
        }
        int32_t SetLineSpacing(float a, float b) override
        {
            factory_->lineSpacings.push_back({a, b});
            return 0;
        }

    private:
        ScriptedFactory* factory_;
        MP1_FONT_METRICS metrics_;
        int refs_ = 1;
    };

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        if (iid == MP_IID_FACTORY2_MPGUI && answersSecondVersion)
        {
            *out = static_cast<IMpFactory2*>(this);
            ++refs_;
            return gmpi::MP_OK;
        }
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return ++refs_; }
    int32_t release() override { return --refs_; }
    int32_t CreatePathGeometry(IMpPathGeometry**) override { return gmpi::MP_FAIL; }
    int32_t CreateTextFormat(const char* family, gmpi::IMpUnknown*, MP1_FONT_WEIGHT, MP1_FONT_STYLE, MP1_FONT_STRETCH,
                             float size, const char*, IMpTextFormat** out) override
    {
        created.push_back({family, size});
        *out = nullptr;
        auto it = fonts.find(family);
        if (it == fonts.end())
            return gmpi::MP_FAIL;
        // The metrics scale with the size, as a font's do.
        MP1_FONT_METRICS m = it->second;
        const float k = size / 32.0f;
        m = {m.ascent * k, m.descent * k, m.lineGap * k, m.capHeight * k, m.xHeight * k};
        *out = new Format(this, m);
        return gmpi::MP_OK;
    }
    int32_t CreateImage(int32_t, int32_t, IMpBitmap**) override { return gmpi::MP_FAIL; }
    int32_t LoadImageU(const char*, IMpBitmap**) override { return gmpi::MP_FAIL; }
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t GetFontFamilyName(int32_t index, gmpi::IString* out) override
    {
        ++familyQueries;
        if (index < 0 || index >= static_cast<int32_t>(families.size()))
            return gmpi::MP_FAIL;
        out->setData(families[index].data(), static_cast<int32_t>(families[index].size()));
        return gmpi::MP_OK;
    }

    int refs_ = 1;
};

class CreateTextFormat2Test : public ::testing::Test
{
protected:
    void SetUp() override { GmpiDrawing::Factory::availableFonts().clear(); }
    void TearDown() override { GmpiDrawing::Factory::availableFonts().clear(); }

    // ascent 30 + descent 10 = 40 at size 32: body factor 0.8; cap height 20: cap factor 1.6.
    static constexpr MP1_FONT_METRICS kMetrics{30.0f, 10.0f, 2.0f, 20.0f, 15.0f};
    ScriptedFactory host;
};
} // namespace

TEST_F(CreateTextFormat2Test, SizeMeetsTheBodyOrCapHeightAndTheFactorsAreMeasuredOnce)
{
    host.families = {"Alpha", "Beta"};
    host.fonts = {{"Alpha", kMetrics}};
    GmpiDrawing::Factory f(&host);

    TextFormat body = f.CreateTextFormat2(10.0f, Stack("Alpha"));
    ASSERT_FALSE(body.isNull());
    ASSERT_EQ(host.created.size(), 2u);
    EXPECT_EQ(host.created[0].size, 32.0f); // the measuring format
    EXPECT_EQ(host.created[1].size, 8.0f);
    MP1_FONT_METRICS m = body.GetFontMetrics();
    EXPECT_FLOAT_EQ(m.ascent + m.descent, 10.0f);
    EXPECT_EQ(host.lineSpacings.back(), std::make_pair(-512.0f, 0.0f));

    TextFormat cap =
        f.CreateTextFormat2(10.0f, Stack("Alpha"), FontWeight::Bold, FontStyle::Normal, FontStretch::Normal, true);
    ASSERT_EQ(host.created.size(), 3u); // no second measurement
    EXPECT_EQ(host.created[2].size, 16.0f);
    EXPECT_FLOAT_EQ(cap.GetFontMetrics().capHeight, 10.0f);

    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().at("Alpha"), std::make_pair(0.8f, 1.6f));
    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().at("Beta"), std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().count("Arial"), 1u); // always listed with the second version
}

TEST_F(CreateTextFormat2Test, TheFirstListedFamilyOfTheStackIsUsed)
{
    host.families = {"Beta", "Gamma"};
    host.fonts = {{"Beta", kMetrics}, {"Gamma", kMetrics}};
    GmpiDrawing::Factory f(&host);
    TextFormat tf = f.CreateTextFormat2(12.0f, Stack({"Missing", "Gamma", "Beta"}));
    ASSERT_FALSE(tf.isNull());
    EXPECT_EQ(host.created.back().family, "Gamma");
}

TEST_F(CreateTextFormat2Test, AnEmptyStackFallsBackOnArial)
{
    host.families = {"Beta"};
    host.fonts = {{"Arial", kMetrics}};
    GmpiDrawing::Factory f(&host);
    TextFormat tf = f.CreateTextFormat2(12.0f, Stack());
    ASSERT_FALSE(tf.isNull());
    EXPECT_EQ(host.created.back().family, "Arial");
}

TEST_F(CreateTextFormat2Test, AFamilyTheHostCannotMakeGivesAnEmptyFormatWithoutTryingTheNext)
{
    host.families = {"Broken", "Beta"};
    host.fonts = {{"Beta", kMetrics}};
    GmpiDrawing::Factory f(&host);
    TextFormat tf = f.CreateTextFormat2(12.0f, Stack({"Broken", "Beta"}));
    EXPECT_TRUE(tf.isNull());
    for (auto& c : host.created)
        EXPECT_EQ(c.family, "Broken");
}

TEST_F(CreateTextFormat2Test, ZeroMetricsLeaveTheSizeAsAsked)
{
    host.families = {"Flat"};
    host.fonts = {{"Flat", MP1_FONT_METRICS{0, 0, 0, 0, 0}}};
    GmpiDrawing::Factory f(&host);
    TextFormat tf = f.CreateTextFormat2(14.0f, Stack("Flat"));
    ASSERT_FALSE(tf.isNull());
    EXPECT_EQ(host.created.back().size, 14.0f);
    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().at("Flat"), std::make_pair(1.0f, 1.0f));
    f.CreateTextFormat2(14.0f, Stack("Flat"), FontWeight::Normal, FontStyle::Normal, FontStretch::Normal, true);
    EXPECT_EQ(host.created.back().size, 14.0f);
}

TEST_F(CreateTextFormat2Test, WithoutTheSecondVersionTheStacksFirstFamilyIsListed)
{
    host.answersSecondVersion = false;
    host.fonts = {{"Alpha", kMetrics}};
    GmpiDrawing::Factory f(&host);
    TextFormat tf = f.CreateTextFormat2(10.0f, Stack({"Alpha", "Beta"}));
    ASSERT_FALSE(tf.isNull());
    EXPECT_EQ(host.created.back().size, 8.0f);
    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().size(), 1u);
    EXPECT_EQ(host.familyQueries, 0);
    EXPECT_EQ(host.refs_, 2); // the wrapper's own; the second-version query kept none
}

TEST_F(CreateTextFormat2Test, WithoutTheSecondVersionAnUnlistedStackRetriesArialOnceThenGivesNothing)
{
    host.answersSecondVersion = false;
    host.fonts = {{"Alpha", kMetrics}, {"Arial", kMetrics}};
    GmpiDrawing::Factory f(&host);
    ASSERT_FALSE(f.CreateTextFormat2(10.0f, Stack("Alpha")).isNull()); // the table now holds only Alpha
    const size_t before = host.created.size();

    TextFormat tf = f.CreateTextFormat2(10.0f, Stack("Times"));
    EXPECT_TRUE(tf.isNull());
    EXPECT_EQ(host.created.size(), before); // Arial is not listed, so nothing was asked of the host
    EXPECT_EQ(GmpiDrawing::Factory::availableFonts().size(), 1u);
}

TEST_F(CreateTextFormat2Test, TheTableIsFilledOnce)
{
    host.families = {"Alpha"};
    host.fonts = {{"Alpha", kMetrics}};
    GmpiDrawing::Factory f(&host);
    f.CreateTextFormat2(10.0f, Stack("Alpha"));
    const int queries = host.familyQueries;
    host.families.push_back("Late");
    host.fonts["Late"] = kMetrics;
    EXPECT_FALSE(f.CreateTextFormat2(10.0f, Stack({"Late", "Alpha"})).isNull());
    EXPECT_EQ(host.familyQueries, queries);
    EXPECT_EQ(host.created.back().family, "Alpha");
}

// Against the stand-in: the calibrated format really has the asked height.
TEST_F(CreateTextFormat2Test, StandInFontsMeetTheAskedHeight)
{
    drawtest::Canvas canvas(4, 4);
    GmpiDrawing::Factory f = canvas.graphics().GetFactory();
    for (float height : {9.0f, 20.0f, 47.0f})
    {
        TextFormat body = f.CreateTextFormat2(height, Stack({"No Such Family For Tests", "DejaVu Sans"}));
        ASSERT_FALSE(body.isNull());
        const auto m = body.GetFontMetrics();
        EXPECT_NEAR(m.ascent + m.descent, height, height * 0.002f);

        TextFormat cap = f.CreateTextFormat2(height, Stack("DejaVu Sans"), FontWeight::Normal, FontStyle::Normal,
                                             FontStretch::Normal, true);
        ASSERT_FALSE(cap.isNull());
        EXPECT_NEAR(cap.GetFontMetrics().capHeight, height, height * 0.02f);
    }
    // The fall-back family is there exactly when the machine has it.
    const bool hasArial = !canvas.factory->installedFamily("Arial").empty();
    EXPECT_EQ(f.CreateTextFormat2(12.0f, Stack()).isNull(), !hasArial);
}
