#include "mp_sdk_common.h"

#include <algorithm>
#include <cstring>

namespace
{
MpFactory* g_factory = nullptr;
}

MpFactory* Factory()
{
    if (!g_factory)
        g_factory = new MpFactory();
    return g_factory;
}

factory_deleter_helper::~factory_deleter_helper()
{
    delete g_factory;
    g_factory = nullptr;
}

MP_EXPORT factory_deleter_helper grim_reaper;

int32_t RegisterPlugin(int subType, const wchar_t* uniqueId, gmpi::IMpUnknown* (*create)())
{
    return Factory()->RegisterPlugin(subType, uniqueId, create);
}

int32_t RegisterPluginXml(const char*)
{
    return gmpi::MP_OK;
}

extern "C" int32_t MP_GetFactory(void** returnInterface)
{
    return Factory()->queryInterface(gmpi::MP_IID_UNKNOWN, returnInterface);
}

int32_t MpFactory::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_FACTORY || iid == gmpi::MP_IID_FACTORY2)
    {
        *returnInterface = static_cast<gmpi::IMpFactory2*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    *returnInterface = nullptr;
    return gmpi::MP_NOSUPPORT;
}

int32_t MpFactory::RegisterPlugin(int32_t subType, const wchar_t* uniqueId, gmpi::CreatePluginPtr create)
{
    if (uniqueId)
        map_.emplace(Key(subType, uniqueId), create); // the first registration of a key wins
    return gmpi::MP_OK;
}

gmpi::IMpUnknown* MpFactory::construct(const wchar_t* uniqueId, int32_t subType, int32_t& result)
{
    result = gmpi::MP_NOSUPPORT;
    if (!uniqueId)
        return nullptr;
    auto it = map_.find(Key(subType, uniqueId));
    if (it == map_.end() || !it->second)
        return nullptr;
    gmpi::IMpUnknown* object = nullptr;
    try
    {
        object = it->second();
    }
    catch (...)
    {
        result = gmpi::MP_FAIL;
        return nullptr;
    }
    // A creation function that makes nothing is a failure, not a success.
    result = object ? gmpi::MP_OK : gmpi::MP_FAIL;
    return object;
}

int32_t MpFactory::createInstance(const wchar_t* uniqueId, int32_t subType, gmpi::IMpUnknown* host,
                                  void** returnInterface)
{
    *returnInterface = nullptr;
    int32_t result;
    gmpi::IMpUnknown* object = construct(uniqueId, subType, result);
    if (!object)
        return result;

    if (auto legacy = dynamic_cast<gmpi::IMpLegacyInitialization*>(object))
    {
        try
        {
            legacy->setHost(host);
        }
        catch (...)
        {
            object->release();
            return gmpi::MP_FAIL;
        }
    }
    *returnInterface = object;
    return gmpi::MP_OK;
}

int32_t MpFactory::createInstance2(const wchar_t* uniqueId, int32_t subType, void** returnInterface)
{
    *returnInterface = nullptr;
    int32_t result;
    *returnInterface = construct(uniqueId, subType, result);
    return result;
}

int32_t MpFactory::getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars, wchar_t* returnCompilerInformation)
{
    returnSdkVersion = 30800;
    const std::wstring text = L"GCC Compiler V" + std::to_wstring(1002) + L" (Release)";
    if (returnCompilerInformation && maxChars > 0)
    {
        const size_t n = std::min(text.size(), static_cast<size_t>(maxChars - 1));
        std::copy_n(text.c_str(), n, returnCompilerInformation);
        returnCompilerInformation[n] = L'\0';
    }
    return gmpi::MP_OK;
}

