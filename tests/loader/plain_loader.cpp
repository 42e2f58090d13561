// A host of its own, written from the interface tables alone and linked with
// nothing of the host stand-in: no run-loop services are exported to the
// bundles it loads. For each bundle given on the command line it loads the
// bundle with immediate binding, creates and runs every processing module for
// one block, and for the test bundle also creates the timer test module,
// starts and stops its timer, and destroys it. Exits 0 when all went well.
#include "mp_api.h"
#include "mp_api_gui.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace
{
int failures = 0;

void fail(const std::string& what)
{
    std::fprintf(stderr, "plain_loader: %s\n", what.c_str());
    ++failures;
}

// The least a processing host offers: rate, block size, and nothing else.
class PlainHost final : public gmpi::IMpHost
{
public:
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        if (iid == gmpi::MP_IID_HOST || iid == gmpi::MP_IID_UNKNOWN)
        {
            *out = this;
            return gmpi::MP_OK;
        }
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t setPin(int32_t, int32_t, int32_t, const void*) override { return gmpi::MP_OK; }
    int32_t setPinStreaming(int32_t, int32_t, bool) override { return gmpi::MP_OK; }
    int32_t sleep() override { return gmpi::MP_OK; }
    int32_t sendMessageToGui(int32_t, int32_t, const void*) override { return gmpi::MP_OK; }
    int32_t getBlockSize(int32_t& v) override
    {
        v = kBlock;
        return gmpi::MP_OK;
    }
    int32_t getSampleRate(float& v) override
    {
        v = 48000.0f;
        return gmpi::MP_OK;
    }
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot10() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot11() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot12() override { return gmpi::MP_NOSUPPORT; }
    int32_t createPinIterator(gmpi::IMpPinIterator** out) override
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t unusedSlot14() override { return gmpi::MP_NOSUPPORT; }
    int32_t createCloneIterator(gmpi::IMpUnknown** out) override
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t allocateSharedMemory(const wchar_t*, void** out, float, int32_t, int32_t& init) override
    {
        *out = nullptr;
        init = 0;
        return gmpi::MP_FAIL;
    }
    int32_t resolveFilename(const wchar_t*, int32_t, wchar_t*) override { return gmpi::MP_FAIL; }

    static constexpr int kBlock = 64;
};

// Slot 8 of the factory: the registrations, for a host with no list of its own.
int32_t registration(gmpi::IMpFactory* factory, int32_t index, int32_t& subtype, const wchar_t*& id)
{
    void** table = *reinterpret_cast<void***>(factory);
    using Fn = int32_t (*)(void*, int32_t, int32_t&, const wchar_t**);
    return reinterpret_cast<Fn>(table[8])(factory, index, subtype, &id);
}

std::string narrow(const wchar_t* w)
{
    std::string s;
    for (; *w; ++w)
        s += *w < 128 ? static_cast<char>(*w) : '?';
    return s;
}

// One block of silence through a processing module; its audio pins get
// buffers by id (ids 0..255, the module refuses the ones it lacks).
void runProcessing(gmpi::IMpFactory2* factory, const wchar_t* id, PlainHost& host)
{
    void* object = nullptr;
    if (factory->createInstance2(id, gmpi::MP_SUB_TYPE_AUDIO, &object) != gmpi::MP_OK || !object)
        return fail(narrow(id) + ": not created");
    auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
    gmpi::IMpPlugin2* plugin = nullptr;
    if (unknown->queryInterface(gmpi::MP_IID_PLUGIN2, reinterpret_cast<void**>(&plugin)) != gmpi::MP_OK || !plugin)
    {
        unknown->release();
        return fail(narrow(id) + ": no processing interface");
    }
    std::vector<std::vector<float>> buffers(256, std::vector<float>(PlainHost::kBlock, 0.0f));
    plugin->setHost(&host);
    plugin->open();
    for (int pin = 0; pin < 256; ++pin)
        plugin->setBuffer(pin, buffers[static_cast<size_t>(pin)].data());
    gmpi::MpEvent start{};
    start.eventType = gmpi::EVENT_GRAPH_START;
    plugin->process(PlainHost::kBlock, &start);
    plugin->process(PlainHost::kBlock, nullptr);
    plugin->release();
    unknown->release();
}

// The timer test module with no host: its timer must neither start nor crash.
void runTimer(gmpi::IMpFactory2* factory)
{
    void* object = nullptr;
    if (factory->createInstance2(L"QW_TestTimer", gmpi::MP_SUB_TYPE_GUI2, &object) != gmpi::MP_OK || !object)
        return fail("QW_TestTimer: not created");
    auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
    gmpi::IMpUserInterface2B* ui = nullptr;
    if (unknown->queryInterface(gmpi::MP_IID_GUI_PLUGIN2B, reinterpret_cast<void**>(&ui)) != gmpi::MP_OK || !ui)
    {
        unknown->release();
        return fail("QW_TestTimer: no interface view");
    }
    ui->initialize();
    const int32_t interval = 10;
    ui->setPin(0, 0, 4, &interval);
    ui->notifyPin(0, 0);
    for (bool run : {true, false, true})
    {
        ui->setPin(1, 0, 1, &run);
        ui->notifyPin(1, 0);
    }
    ui->release();
    unknown->release(); // destroyed with its timer asked to run
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: plain_loader BUNDLE.so ...\n");
        return 2;
    }
    for (int a = 1; a < argc; ++a)
    {
        const std::string path = argv[a];
        void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib)
        {
            fail(path + ": " + dlerror());
            continue;
        }
        using GetFactory = int32_t (*)(void**);
        auto get = reinterpret_cast<GetFactory>(dlsym(lib, "MP_GetFactory"));
        void* f = nullptr;
        if (!get || get(&f) != gmpi::MP_OK || !f)
        {
            fail(path + ": no factory");
            dlclose(lib);
            continue;
        }
        gmpi::IMpFactory2* factory = nullptr;
        static_cast<gmpi::IMpUnknown*>(f)->queryInterface(gmpi::MP_IID_FACTORY2, reinterpret_cast<void**>(&factory));
        if (!factory)
        {
            fail(path + ": no second factory view");
            dlclose(lib);
            continue;
        }
        PlainHost host;
        int processing = 0;
        bool timer = false;
        int32_t subtype = 0;
        const wchar_t* id = nullptr;
        for (int32_t i = 0; registration(factory, i, subtype, id) == gmpi::MP_OK; ++i)
        {
            if (subtype == gmpi::MP_SUB_TYPE_AUDIO)
            {
                runProcessing(factory, id, host);
                ++processing;
            }
            timer |= subtype == gmpi::MP_SUB_TYPE_GUI2 && std::wcscmp(id, L"QW_TestTimer") == 0;
        }
        if (timer)
            runTimer(factory);
        std::printf("%s: loaded, %d processing modules run%s\n", path.c_str(), processing,
                    timer ? ", timer module started and stopped" : "");
        dlclose(lib);
    }
    return failures == 0 ? 0 : 1;
}
