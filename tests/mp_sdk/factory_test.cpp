// The entry of a built bundle, called the way a host compiled elsewhere calls
// it: through the exported function and the interfaces' slot numbers.
#include "test_support.h"

#include <gtest/gtest.h>

using qwtest::callSlot;

namespace
{
enum FactorySlot
{
    QUERY = 0,
    ADD_REF = 1,
    RELEASE = 2,
    CREATE = 3,
    SDK_INFO = 4,
    CREATE2 = 5,
};

struct Entry
{
    std::shared_ptr<qwhost::Bundle> bundle;
    void* factory = nullptr;

    explicit Entry(const char* name) : bundle(qwtest::bundle(name))
    {
        auto getFactory = reinterpret_cast<int32_t (*)(void**)>(bundle->symbol("MP_GetFactory"));
        EXPECT_NE(getFactory, nullptr);
        EXPECT_EQ(getFactory(&factory), 0);
    }
    int32_t create(const wchar_t* id, int32_t subtype, void** out, gmpi::IMpUnknown* host = nullptr)
    {
        *out = reinterpret_cast<void*>(0x1); // the factory must clear it
        return callSlot<int32_t>(factory, CREATE, id, subtype, host, out);
    }
    int32_t create2(const wchar_t* id, int32_t subtype, void** out)
    {
        *out = reinterpret_cast<void*>(0x1);
        return callSlot<int32_t>(factory, CREATE2, id, subtype, out);
    }
};

void release(void* object)
{
    callSlot<int32_t>(object, RELEASE);
}
} // namespace

TEST(FactoryEntry, AnswersItsInterfacesAndCountsNothing)
{
    Entry e("testkit");
    struct Row
    {
        const gmpi::MpGuid* iid;
        int32_t result;
    };
    const Row rows[] = {{&gmpi::MP_IID_UNKNOWN, 0},
                        {&gmpi::MP_IID_FACTORY, 0},
                        {&gmpi::MP_IID_FACTORY2, 0},
                        {&gmpi::MP_IID_PLUGIN2, -2},
                        {&gmpi::MP_IID_RETURNSTRING, -2}};
    for (auto& r : rows)
    {
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(callSlot<int32_t>(e.factory, QUERY, r.iid, &out), r.result);
        EXPECT_EQ(out, r.result == 0 ? e.factory : nullptr);
    }
    EXPECT_EQ(callSlot<int32_t>(e.factory, ADD_REF), 1);
    EXPECT_EQ(callSlot<int32_t>(e.factory, RELEASE), 1);

    int32_t version = 0;
    wchar_t text[40] = {};
    EXPECT_EQ(callSlot<int32_t>(e.factory, SDK_INFO, &version, 40, text), 0);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::wstring(text), L"GCC Compiler V1002 (Release)");
}

TEST(FactoryEntry, CreationResults)
{
    Entry good("testkit");
    Entry bad("brokenkit");
    struct Row
    {
        Entry* entry;
        const wchar_t* id;
        int32_t subtype;
        int32_t expected;
    };
    const Row rows[] = {
        {&good, L"QW_TestProbe", 0, 0},     {&good, L"QW_TestProbe", 1, -2}, // no such subtype
        {&good, L"QW_TestProbe", 2, -2},                                     // no interface half registered
        {&good, L"QW_NoSuchModule", 0, -2}, {&bad, L"QW_BadThrow", 0, -1},   // constructor throws
        {&bad, L"QW_BadNull", 0, -1},                                        // creation function makes nothing
    };
    for (auto& r : rows)
    {
        for (bool second : {false, true})
        {
            void* out;
            const int32_t result =
                second ? r.entry->create2(r.id, r.subtype, &out) : r.entry->create(r.id, r.subtype, &out);
            EXPECT_EQ(result, r.expected) << (second ? "createInstance2 " : "createInstance ") << r.subtype;
            EXPECT_EQ(out == nullptr, r.expected != 0);
            if (out)
                release(out);
        }
    }
}

TEST(FactoryEntry, ObjectRefusingItsHostIsReleased)
{
    Entry bad("brokenkit");
    auto destroyed = reinterpret_cast<int (*)()>(bad.bundle->symbol("brokenkit_destroyed"));
    ASSERT_NE(destroyed, nullptr);
    const int before = destroyed();
    qwhost::ProcessingHost world;
    void* out;
    EXPECT_EQ(bad.create(L"QW_BadHostThrow", 0, &out), -1);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(destroyed(), before + 1);
    // createInstance2 never calls setHost, so the object is made.
    EXPECT_EQ(bad.create2(L"QW_BadHostThrow", 0, &out), 0);
    ASSERT_NE(out, nullptr);
    release(out);
    EXPECT_EQ(destroyed(), before + 2);
}

TEST(FactoryEntry, FirstRegistrationOfAKeyWins)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("brokenkit"), L"QW_Twice");
    p->startGraph();
    p->run(16);
    ASSERT_FALSE(p->updates.empty());
    EXPECT_EQ(p->updates.back().asInt(), 1);

    // The same identifier under subtype 2 is a different key.
    Entry e("brokenkit");
    void* proc;
    void* ui;
    ASSERT_EQ(e.create(L"QW_Twice", 0, &proc), 0);
    ASSERT_EQ(e.create(L"QW_Twice", 2, &ui), 0);
    EXPECT_NE(proc, ui);
    release(proc);
    release(ui);

    std::vector<std::wstring> ids;
    for (auto& r : e.bundle->registrations())
        ids.push_back(std::to_wstring(r.subtype) + L":" + r.id);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), L"0:QW_Twice"), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), L"2:QW_Twice"), 1);
}

// A processing object through the slots of its views.
TEST(FactoryEntry, ProcessingObjectViews)
{
    Entry e("testkit");
    void* object;
    ASSERT_EQ(e.create2(L"QW_TestProbe", 0, &object), 0);
    struct Row
    {
        const gmpi::MpGuid* iid;
        int32_t result;
    };
    const Row rows[] = {{&gmpi::MP_IID_UNKNOWN, 0},  {&gmpi::MP_IID_PLUGIN, 0},
                        {&gmpi::MP_IID_PLUGIN2, 0},  {&gmpi::MP_IID_LEGACY_INITIALIZATION, 0},
                        {&gmpi::MP_IID_FACTORY, -2}, {&gmpi::MP_IID_HOST, -2}};
    for (auto& r : rows)
    {
        void* view = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(callSlot<int32_t>(object, QUERY, r.iid, &view), r.result);
        if (r.result == 0)
        {
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(callSlot<int32_t>(view, RELEASE), 1); // all views share one count
        }
        else
            EXPECT_EQ(view, nullptr);
    }
    void* plugin2;
    ASSERT_EQ(callSlot<int32_t>(object, QUERY, &gmpi::MP_IID_PLUGIN2, &plugin2), 0);
    EXPECT_EQ(callSlot<int32_t>(plugin2, 5, 99, static_cast<float*>(nullptr)), -1); // setBuffer, unknown pin
    float buffer[4] = {};
    EXPECT_EQ(callSlot<int32_t>(plugin2, 5, 0, buffer), 0);
    EXPECT_EQ(callSlot<int32_t>(plugin2, 2), 1);
    EXPECT_EQ(callSlot<int32_t>(object, RELEASE), 0);
}