int32_t MpFactory::getRegistration(int32_t index, int32_t& returnSubType, const wchar_t** returnId)
{
    if (index < 0 || static_cast<size_t>(index) >= map_.size())
        return gmpi::MP_FAIL;
    auto it = std::next(map_.begin(), index);
    returnSubType = it->first.first;
    *returnId = it->first.second.c_str();
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// MpBlob

MpBlob::MpBlob(MpBlob&& other) noexcept : size_(other.size_), data_(other.data_), capacity_(other.capacity_)
{
    other.size_ = other.capacity_ = 0;
    other.data_ = nullptr;
}

MpBlob& MpBlob::operator=(const MpBlob& other)
{
    if (this != &other)
        setValueRaw(other.size_, other.data_);
    return *this;
}

MpBlob& MpBlob::operator=(MpBlob&& other) noexcept
{
    if (this != &other)
    {
        delete[] data_;
        size_ = other.size_;
        data_ = other.data_;
        capacity_ = other.capacity_;
        other.size_ = other.capacity_ = 0;
        other.data_ = nullptr;
    }
    return *this;
}

void MpBlob::reserve(size_t size, bool keep)
{
    if (size <= capacity_)
        return;
    char* grown = new char[size];
    if (keep && size_)
        std::memcpy(grown, data_, size_);
    delete[] data_;
    data_ = grown;
    capacity_ = size;
}

void MpBlob::setValueRaw(size_t size, const void* data)
{
    if (!data)
        size = 0;
    reserve(size, false);
    if (size)
        std::memmove(data_, data, size);
    size_ = size;
}

void MpBlob::resize(int size)
{
    const size_t n = size > 0 ? static_cast<size_t>(size) : 0;
    reserve(n, true);
    if (n > size_)
        std::memset(data_ + size_, 0, n - size_);
    size_ = n;
}

bool MpBlob::compare(const char* data, int size) const
{
    if (size < 0 || static_cast<uint64_t>(size) != size_)
        return false;
    return size_ == 0 || std::memcmp(data_, data, size_) == 0;
}

// ---------------------------------------------------------------------------

namespace gmpi_sdk
{
int32_t MpString::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_RETURNSTRING)
    {
        *returnInterface = static_cast<gmpi::IString*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    *returnInterface = nullptr;
    return gmpi::MP_NOSUPPORT;
}

int32_t MpString::setData(const char* data, int32_t size)
{
    if (size < 1 || !data)
        str_.clear();
    else
        str_.assign(data, static_cast<size_t>(size));
    return gmpi::MP_OK;
}

namespace
{
const char kReplacementUtf8[] = "\xEF\xBF\xBD";
constexpr wchar_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, uint32_t c)
{
    if (c >= 0xD800 && c <= 0xDFFF)
        c = kReplacement;
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c <= 0x10FFFF)
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
        out += kReplacementUtf8;
}
} // namespace

std::string toUtf8(const wchar_t* text, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
        appendUtf8(out, static_cast<uint32_t>(text[i]));
    return out;
}

std::string toUtf8(const std::wstring& text)
{
    return toUtf8(text.data(), text.size());
}

std::wstring fromUtf8(const char* text, size_t length)
{
    std::wstring out;
    out.reserve(length);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length)
    {
        const unsigned char b = s[i];
        if (b < 0x80)
        {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        int extra;
        uint32_t c, min;
        if (b >= 0xC2 && b <= 0xDF)
            extra = 1, c = b & 0x1F, min = 0x80;
        else if (b >= 0xE0 && b <= 0xEF)
            extra = 2, c = b & 0x0F, min = 0x800;
        else if (b >= 0xF0 && b <= 0xF4)
            extra = 3, c = b & 0x07, min = 0x10000;
        else
        {
            out += kReplacement; // stray continuation byte or invalid lead byte
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra) && i + j < length && (s[i + j] & 0xC0) == 0x80; ++j)
            c = (c << 6) | (s[i + j] & 0x3F);
        if (j != static_cast<size_t>(extra) + 1 || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        {
            // Truncated, overlong or out of range: one replacement per bad sequence start.
            out += kReplacement;
            i += 1;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += j;
    }
    return out;
}

std::wstring fromUtf8(const std::string& text)
{
    return fromUtf8(text.data(), text.size());
}
} // namespace gmpi_sdk
