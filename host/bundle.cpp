#include "bundle.h"

#include "mp_sdk_common.h"

#include <dlfcn.h>
#include <fstream>

namespace qwhost
{
std::string metadataPathFor(const std::string& bundlePath)
{
    const auto slash = bundlePath.find_last_of('/');
    const auto dot = bundlePath.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? bundlePath.substr(0, dot) : bundlePath) + ".meta";
}

std::shared_ptr<Bundle> Bundle::load(const std::string& path)
{
    std::shared_ptr<Bundle> b(new Bundle());
    b->path_ = path;
    // dlopen searches the library path for a bare name; a bundle is a file.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    b->handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!b->handle_)
    {
        const char* why = dlerror();
        throw Error("cannot load bundle '" + path + "': " + (why ? why : "unknown reason"));
    }
    dlerror();
    auto getFactory = reinterpret_cast<int32_t (*)(void**)>(dlsym(b->handle_, "MP_GetFactory"));
    if (!getFactory)
    {
        const char* why = dlerror();
        throw Error("bundle '" + path + "' has no MP_GetFactory entry point: " + (why ? why : "symbol not found"));
    }
    void* unknown = nullptr;
    if (getFactory(&unknown) != gmpi::MP_OK || !unknown)
        throw Error("bundle '" + path + "': MP_GetFactory gave no factory");
    // The factory answers IMpFactory2; ask for it the way a host would.
    auto* u = static_cast<gmpi::IMpUnknown*>(unknown);
    void* f2 = nullptr;
    if (u->queryInterface(gmpi::MP_IID_FACTORY2, &f2) != gmpi::MP_OK || !f2)
        throw Error("bundle '" + path + "': the factory does not answer the second factory interface");
    u->release();
    b->factory_ = static_cast<gmpi::IMpFactory2*>(f2);

    if (auto registry = reinterpret_cast<MpFactory* (*)()>(dlsym(b->handle_, "_Z7Factoryv")))
        b->registry_ = registry();

    const std::string metaPath = metadataPathFor(path);
    if (std::ifstream(metaPath).good())
    {
        b->metadata_ = Metadata::load(metaPath);
        b->hasMetadata_ = true;
    }
    return b;
}

Bundle::~Bundle()
{
    // The factory counts no references and lives until the bundle unloads.
    if (handle_)
        dlclose(handle_);
}

std::vector<Registration> Bundle::registrations() const
{
    std::vector<Registration> out;
    if (!registry_)
        return out;
    int32_t subtype;
    const wchar_t* id;
    for (int32_t i = 0; registry_->getRegistration(i, subtype, &id) == gmpi::MP_OK; ++i)
        out.push_back({subtype, id});
    return out;
}

void* Bundle::symbol(const char* name) const
{
    return handle_ ? dlsym(handle_, name) : nullptr;
}
} // namespace qwhost
