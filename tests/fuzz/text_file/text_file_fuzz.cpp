// Any bytes as a text file that QW_GUIStringLoader and QW_GUIBlobLoader of
// the built panelkit bundle load, and as a file name (four bytes a
// character) that QW_SplitFName and QW_AppendFName take apart and join.
//
// The blob loader sends the file's bytes exactly. The text loader sends only
// characters UTF-8 can encode, never more characters than the file has
// bytes, and a file of valid UTF-8 (as checked here) comes back as the same
// bytes. The split's name part holds no '/', and a name joined to an empty
// folder passes through unchanged.
#include "ui_host.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// Whether the bytes are UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool validUtf8(const uint8_t* p, size_t n)
{
    size_t i = 0;
    while (i < n)
    {
        const uint8_t b = p[i];
        size_t len;
        uint32_t c, min;
        if (b < 0x80)
            len = 1, c = b, min = 0;
        else if ((b & 0xE0) == 0xC0)
            len = 2, c = b & 0x1F, min = 0x80;
        else if ((b & 0xF0) == 0xE0)
            len = 3, c = b & 0x0F, min = 0x800;
        else if ((b & 0xF8) == 0xF0)
            len = 4, c = b & 0x07, min = 0x10000;
        else
            return false;
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k)
        {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string encodeUtf8(const std::vector<uint8_t>& wide)
{
    std::string out;
    for (size_t i = 0; i + 4 <= wide.size(); i += 4)
    {
        uint32_t c;
        std::memcpy(&c, wide.data() + i, 4);
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                    char(0x80 | (c & 0x3F))};
    }
    return out;
}

struct Scratch
{
    std::string folder, file;
    Scratch()
    {
        char name[] = "/tmp/qw_text_file_fuzz_XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        file = folder + "/file.txt";
    }
    ~Scratch()
    {
        std::remove(file.c_str());
        if (folder != "/tmp")
            ::rmdir(folder.c_str());
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    static Scratch scratch;
    std::ofstream(scratch.file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const std::wstring name(scratch.file.begin(), scratch.file.end());

    qwhost::GuiHost host;
    host.resourceFolder = scratch.folder;
    host.confineFiles = true;
    auto blobs = host.create(bundle, L"QW_GUIBlobLoader");
    blobs->setText(3, name);
    blobs->setBool(1, true);
    check(blobs->transmits.size() == 1 && blobs->transmits[0].data == std::vector<uint8_t>(data, data + size));

    auto texts = host.create(bundle, L"QW_GUIStringLoader");
    texts->setText(3, name);
    texts->setBool(1, true);
    check(texts->transmits.size() == (size ? 1u : 0u));
    if (size)
    {
        const std::vector<uint8_t>& t = texts->transmits[0].data;
        check(t.size() % 4 == 0 && t.size() / 4 <= size);
        for (size_t i = 0; i < t.size(); i += 4)
        {
            uint32_t c;
            std::memcpy(&c, t.data() + i, 4);
            check(c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
        }
        if (validUtf8(data, size))
            check(encodeUtf8(t) == std::string(reinterpret_cast<const char*>(data), size));
    }

    // The bytes as a file name, whole characters of four bytes.
    const int32_t nameBytes = static_cast<int32_t>(size / 4 * 4);
    auto split = host.create(bundle, L"QW_SplitFName");
    split->set(0, data, nameBytes);
    if (const auto* part = split->lastTransmit(2))
        for (size_t i = 0; i + 4 <= part->data.size(); i += 4)
        {
            uint32_t c;
            std::memcpy(&c, part->data.data() + i, 4);
            check(c != '/');
        }
    auto append = host.create(bundle, L"QW_AppendFName");
    append->set(1, data, nameBytes);
    const auto* joined = append->lastTransmit(2);
    check(nameBytes == 0 ? joined == nullptr : joined && joined->data == std::vector<uint8_t>(data, data + nameBytes));
    return 0;
}
