// The shape editor of the built shapekit bundle, driven by arbitrary pin
// values, pointer events and layouts through the host stand-in. Every shape
// it sends is a well-formed shape blob whose nodes stay finite when the
// shapes it was given had finite nodes.
//
// Input: operations, each one byte then its operands:
//   0  a pin value: pin byte, size byte (0 to 64), then that many bytes
//   1  a shape blob on pin 0: count byte, then count pairs of 32-bit floats
//   2  a pointer event: kind byte (down, move, up), flags byte, x and y floats
//   3  the clock moves on: a byte of 10 ms steps
//   4  layout and drawing: width and height floats (drawn into 64 x 64; a
//      layout above 4 million pixels is skipped)
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "run_loop.h"
#include "ui_host.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct Input
{
    const uint8_t* p;
    size_t n;
    bool take(void* out, size_t k)
    {
        if (n < k)
            return false;
        if (k) // an empty take may have no storage to copy into
            std::memcpy(out, p, k);
        p += k;
        n -= k;
        return true;
    }
};

void checkShapes(const qwhost::GuiModule& m, size_t from)
{
    for (size_t i = from; i < m.transmits.size(); ++i)
    {
        const auto& t = m.transmits[i];
        if (t.pin != 0)
            continue;
        check(t.data.size() >= 24 && t.data.size() <= 808 && t.data.size() % 8 == 0);
        for (size_t k = 8; k < t.data.size(); k += 4)
        {
            float v;
            std::memcpy(&v, t.data.data() + k, 4);
            check(std::isfinite(v));
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/shapekit.so");
    qwhost::RunLoop::useManualClock(100.0);
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, L"QW_ShapeEditor6");
    qwhost::GuiModule& m = view.module();
    view.layOutAndRender(64, 64);
    Input in{data, size};
    uint8_t op;
    int steps = 0;
    while (in.take(&op, 1) && ++steps < 200)
    {
        const size_t sent = m.transmits.size();
        switch (op % 5)
        {
        case 0:
        {
            uint8_t pin, len;
            if (!in.take(&pin, 1) || !in.take(&len, 1))
                break;
            std::vector<uint8_t> v(len % 65);
            if (!in.take(v.data(), v.size()))
                break;
            // Shapes come whole (operation 1); any other pin takes any bytes.
            m.set(1 + pin % (m.pinCount() - 1), v.data(), static_cast<int>(v.size()));
            break;
        }
        case 1:
        {
            uint8_t count;
            if (!in.take(&count, 1))
                break;
            std::vector<uint8_t> blob(8 + 8 * static_cast<size_t>(count % 101));
            const uint32_t magic = 0x53484150;
            const int32_t n = count % 101;
            std::memcpy(blob.data(), &magic, 4);
            std::memcpy(blob.data() + 4, &n, 4);
            if (!in.take(blob.data() + 8, blob.size() - 8))
                break;
            // Finite nodes in: the editor must keep them finite.
            for (size_t k = 8; k < blob.size(); k += 4)
            {
                float v;
                std::memcpy(&v, blob.data() + k, 4);
                if (!std::isfinite(v))
                    std::memset(blob.data() + k, 0, 4);
            }
            m.setBlob(0, blob);
            break;
        }
        case 2:
        {
            uint8_t kind, flags;
            float x, y;
            if (!in.take(&kind, 1) || !in.take(&flags, 1) || !in.take(&x, 4) || !in.take(&y, 4))
                break;
            const int32_t f = (flags & 1 ? 0x10 : 0) | (flags & 2 ? 0x20000 : 0);
            if (kind % 3 == 0)
                view.pointerDown(f, {x, y});
            else if (kind % 3 == 1)
                view.pointerMove(f, {x, y});
            else
                view.pointerUp(f, {x, y});
            break;
        }
        case 3:
        {
            uint8_t t;
            if (in.take(&t, 1))
                qwhost::RunLoop::current().advance(10.0 * t);
            break;
        }
        default:
        {
            float w, h;
            if (!in.take(&w, 4) || !in.take(&h, 4))
                break;
            // Layers are as large as the layout: keep each input's run short by
            // leaving layouts above 4 million pixels to the unit tests.
            if (std::isfinite(w) && std::isfinite(h) && w > 0.0f && h > 0.0f && double(w) * h > 4.0e6)
                break;
            view.arrange({0.0f, 0.0f, w, h});
            auto* f = desk.factory();
            f->calls().clear();
            f->setRecording(true);
            view.render(64, 64);
            f->setRecording(false);
            break;
        }
        }
        m.deliverEchoes();
        checkShapes(m, sent);
    }
    return 0;
}
