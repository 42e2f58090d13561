// Factory, registration and the small value types shared by both module halves.
#pragma once

#include "mp_api.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#define MP_EXPORT __attribute__((visibility("default")))

namespace gmpi
{
using CreatePluginPtr = IMpUnknown* (*)();
}

// The factory of one bundle: a map from (subtype, identifier) to a creation
// function, filled by the static initialisers of the module units.
class MpFactory : public gmpi::IMpFactory2
{
public:
    using Key = std::pair<int32_t, std::wstring>;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t createInstance(const wchar_t* uniqueId, int32_t subType, gmpi::IMpUnknown* host,
                           void** returnInterface) override;
    int32_t getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars, wchar_t* returnCompilerInformation) override;
    int32_t createInstance2(const wchar_t* uniqueId, int32_t subType, void** returnInterface) override;
    virtual ~MpFactory() = default;

    // Lists what is registered, in key order, for hosts that keep no list of
    // their own. index 0.. ; -1 past the end.
    virtual int32_t getRegistration(int32_t index, int32_t& returnSubType, const wchar_t** returnId);

    int32_t RegisterPlugin(int32_t subType, const wchar_t* uniqueId, gmpi::CreatePluginPtr create);

private:
    gmpi::IMpUnknown* construct(const wchar_t* uniqueId, int32_t subType, int32_t& result);
    std::map<Key, gmpi::CreatePluginPtr> map_;
};

MP_EXPORT MpFactory* Factory();
MP_EXPORT int32_t RegisterPlugin(int subType, const wchar_t* uniqueId, gmpi::IMpUnknown* (*create)());
MP_EXPORT int32_t RegisterPluginXml(const char* xml);
extern "C" MP_EXPORT int32_t MP_GetFactory(void** returnInterface);

// Deletes the factory when the bundle is unloaded (exported as grim_reaper).
class factory_deleter_helper
{
public:
    ~factory_deleter_helper();
};

namespace gmpi
{
// Creation function of module class T: usage
//   RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Name", &gmpi::Register<QW_Name>::withId);
// The base class of T supplies primaryUnknown(T*) (found by argument lookup).
template <class T> struct Register
{
    static IMpUnknown* withId() { return primaryUnknown(new T()); }
};
} // namespace gmpi

// Owned byte buffer: the value of blob pins. Storage is reused when a new
// value fits, so values that do not grow never allocate.
class MpBlob
{
public:
    MpBlob() = default;
    MpBlob(size_t size, const void* data) { setValueRaw(size, data); }
    MpBlob(const MpBlob& other) { setValueRaw(other.size_, other.data_); }
    MpBlob(MpBlob&& other) noexcept;
    ~MpBlob() { delete[] data_; }

    MpBlob& operator=(const MpBlob& other);
    MpBlob& operator=(MpBlob&& other) noexcept;

    void setValueRaw(size_t size, const void* data);
    // New size; growing keeps the old bytes and zero-fills the rest.
    void resize(int size);
    // Room for `size` bytes, so that values up to that size are set without allocating.
    void reserve(size_t size) { reserve(size, true); }

    int getSize() const { return static_cast<int>(size_); }
    char* getData() const { return size_ ? data_ : nullptr; }

    bool operator==(const MpBlob& other) const { return compare(other.data_, other.getSize()); }
    bool operator!=(const MpBlob& other) const { return !(*this == other); }
    bool compare(const char* data, int size) const;

private:
    void reserve(size_t size, bool keep);

    uint64_t size_ = 0;
    char* data_ = nullptr;
    uint64_t capacity_ = 0;
};

namespace gmpi_sdk
{
// Text that the host fills (resolved file names, resource addresses).
class MpString : public gmpi::IString
{
public:
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t setData(const char* data, int32_t size) override;
    int32_t getSize() override { return static_cast<int32_t>(str_.size()); }
    const char* getData() override { return str_.c_str(); }

    const std::string& str() const { return str_; }

private:
    std::string str_;
};

// Holds one reference to a counted interface.
template <class T> class mp_shared_ptr
{
public:
    mp_shared_ptr() = default;
    explicit mp_shared_ptr(T* p) : p_(p)
    {
        if (p_)
            p_->addRef();
    }
    mp_shared_ptr(const mp_shared_ptr& o) : mp_shared_ptr(o.p_) {}
    mp_shared_ptr(mp_shared_ptr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~mp_shared_ptr() { Release(); }
    mp_shared_ptr& operator=(const mp_shared_ptr& o)
    {
        if (o.p_)
            o.p_->addRef();
        Release();
        p_ = o.p_;
        return *this;
    }
    mp_shared_ptr& operator=(mp_shared_ptr&& o) noexcept
    {
        if (this != &o)
        {
            Release();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    bool isNull() const { return p_ == nullptr; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out-parameters that hand over one reference.
    T** getAddressOf()
    {
        Release();
        return &p_;
    }
    void** asIMpUnknownPtr() { return reinterpret_cast<void**>(getAddressOf()); }

    void Release()
    {
        if (p_)
            p_->release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// UTF-8 <-> wide text. Never throws: invalid bytes and characters that UTF-8
// cannot encode become U+FFFD.
std::string toUtf8(const std::wstring& text);
std::string toUtf8(const wchar_t* text, size_t length);
std::wstring fromUtf8(const std::string& text);
std::wstring fromUtf8(const char* text, size_t length);
} // namespace gmpi_sdk
