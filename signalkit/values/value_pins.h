// Control pins by value type, for the modules that are templates over the
// type of the value they pass on (int, float, bool, text, blob).
#pragma once

#include "mp_sdk_audio.h"

#include <string>

namespace qw
{
template <class T> struct PinDatatype;
template <> struct PinDatatype<int>
{
    static constexpr int value = gmpi::MP_INT32;
};
template <> struct PinDatatype<float>
{
    static constexpr int value = gmpi::MP_FLOAT32;
};
template <> struct PinDatatype<bool>
{
    static constexpr int value = gmpi::MP_BOOL;
};
template <> struct PinDatatype<std::wstring>
{
    static constexpr int value = gmpi::MP_STRING;
};
template <> struct PinDatatype<MpBlob>
{
    static constexpr int value = gmpi::MP_BLOB;
};

template <class T> using ValueInPin = MpControlPin<T, gmpi::MP_IN, PinDatatype<T>::value>;
template <class T> using ValueOutPin = MpControlPin<T, gmpi::MP_OUT, PinDatatype<T>::value>;
} // namespace qw
