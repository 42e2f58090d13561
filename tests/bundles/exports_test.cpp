// What every built bundle exports to the host.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(BundleExports, EveryBundleHasTheEntryPoints)
{
    // C++ names as the compiler writes them for the host's loader.
    const char* functions[] = {
        "MP_GetFactory",
        "_Z14RegisterPluginiPKwPFPN4gmpi10IMpUnknownEvE", // RegisterPlugin(int, const wchar_t*, IMpUnknown* (*)())
        "_Z17RegisterPluginXmlPKc",                       // RegisterPluginXml(const char*)
        "_Z7Factoryv",                                    // Factory()
        "grim_reaper",
    };
    for (auto& name : qwtest::productBundles())
    {
        auto b = qwtest::bundle(name);
        for (auto f : functions)
            EXPECT_NE(b->symbol(f), nullptr) << name << " lacks " << f;
        auto copyright = static_cast<const char*>(b->symbol("CopyrightString"));
        if (name == "samplekit")
        {
            EXPECT_EQ(copyright, nullptr) << "samplekit carries no notice";
            continue;
        }
        ASSERT_NE(copyright, nullptr) << name;
        const size_t bytes = std::strlen(copyright) + 1;
        EXPECT_GE(bytes, 244u) << name;
        EXPECT_LE(bytes, 252u) << name;
    }
}

TEST(BundleExports, XmlRegistrationIsAcceptedAndIgnored)
{
    auto b = qwtest::bundle("signalkit");
    auto registerXml = reinterpret_cast<int32_t (*)(const char*)>(b->symbol("_Z17RegisterPluginXmlPKc"));
    ASSERT_NE(registerXml, nullptr);
    const auto before = b->registrations().size();
    EXPECT_EQ(registerXml("<PluginList><Plugin id=\"QW_Nothing\"/></PluginList>"), 0);
    EXPECT_EQ(b->registrations().size(), before);
}

TEST(BundleExports, RegisterPluginAddsToTheBundlesOwnFactory)
{
    auto b = qwtest::bundle("brokenkit");
    auto registerPlugin = reinterpret_cast<int32_t (*)(int, const wchar_t*, gmpi::IMpUnknown* (*)())>(
        b->symbol("_Z14RegisterPluginiPKwPFPN4gmpi10IMpUnknownEvE"));
    ASSERT_NE(registerPlugin, nullptr);
    EXPECT_EQ(registerPlugin(0, L"QW_TestLate", nullptr), 0);
    void* out = reinterpret_cast<void*>(1);
    // Registered with no creation function: not supported.
    EXPECT_EQ(b->factory()->createInstance2(L"QW_TestLate", 0, &out), -2);
    EXPECT_EQ(out, nullptr);
}
