#include "qw_shape.h"

#include <cmath>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <limits>
#include <locale.h>
#include <type_traits>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace qw
{

static_assert(offsetof(Shape, count) == offsetof(Shape, magic) + 4, "blob image must be contiguous");
static_assert(offsetof(Shape, nodes) == offsetof(Shape, magic) + 8, "blob image must be contiguous");
static_assert(sizeof(Shape::Node) == 8, "a node is two floats");
static_assert(std::is_trivially_copyable<Shape>::value, "shapes are plain values, copied freely");

namespace
{

// Numbers in shape texts always use "." as decimal point, whatever locale the
// host process has set.
float readFloat(const wchar_t* s)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (cLocale)
        return wcstof_l(s, nullptr, cLocale);
    return std::wcstof(s, nullptr);
}

// UTF-8 to wide text; a malformed sequence becomes U+FFFD.
std::wstring decodeUtf8(const std::string& in)
{
    std::wstring out;
    out.reserve(in.size());
    const size_t n = in.size();
    size_t i = 0;
    while (i < n)
    {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80)
        {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        int len = 0;
        uint32_t cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0)
        {
            len = 2, cp = c & 0x1F, min = 0x80;
        }
        else if ((c & 0xF0) == 0xE0)
        {
            len = 3, cp = c & 0x0F, min = 0x800;
        }
        else if ((c & 0xF8) == 0xF0)
        {
            len = 4, cp = c & 0x07, min = 0x10000;
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k)
        {
            const unsigned char cc = static_cast<unsigned char>(in[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (ok)
        {
            out.push_back(static_cast<wchar_t>(cp));
            i += len;
        }
        else
        {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
        }
    }
    return out;
}

// Wide text to UTF-8; a character that cannot be encoded becomes U+FFFD.
std::string encodeUtf8(const std::wstring& in)
{
    std::string out;
    out.reserve(in.size());
    for (wchar_t wc : in)
    {
        uint32_t cp = static_cast<uint32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp < 0x80)
        {
            out.push_back(static_cast<char>(cp));
        }
        else if (cp < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// Reads "ITP=" followed by a base-10 integer (leading white space and a sign
// allowed). Anything that is not a number in the 32-bit range counts as no type.
bool readType(const std::wstring& text, size_t from, int* type)
{
    const size_t at = text.find(L"ITP=", from);
    if (at == std::wstring::npos)
        return false;
    size_t i = at + 4;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    int64_t value = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
    {
        value = value * 10 + (text[i++] - L'0');
        if (value > int64_t{1} << 31)
            return false;
        ++digits;
    }
    if (digits == 0)
        return false;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return false;
    *type = static_cast<int>(value);
    return true;
}

} // namespace

Shape::Shape(const wchar_t* text)
{
    setString(text ? std::wstring(text) : std::wstring());
    changed = 0;
}

Shape::Shape(unsigned long size, const void* data)
{
    invalid = 1;
    if (isValidBlob(size, data))
    {
        invalid = 0;
        count = static_cast<int32_t>((size - 8) / 8);
        std::memcpy(nodes, static_cast<const char*>(data) + 8, static_cast<size_t>(count) * sizeof(Node));
    }
    changed = 0;
}

bool Shape::isValidBlob(unsigned long size, const void* data)
{
    if (data == nullptr || size < kMinBlobSize || size > kMaxBlobSize || size % 8 != 0)
        return false;
    uint32_t word;
    int32_t n;
    std::memcpy(&word, data, 4);
    std::memcpy(&n, static_cast<const char*>(data) + 4, 4);
    return word == kMagic && static_cast<unsigned long>(n) == (size - 8) / 8 && n > 0;
}

bool Shape::setBlob(unsigned long size, const void* data)
{
    if (!isValidBlob(size, data))
    {
        invalid = 1;
        return false;
    }
    invalid = 0;
    Node in[kMaxNodes];
    const int n = static_cast<int>((size - 8) / 8);
    std::memcpy(in, static_cast<const char*>(data) + 8, static_cast<size_t>(n) * sizeof(Node));
    if (!_importNodes(in, n))
        return false;
    changed = 1;
    return true;
}

bool Shape::setString(const std::wstring& text)
{
    invalid = 1;
    const size_t len = text.size();
    if (len < 11 || text[0] != L'(')
        return false;
    const wchar_t* s = text.c_str();

    Node in[kMaxNodes];
    // First pair: X must be exactly -5.
    size_t comma = text.find(L',', 1);
    if (comma == std::wstring::npos || comma == 1)
        return false;
    size_t close = text.find(L')', comma + 1);
    if (close == std::wstring::npos || close == comma + 1)
        return false;
    const float x0 = readFloat(s + 1);
    const float y0 = readFloat(s + comma + 1);
    if (!(x0 == -5.f) || !(y0 >= -5.f && y0 <= 5.f))
        return false;
    in[0] = {0.f, y0 * 0.2f};
    int n = 1;
    if (close + 1 >= len)
        return false;

    // Each further pair starts directly after the previous ")".
    while (n < kMaxNodes && close + 1 < len)
    {
        const size_t open = close + 1;
        if (s[open] != L'(' || open + 1 >= len)
            return false;
        comma = text.find(L',', open + 1);
        if (comma == std::wstring::npos || comma == open + 1)
            return false;
        close = text.find(L')', comma + 1);
        if (close == std::wstring::npos || close == comma + 1)
            return false;
        const float x = (readFloat(s + open + 1) + 5.f) * 0.1f;
        const float y = readFloat(s + comma + 1) * 0.2f;
        if (!(x > in[n - 1].x && x <= 1.f) || !(y >= -1.f && y <= 1.f))
            return false;
        in[n++] = {x, y};
    }
    if (!(in[n - 1].x == 1.f))
        return false;

    invalid = 0;
    if (!_importNodes(in, n))
        return false;
    changed = 1;
    return true;
}

bool Shape::loadShp(const std::wstring& path)
{
    invalid = 1;
    if (path.empty())
        return false;
    if (path.find(L'\0') != std::wstring::npos)
        return false; // would name another file once handed to the system
    std::string bytes;
    try
    {
        // File names are UTF-8 whatever the process locale. Only a regular
        // file of reasonable size is read: a device, a FIFO or a folder would
        // block or never end.
        const std::filesystem::path name = std::filesystem::u8path(encodeUtf8(path));
        std::error_code ec;
        if (!std::filesystem::is_regular_file(name, ec))
            return false;
        const auto size = std::filesystem::file_size(name, ec);
        if (ec || size > kMaxFileSize)
            return false;
        std::ifstream file(name, std::ios::binary);
        if (!file)
            return false;
        // One byte more than the size tells a file that grew meanwhile.
        bytes.resize(static_cast<size_t>(size) + 1);
        file.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<size_t>(file.gcount()));
        if (bytes.size() > size)
            return false;
    }
    catch (...)
    {
        return false;
    }
    const std::wstring content = decodeUtf8(bytes);

    const size_t lf = content.find(L'\n');
    int type = 0;
    const bool hasType = lf != std::wstring::npos && readType(content, lf, &type);
    // A file saved with CR LF line ends reads like one with LF alone.
    size_t end = lf == std::wstring::npos ? content.size() : lf;
    if (end > 0 && content[end - 1] == L'\r')
        --end;
    const bool result = setString(content.substr(0, end));
    if (invalid == 0 && hasType && isValidItp(type) && type != itp)
    {
        itp = type;
        changed = 1;
        return true;
    }
    return result;
}

bool Shape::setItp(int v)
{
    if (!isValidItp(v) || v == itp)
        return false;
    itp = v;
    changed = 1;
    return true;
}

bool Shape::_importNodes(const Node* src, int n)
{
    if (n < 0 || n > kMaxNodes)
        return false;
    if (n != count)
    {
        if (n > 0)
            std::memcpy(nodes, src, static_cast<size_t>(n) * sizeof(Node));
        count = n;
        return true;
    }
    // Compared without a branch a node, so that the loop runs straight.
    bool differs = false;
    for (int i = 0; i < n; ++i)
    {
        differs |= (nodes[i].x != src[i].x) | (nodes[i].y != src[i].y);
        nodes[i] = src[i];
    }
    return differs;
}

int Shape::addNode(const Node& node)
{
    if (count >= kMaxNodes || count < 2)
        return -1;
    const float p = node.x + 1.f;
    if (!(p > 1.f && p < 2.f) || std::isnan(node.y))
        return -1;
    const float y = node.y < -1.f ? -1.f : (node.y > 1.f ? 1.f : node.y);
    int i = 1;
    for (;; ++i)
    {
        if (i >= count)
            return -1;
        const float xi = nodes[i].x + 1.f;
        if (xi == p)
            return -1;
        if (xi > p)
            break;
    }
    std::memmove(&nodes[i + 1], &nodes[i], static_cast<size_t>(count - i) * sizeof(Node));
    nodes[i] = {p - 1.f, y};
    ++count;
    changed = 1;
    return i;
}

bool Shape::morphWith(const Shape& other, float t)
{
    Node out[kMaxNodes];
    const int n = morphNodes(*this, other, t, out);
    if (n == 0 || !_importNodes(out, n))
        return false;
    changed = 1;
    return true;
}

int Shape::morphNodes(const Shape& self, const Shape& other, float t, Node* out)
{
    if (!(t > 0.f))
        return 0; // also NaN
    if (t > 1.f)
        t = 1.f;
    const bool otherBigger = other.count > self.count;
    const Shape& big = otherBigger ? other : self;
    const Shape& small = otherBigger ? self : other;
    const float wb = otherBigger ? t : 1.f - t;
    const float ws = otherBigger ? 1.f - t : t;
    const int nb = big.count, ns = small.count;
    if (nb < 2 || ns < 1 || nb > kMaxNodes || ns > kMaxNodes)
        return 0;

    out[0] = {0.f, wb * big.nodes[0].y + ws * small.nodes[0].y};
    if (ns == nb)
    {
        // Equal counts pair node i with node i. The nodes are taken while
        // they rise, without the test for the end: the nodes taken rise, so
        // the last one taken shows whether any reached x = 1 (x + 1 >= 2).
        // Only then does the loop below decide, which stops at that node.
        int n = 1;
        float last = 1.f;
        for (int i = 1; i <= nb - 2; ++i)
        {
            const float v = wb * big.nodes[i].x + ws * small.nodes[i].x + 1.f;
            if (!(v > last))
                continue;
            last = v;
            out[n++] = {v - 1.f, wb * big.nodes[i].y + ws * small.nodes[i].y};
        }
        if (last < 2.f)
        {
            out[n++] = {1.f, wb * big.nodes[nb - 1].y + ws * small.nodes[ns - 1].y};
            return n;
        }
    }
    int n = 1;
    float last = 1.f; // x + 1 of the last node taken
    bool reachedEnd = false;
    // j = (i * ns) / nb, stepped along with i instead of divided for each
    // node: ns <= nb, so the remainder carries at most once a step.
    const int jStep = ns / nb, rStep = ns % nb;
    int nextJ = jStep, rest = rStep; // at i = 1
    for (int i = 1; i <= nb - 2 && !reachedEnd; ++i)
    {
        const int j = nextJ;
        nextJ += jStep;
        rest += rStep;
        if (rest >= nb)
        {
            rest -= nb;
            ++nextJ;
        }
        const float v = wb * big.nodes[i].x + ws * small.nodes[j].x + 1.f;
        if (!(v > last))
            continue;
        last = v;
        reachedEnd = v >= 2.f;
        out[n++] = {reachedEnd ? 1.f : v - 1.f, wb * big.nodes[i].y + ws * small.nodes[j].y};
    }
    if (!reachedEnd)
        out[n++] = {1.f, wb * big.nodes[nb - 1].y + ws * small.nodes[ns - 1].y};
    return n;
}

bool Shape::setNodeX(int i, float x)
{
    if (i <= 0 || i >= count - 1 || std::isnan(x))
        return false;
    const float lo = std::nextafter(nodes[i - 1].x + 1.f, 3.f);
    const float hi = std::nextafter(nodes[i + 1].x + 1.f, 0.f);
    if (lo > hi)
        return false; // no room between the neighbours
    float p = x + 1.f;
    p = p < lo ? lo : (p > hi ? hi : p);
    const float nx = p - 1.f;
    if (nx == nodes[i].x)
        return false;
    nodes[i].x = nx;
    changed = 1;
    return true;
}

} // namespace qw
