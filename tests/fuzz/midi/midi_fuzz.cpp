// The voice splitter and the MIDI curves of the built signalkit bundle, driven
// by arbitrary message sequences and pin values through the host stand-in.
// Every message the splitter sends is 3 bytes with a status byte and data
// bytes below 128; the curves rebuild note and pressure messages as 3 or 2
// such bytes (or drop them when malformed) and pass every other message as
// it came.
//
// Input: one byte of set-up (number of splitter outputs), then operations:
//   0-3  a MIDI message: a size byte (0 to 8) and that many bytes
//   4    a splitter pin: which, then a 32-bit value
//   5    a curve's shape: curve, length byte, then bytes (or, with the top
//        bit of the length, a well-formed shape of nodes from the input)
//   6    a curve's type or exponent: curve and which, then a 32-bit value
//   7    run a few samples
#include "bundle.h"
#include "processing_host.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct Reader
{
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(byte()) << (8 * i);
        return v;
    }
    Bytes bytes(size_t n)
    {
        Bytes b;
        for (size_t i = 0; i < n && more(); ++i)
            b.push_back(byte());
        return b;
    }
};

std::shared_ptr<qwhost::Bundle> signalkit()
{
    static auto bundle = qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so");
    return bundle;
}

// What the curves must send for one message in: nothing, or a message
// checked by `ok`.
void checkCurves(const Bytes& in, const std::vector<qwhost::PinUpdate>& out)
{
    const int kind = in.empty() ? -1 : in[0] >> 4;
    auto data = [&](size_t n) {
        if (in.size() < n + 1)
            return false;
        for (size_t i = 1; i <= n; ++i)
            if (in[i] >= 0x80)
                return false;
        return true;
    };
    if (kind == 0x8 || kind == 0x9 || kind == 0xA)
    {
        if (!data(2))
        {
            check(out.empty());
            return;
        }
        check(out.size() == 1 && out[0].data.size() == 3);
        const Bytes& m = out[0].data;
        check(m[0] == in[0] && m[1] == in[1] && m[2] < 0x80);
        // Only a note-on of velocity 0 keeps 0; every table entry is 1 to 127.
        check((kind == 0x9 && in[2] == 0) ? m[2] == 0 : m[2] >= 1);
        return;
    }
    if (kind == 0xD)
    {
        if (!data(1))
        {
            check(out.empty());
            return;
        }
        check(out.size() == 1 && out[0].data.size() == 2);
        check(out[0].data[0] == in[0] && out[0].data[1] >= 1 && out[0].data[1] < 0x80);
        return;
    }
    check(out.size() == 1 && out[0].data == in);
}

void checkSplitter(const std::vector<qwhost::PinUpdate>& out)
{
    for (auto& u : out)
    {
        check(u.data.size() == 3);
        check(u.data[0] >= 0x80 && u.data[1] < 0x80 && u.data[2] < 0x80);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader r{data, size};
    qwhost::ProcessingHost host;
    host.blockSize = 64;
    host.autoDuplicateCount = r.byte() % 5;
    auto splitter = host.create(signalkit(), L"QW_MIDIVoiceSplitter");
    auto curves = host.create(signalkit(), L"QW_MIDICurves");
    const int splitIn = splitter->pin("MIDI In");
    const int curvesIn = curves->pin("MIDI In");
    splitter->startGraph(0);
    curves->startGraph(0);
    splitter->run(1);
    curves->run(1);

    for (int ops = 0; r.more() && ops < 4096; ++ops)
    {
        switch (r.byte() % 8)
        {
        case 0:
        case 1:
        case 2:
        case 3:
        {
            const Bytes msg = r.bytes(r.byte() % 9);
            splitter->sendMidi(splitIn, msg);
            curves->sendMidi(curvesIn, msg);
            const size_t splitBefore = splitter->updates.size();
            const size_t curvesBefore = curves->updates.size();
            splitter->run(1);
            curves->run(1);
            checkSplitter({splitter->updates.begin() + static_cast<long>(splitBefore), splitter->updates.end()});
            checkCurves(msg, {curves->updates.begin() + static_cast<long>(curvesBefore), curves->updates.end()});
            break;
        }
        case 4:
        {
            const int which = r.byte() % 4;
            const uint32_t v = r.u32();
            if (which == 0)
                splitter->setInt(splitter->pin("Voices"), static_cast<int32_t>(v));
            else
                splitter->setBool(1 + which, v & 1);
            break;
        }
        case 5:
        {
            const int curve = 1 + 3 * (r.byte() % 4);
            const uint8_t length = r.byte();
            Bytes blob;
            if (length & 0x80)
            {
                const uint32_t count = 2 + (length & 0x7F) % 99;
                blob.resize(8 + count * 8);
                const uint32_t magic = 0x53484150;
                std::memcpy(blob.data(), &magic, 4);
                std::memcpy(blob.data() + 4, &count, 4);
                const Bytes nodes = r.bytes(count * 8);
                if (!nodes.empty())
                    std::memcpy(blob.data() + 8, nodes.data(), nodes.size());
            }
            else
                blob = r.bytes(static_cast<size_t>(length) * 8 + r.byte() % 8);
            curves->setBlob(curve, blob);
            break;
        }
        case 6:
        {
            const int curve = 1 + 3 * (r.byte() % 4);
            const bool exponent = r.byte() & 1;
            const uint32_t v = r.u32();
            if (exponent)
            {
                float f;
                std::memcpy(&f, &v, 4);
                curves->setFloat(curve + 2, f);
            }
            else
                curves->setInt(curve + 1, static_cast<int32_t>(v));
            break;
        }
        default:
        {
            const int n = 1 + r.byte() % 64;
            const size_t splitBefore = splitter->updates.size();
            splitter->run(n);
            curves->run(n);
            checkSplitter({splitter->updates.begin() + static_cast<long>(splitBefore), splitter->updates.end()});
            break;
        }
        }
    }
    return 0;
}
