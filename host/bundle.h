// Loads a bundle the way the host does: dlopen, then its MP_GetFactory entry.
#pragma once

#include "metadata.h"
#include "mp_api.h"

#include <memory>
#include <string>
#include <vector>

class MpFactory;

namespace qwhost
{
struct Registration
{
    int subtype;
    std::wstring id;
};

class Bundle
{
public:
    // Throws Error naming the file and the loader's reason. The description
    // NAME.meta beside NAME.so is read when present.
    static std::shared_ptr<Bundle> load(const std::string& path);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    const std::string& path() const { return path_; }
    gmpi::IMpFactory2* factory() const { return factory_; }
    const Metadata& metadata() const { return metadata_; }
    bool hasMetadata() const { return hasMetadata_; }
    // What the bundle registered, ordered by subtype then identifier.
    std::vector<Registration> registrations() const;
    // Address of an exported symbol, or null.
    void* symbol(const char* name) const;

private:
    Bundle() = default;
    std::string path_;
    void* handle_ = nullptr;
    gmpi::IMpFactory2* factory_ = nullptr;
    MpFactory* registry_ = nullptr;
    Metadata metadata_;
    bool hasMetadata_ = false;
};

// NAME.meta for NAME.so.
std::string metadataPathFor(const std::string& bundlePath);
} // namespace qwhost
