// What the invisible value-routing modules share: one class template per
// module, instantiated for the pin value types and registered once per type;
// host bytes read the way the pins read them; the echo guard; the limit on
// auto-duplicating pins. A module that passes values between its own pins
// also expects its own echoes (expectOwnEchoes, echo_record.h), so that a
// host that hands them back, now or later, cannot bounce a value between its
// pins.
//
// A family's source unit ends with its registration, the identifiers being
// the head, the type's suffix and the tail:
//
//   auto r = qw::registerFamily<QW_Splitter, int, float, std::wstring, bool, MpBlob>(L"QW_Splitter", qw::TEXT);
//   // QW_SplitterInt, QW_SplitterFloat, QW_SplitterText, QW_SplitterBool, QW_SplitterBlob
#pragma once

#include "mp_sdk_gui.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace qw
{
// ---------------------------------------------------------------------------
// Value types

// The pin class of a value type: text pins also take and give UTF-8.
template <class T> struct PinClass
{
    using type = MpGuiPin<T>;
};
template <> struct PinClass<std::wstring>
{
    using type = StringGuiPin;
};
template <class T> using Pin = typename PinClass<T>::type;

// A value read from host bytes: at most the value's own size is read, a
// shorter value fills from zero, a size of 0 or below or no data is the empty
// value; a text takes size / 4 whole characters; a bool of four bytes is an
// integer (non-zero = true), of any other size its first byte.
template <class T> T fromBytes(int32_t size, const void* data)
{
    T v{};
    MpPinValue<T>::set(v, size, data);
    return v;
}

// A value as the host carries it: 4 bytes for int and float, 1 for bool,
// 4 per character for text, a blob's own size.
template <class T> int32_t byteSize(const T& v)
{
    return MpPinValue<T>::size(v);
}
template <class T> const void* bytesOf(const T& v)
{
    return MpPinValue<T>::data(v);
}

// Host bytes passed on: a negative size or missing data is the empty value.
struct Raw
{
    int32_t size;
    const void* data;
    Raw(int32_t s, const void* d) : size(d && s > 0 ? s : 0), data(d && s > 0 ? d : nullptr) {}
};

// ---------------------------------------------------------------------------
// Registration

// Which of the two suffixes a family gives its text type.
enum TextSuffix
{
    TEXT,
    STRING,
};

template <class T> const wchar_t* typeSuffix(TextSuffix);
template <> inline const wchar_t* typeSuffix<int>(TextSuffix)
{
    return L"Int";
}
template <> inline const wchar_t* typeSuffix<float>(TextSuffix)
{
    return L"Float";
}
template <> inline const wchar_t* typeSuffix<bool>(TextSuffix)
{
    return L"Bool";
}
template <> inline const wchar_t* typeSuffix<std::wstring>(TextSuffix text)
{
    return text == TEXT ? L"Text" : L"String";
}
template <> inline const wchar_t* typeSuffix<MpBlob>(TextSuffix)
{
    return L"Blob";
}

// Registers Module<T> as a user-interface object under head + suffix + tail
// for each T, in the order given.
template <template <class> class Module, class... T>
int registerFamily(const std::wstring& head, TextSuffix text, const std::wstring& tail = {})
{
    (RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, (head + typeSuffix<T>(text) + tail).c_str(),
                    &gmpi::Register<Module<T>>::withId),
     ...);
    return 0;
}

// ---------------------------------------------------------------------------
// Auto-duplicating pins

// Ids a module takes for auto-duplicating pins: 0 to 4095; a value for any
// other id is ignored, and a host pin count counts as at most 4096.
constexpr int32_t kMaxPinId = 4095;
constexpr int32_t kMaxPinCount = kMaxPinId + 1;
inline bool takenPinId(int32_t pinId)
{
    return pinId >= 0 && pinId <= kMaxPinId;
}

// ---------------------------------------------------------------------------
// Echo handling

// Raised while the module writes its own pins; a handler that finds it raised
// does not run its forward computation for the value it is given, whatever
// it is. The module's own echoes, whenever they come, are the echo record's.
class EchoGuard
{
public:
    bool raised() const { return raised_; }

    // Raises the guard for its lifetime, then puts it back as it was.
    class Raise
    {
    public:
        explicit Raise(EchoGuard& guard) : guard_(guard), was_(guard.raised_) { guard_.raised_ = true; }
        // A raise inside another (a write that runs a handler that writes)
        // leaves the guard raised for the rest of the outer one.
        ~Raise() { guard_.raised_ = was_; }
        Raise(const Raise&) = delete;
        Raise& operator=(const Raise&) = delete;

    private:
        EchoGuard& guard_;
        bool was_;
    };

private:
    bool raised_ = false;
};

// The entry a selector picks among n > 0: clamped to 0 .. n - 1.
inline int32_t selectedIndex(int32_t selector, size_t n)
{
    const int32_t last = static_cast<int32_t>(std::min<size_t>(n, INT32_MAX)) - 1;
    return selector < 0 ? 0 : selector > last ? last : selector;
}

// A trigger on a bool pin: true, then false.
inline void pulse(MpGuiPin<bool>& pin)
{
    pin = true;
    pin = false;
}
} // namespace qw
