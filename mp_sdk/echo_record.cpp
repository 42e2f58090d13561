#include "echo_record.h"

#include <algorithm>
#include <cstring>

namespace
{
// A missing value or a negative size is the empty value.
size_t sizeOf(int32_t size, const void* data)
{
    return data && size > 0 ? static_cast<size_t>(size) : 0;
}

bool same(const std::vector<uint8_t>& bytes, size_t size, const void* data)
{
    return bytes.size() == size && (size == 0 || std::memcmp(bytes.data(), data, size) == 0);
}
} // namespace

EchoRecord::Bytes EchoRecord::share(int32_t size, const void* data)
{
    const size_t n = sizeOf(size, data);
    for (auto& r : recent_)
        if (r && same(*r, n, data))
            return r;
    const auto* b = static_cast<const uint8_t*>(data);
    Bytes copy = std::make_shared<const std::vector<uint8_t>>(b, b + n);
    recent_[1] = recent_[0];
    recent_[0] = copy;
    return copy;
}

void EchoRecord::sent(int32_t pinId, int32_t size, const void* data)
{
    auto& expected = pins_[pinId].expected;
    if (expected.size() >= kMaxExpected)
        expected.pop_front();
    expected.push_back(share(size, data));
}

bool EchoRecord::arrived(int32_t pinId, int32_t size, const void* data)
{
    const size_t n = sizeOf(size, data);
    auto it = pins_.find(pinId);
    if (it == pins_.end() || it->second.expected.empty())
    {
        // New, from outside: nothing sent before it is waited for any more.
        for (auto p = pins_.begin(); p != pins_.end();)
        {
            auto next = std::next(p);
            p->second.expected.clear();
            if (p->first == pinId)
                p->second.echoStored = false;
            forget(p);
            p = next;
        }
        return false;
    }
    auto& expected = it->second.expected;
    // A host that passes on only the latest of several values may skip the
    // older ones: the value matched ends the wait for those sent before it.
    auto match = std::find_if(expected.begin(), expected.end(), [&](const Bytes& b) { return same(*b, n, data); });
    const bool echo = match != expected.end();
    expected.erase(expected.begin(), echo ? std::next(match) : expected.end());
    it->second.echoStored = echo;
    forget(it);
    return echo;
}

bool EchoRecord::echoStored(int32_t pinId) const
{
    auto it = pins_.find(pinId);
    return it != pins_.end() && it->second.echoStored;
}

bool EchoRecord::takeEcho(int32_t pinId)
{
    auto it = pins_.find(pinId);
    if (it == pins_.end() || !it->second.echoStored)
        return false;
    it->second.echoStored = false;
    forget(it);
    return true;
}

size_t EchoRecord::expected() const
{
    size_t n = 0;
    for (auto& p : pins_)
        n += p.second.expected.size();
    return n;
}

void EchoRecord::forget(std::map<int32_t, Pin>::iterator it)
{
    if (it->second.expected.empty() && !it->second.echoStored)
        pins_.erase(it);
}
