// The text entry of the built panelkit bundle, given what a user types: pin
// texts of any bytes, edits accepted with any bytes, context-menu lists, in
// any order and under any echo. What it draws is its text in UTF-8 (empty
// when the text has none); an accepted edit is sent as the typed bytes read
// as UTF-8 (U+FFFD for what is not), and valid UTF-8 without a NUL comes
// back byte for byte in the next edit box; menus hold at most 10000 items.
//
// Input: a first byte (echo mode, multi-line, editable), then operations,
// each one byte, a length byte and that many bytes:
//   0  the text pin        1  the style pin       2  the text colour pin
//   3  a click, the edit box answered with the bytes (cancelled when empty)
//   4  the context-menu items, then the menu asked for
//   5  layout and drawing at a width and height from the first two bytes
#include "bundle.h"
#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "mp_sdk_common.h"
#include "ui_host.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// UTF-8 of a wide text; empty when a character has none.
std::string exactUtf8(const std::wstring& w)
{
    for (wchar_t c : w)
        if ((c >= 0xD800 && c <= 0xDFFF) || static_cast<uint32_t>(c) > 0x10FFFF)
            return {};
    return gmpi_sdk::toUtf8(w);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    if (size < 1)
        return 0;
    qwhost::Dialogs dialogs;
    qwhost::GuiHost host;
    host.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
    host.echo = data[0] % 3 == 0 ? qwhost::Echo::Inside : data[0] % 3 == 1 ? qwhost::Echo::Later : qwhost::Echo::None;
    qwhost::DrawingDesk desk(host);
    desk.dialogs = &dialogs;
    qwhost::DrawnView view(desk, bundle, L"QW_TextEntry");
    qwhost::GuiModule& m = view.module();
    const int textPin = m.pin("Text");
    m.setBool(m.pin("Multi-line"), (data[0] & 4) != 0);
    m.setBool(m.pin("Editable"), (data[0] & 8) == 0);
    std::wstring text; // what the host holds for the text pin
    auto* f = desk.factory();

    auto draw = [&](int w, int h) {
        view.arrange({0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h)});
        f->calls().clear();
        f->setRecording(true);
        view.render(32, 32);
        f->setRecording(false);
        // The stand-in records the text up to a NUL and without CRs.
        const std::string utf8 = exactUtf8(text);
        std::string shown = utf8.substr(0, utf8.find('\0'));
        shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
        for (auto& c : f->calls())
            if (c.op == "DrawTextU")
                check(c.values.back() == static_cast<double>(utf8.size()) && c.text == shown);
    };

    size_t at = 1;
    int steps = 0;
    while (at + 2 <= size && ++steps < 64)
    {
        const uint8_t op = data[at], len = data[at + 1];
        at += 2;
        const std::string bytes(reinterpret_cast<const char*>(data + at), std::min<size_t>(len, size - at));
        at += bytes.size();
        const std::wstring wide = gmpi_sdk::fromUtf8(bytes);
        switch (op % 6)
        {
        case 0:
            text = wide;
            m.setText(textPin, wide);
            break;
        case 1:
            m.setText(m.pin("Style"), wide);
            break;
        case 2:
            m.setText(m.pin("Text Colour"), wide);
            break;
        case 3:
        {
            const size_t boxes = dialogs.textEdits.size();
            view.pointerDown(0x10, {5.0f, 5.0f});
            view.pointerUp(0x10, {5.0f, 5.0f});
            m.deliverEchoes();
            if (dialogs.textEdits.size() == boxes)
                break; // not editable, or no style
            qwhost::PlatformText* box = dialogs.lastTextEdit();
            const std::string utf8 = exactUtf8(text);
            check(box->text == utf8.substr(0, utf8.find('\0')));
            const size_t sent = m.transmits.size();
            if (bytes.empty())
                box->cancel();
            else
                box->enter(bytes);
            m.deliverEchoes();
            if (!bytes.empty())
            {
                if (wide != text)
                {
                    check(m.transmits.size() > sent && m.lastTransmit(textPin)->asText() == wide);
                    text = wide;
                }
                // The box takes a zero-terminated text: bytes after a NUL never reach it.
                if (gmpi_sdk::toUtf8(wide) == bytes && bytes.find('\0') == std::string::npos)
                {
                    view.pointerDown(0x10, {5.0f, 5.0f});
                    view.pointerUp(0x10, {5.0f, 5.0f});
                    check(dialogs.lastTextEdit()->text == bytes);
                    dialogs.lastTextEdit()->cancel();
                }
            }
            break;
        }
        case 4:
        {
            m.setText(m.pin("Menu Items"), wide);
            qwhost::ContextMenuSink sink;
            check(m.ui()->populateContextMenu(0, 0, &sink) == 0);
            check(sink.items.size() <= 10000 && sink.moduleReferences() == 0);
            break;
        }
        default:
            draw(bytes.size() > 0 ? static_cast<uint8_t>(bytes[0]) : 0,
                 bytes.size() > 1 ? static_cast<uint8_t>(bytes[1]) : 0);
            break;
        }
        m.deliverEchoes();
    }
    draw(64, 24);
    return 0;
}
