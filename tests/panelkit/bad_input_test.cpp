// Hostile host input on every value-routing module: values of odd sizes or
// without bytes on every pin, pin ids far outside the module, texts of
// characters UTF-8 cannot encode, 1 MB blobs. Nothing may crash, hang, grow
// without bound or send without end.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include "mp_sdk_gui.h"

#include <climits>

namespace
{
using namespace qwtest;
using qwhost::Echo;

const wchar_t* const kModules[] = {
    L"QW_SplitterInt",
    L"QW_SplitterFloat",
    L"QW_SplitterText",
    L"QW_SplitterBool",
    L"QW_SplitterBlob",
    L"QW_CheckValveInt",
    L"QW_CheckValveFloat",
    L"QW_CheckValveText",
    L"QW_CheckValveBool",
    L"QW_CheckValveBlob",
    L"QW_GUISwitchOneToMany_Int",
    L"QW_GUISwitchOneToMany_Float",
    L"QW_GUISwitchOneToMany_Bool",
    L"QW_GUISwitchOneToMany_String",
    L"QW_GUISwitchOneToMany_Blob",
    L"QW_GUISwitchManyToOne_Int",
    L"QW_GUISwitchManyToOne_Float",
    L"QW_GUISwitchManyToOne_Bool",
    L"QW_GUISwitchManyToOne_String",
    L"QW_GUISwitchManyToOne_Blob",
    L"QW_TriggerInt2",
    L"QW_TriggerFloat2",
    L"QW_TriggerString2",
    L"QW_TriggerBool2",
    L"QW_TriggerBlob2",
    L"QW_GUISet2TrigAInt",
    L"QW_GUISet2TrigAFloat",
    L"QW_GUISet2TrigABool",
    L"QW_GUISet2TrigAString",
    L"QW_GUISet2TrigABlob",
    L"QW_GUISet2TrigBInt",
    L"QW_GUISet2TrigBFloat",
    L"QW_GUISet2TrigBBool",
    L"QW_GUISet2TrigBString",
    L"QW_GUISet2TrigBBlob",
    L"QW_GUIPC2Trig",
    L"QW_GUILogicGate",
    L"QW_GUILogicGateMultiIn",
    L"QW_CmpInt",
    L"QW_CmpFloat",
    L"QW_CmpString",
    L"QW_GUI_Fixed_Int",
    L"QW_GUI_Fixed_Float",
    L"QW_GUI_Fixed_Bool",
    L"QW_GUI_Fixed_String",
    L"QW_Fixed_Int",
    L"QW_Fixed_Float",
    L"QW_Fixed_String",
    L"QW_Fixed_Bool",
};

TEST(BadInput, EveryModuleRegisteredAndDescribed)
{
    auto b = bundle("panelkit");
    for (auto id : kModules)
        EXPECT_NE(b->metadata().find(id, gmpi::MP_SUB_TYPE_GUI2), nullptr) << gmpi_sdk::toUtf8(id);
    size_t registered = 0;
    for (auto& r : b->registrations())
        for (auto id : kModules)
            registered += r.subtype == gmpi::MP_SUB_TYPE_GUI2 && r.id == id;
    EXPECT_EQ(registered, std::size(kModules));
}

struct Hostile
{
    const char* what;
    int32_t size;
    bool data;
};

TEST(BadInput, OddSizesMissingBytesAndFarPinIds)
{
    const Hostile values[] = {
        {"size 0", 0, true},   {"size 1", 1, true},
        {"size 3", 3, true},   {"size 5", 5, true},
        {"size -1", -1, true}, {"size -2147483648", INT_MIN, true},
        {"no data", 4, false}, {"no data, size 2147483647", INT_MAX, false},
    };
    std::vector<uint8_t> junk(8, 0xFF);
    for (auto id : kModules)
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), id);
            std::vector<int> pins;
            for (int p = 0; p < g->pinCount(); ++p)
                pins.push_back(p);
            for (int p : {-5, 4096, INT_MAX, INT_MIN})
                pins.push_back(p);
            for (int p : pins)
                for (auto& v : values)
                {
                    const size_t before = g->transmits.size();
                    g->setPinOnly(p, v.data ? junk.data() : nullptr, v.size);
                    g->notifyPin(p);
                    g->settleEchoes();
                    EXPECT_LE(g->transmits.size() - before, 16u) << "pin " << p << ", " << v.what;
                    EXPECT_EQ(g->pendingEchoes(), 0u) << "pin " << p << ", " << v.what;
                    // A negative size never reaches the host as such.
                    for (size_t t = before; t < g->transmits.size(); ++t)
                        EXPECT_LE(g->transmits[t].data.size(), junk.size());
                }
        }
}

// The one-to-many switch's outputs come from the host's pin count.
TEST(BadInput, HostPinCounts)
{
    for (int32_t count : {INT_MIN, -1, 0, 1, 2, 3, 4, 4099, 1000000000, INT_MAX})
    {
        SCOPED_TRACE("host pin count " + std::to_string(count));
        qwhost::GuiHost host;
        host.echo = Echo::Inside;
        host.pinCountAnswer = count;
        auto g = host.create(bundle("panelkit"), L"QW_GUISwitchOneToMany_Int");
        g->setInt(2, 1);
        g->setInt(0, INT_MAX);
        g->setInt(1, 5);
        const int outputs = count < 3 ? 0 : std::min(count, 4096) - 3;
        if (outputs == 0)
        {
            EXPECT_TRUE(g->transmits.empty());
            continue;
        }
        ASSERT_FALSE(g->transmits.empty());
        EXPECT_EQ(g->transmits.back().pin, 3 + outputs - 1) << "the last output";
        EXPECT_EQ(g->pinOwner()->getPin(3 + outputs), nullptr);
    }
}

// Characters outside Unicode or surrogates pass through unchanged: nothing
// here converts them.
TEST(BadInput, TextsOfCharactersUtf8CannotEncode)
{
    const std::wstring odd = {wchar_t(0xD800), wchar_t(0x110000), wchar_t(0x7FFFFFFF), wchar_t(-1), L'a'};
    const Bytes v = text(odd);
    UiTable s{L"QW_SplitterText"};
    s.start = false;
    s.rows = {deliver(0, i32(1)), deliver(3, v), deliver(2, v, {{3, v}})};
    runUiTable(s);
    UiTable a{L"QW_GUISet2TrigAString"};
    a.start = false;
    a.rows = {deliver(0, v, {{1, v}})};
    runUiTable(a);
    UiTable f{L"QW_Fixed_String"};
    f.rows = {deliver(0, v, {{3, v}, {2, v}})};
    runUiTable(f);
    UiTable c{L"QW_CmpString"};
    c.rows = {deliver(0, v, {{3, b8(false)}}), deliver(1, v, {{3, b8(true)}})};
    runUiTable(c);
}

TEST(BadInput, BlobsOfOneMegabyte)
{
    const Bytes big(1 << 20, 0x5A);
    UiTable s{L"QW_SplitterBlob"};
    s.start = false;
    s.rows = {deliver(0, i32(2)), deliver(1, b8(true)), deliver(2, big), deliver(4, big, {{2, big}, {3, big}})};
    runUiTable(s);
    UiTable t{L"QW_TriggerBlob2"};
    t.rows = {deliver(0, big), deliver(2, b8(true), {{4, big}, {1, big}})};
    runUiTable(t);
}
} // namespace
