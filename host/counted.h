// Reference counting and interface answers for the stand-in's own objects.
#pragma once

#include "mp_api.h"

#include <cstdint>
#include <initializer_list>

namespace qwhost
{
// Counted object: 1 reference after construction, deleted by the last release.
template <class I> class Counted : public I
{
public:
    int32_t addRef() override { return ++refs_; }
    int32_t release() override
    {
        const int32_t r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }
    int32_t refCount() const { return refs_; }

protected:
    Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    virtual ~Counted() = default;

    // queryInterface for an object that answers the given identifiers (and
    // the base identifier) with itself.
    int32_t answer(const gmpi::MpGuid& iid, void** out, std::initializer_list<const gmpi::MpGuid*> iids)
    {
        bool ok = iid == gmpi::MP_IID_UNKNOWN;
        for (auto* known : iids)
            ok |= iid == *known;
        *out = ok ? static_cast<I*>(this) : nullptr;
        if (!ok)
            return gmpi::MP_NOSUPPORT;
        addRef();
        return gmpi::MP_OK;
    }

private:
    int32_t refs_ = 1;
};

// A file opened for reading as the host hands it to a module; null when the
// path is not a readable regular file. One reference.
gmpi::IProtectedFile2* openProtectedFile(const char* path);
} // namespace qwhost
