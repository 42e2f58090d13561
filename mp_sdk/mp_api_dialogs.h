// Binary interface of the host's native widgets that user-interface modules
// open: pop-up menu, one-line text edit, OK/Cancel dialog and file dialog,
// the completion callback through which the host answers later, and the
// sink that collects a module's context-menu items.
//
// As in mp_api.h, the order of the virtual functions is the slot order the
// host calls (0-2 queryInterface, addRef, release) and must never change.
// All texts are UTF-8, zero-terminated.
#pragma once

#include "mp_api.h"

#include <cstdint>

namespace gmpi_gui
{
// The host's answer, on the user-interface thread: 0 means the user chose an
// item, confirmed the text, pressed OK or picked a file; other values cancel.
class ICompletionCallback : public gmpi::IMpUnknown
{
public:
    virtual int32_t OnComplete(int32_t result) = 0; // 3
};

// Item flags are the host's to interpret.
class IMpPlatformMenu : public gmpi::IMpUnknown
{
public:
    virtual int32_t AddItem(const char* text, int32_t id, int32_t flags) = 0; // 3
    // Id of the item the user chose, valid after a completion with 0.
    virtual int32_t GetSelectedId(int32_t& returnId) = 0;                        // 4
    virtual int32_t ShowAsync(ICompletionCallback* returnCompletionHandler) = 0; // 5
};

// Text-edit alignment: horizontal in the low 16 bits, the second field
// (vertical alignment; bit 0 asks for several lines) shifted left by 16.
enum TextEditAlignment : int32_t
{
    MP_TEXT_ALIGN_LEFT = 0,
    MP_TEXT_ALIGN_RIGHT = 1,
    MP_TEXT_ALIGN_CENTER = 2,
    MP_TEXT_EDIT_MULTILINE = 1 << 16,
};

class IMpPlatformText : public gmpi::IMpUnknown
{
public:
    virtual int32_t SetText(const char* text) = 0;                               // 3
    virtual int32_t GetText(gmpi::IString* returnString) = 0;                    // 4
    virtual int32_t ShowAsync(ICompletionCallback* returnCompletionHandler) = 0; // 5
    virtual int32_t SetAlignment(int32_t alignment) = 0;                         // 6
    virtual int32_t SetTextSize(float height) = 0;                               // 7
};

class IMpOkCancelDialog : public gmpi::IMpUnknown
{
public:
    // Two texts, in this order; which one is the title is the host's choice.
    virtual int32_t SetFirstText(const char* text) = 0;                          // 3
    virtual int32_t SetSecondText(const char* text) = 0;                         // 4
    virtual int32_t ShowAsync(ICompletionCallback* returnCompletionHandler) = 0; // 5
};

// Created with a dialog type that is the host's to interpret.
class IMpFileDialog : public gmpi::IMpUnknown
{
public:
    virtual int32_t AddExtension(const char* extension, const char* description) = 0; // 3
    virtual int32_t SetInitialFilename(const char* text) = 0;                         // 4
    virtual int32_t SetInitialDirectory(const char* text) = 0;                        // 5
    virtual int32_t ShowAsync(ICompletionCallback* returnCompletionHandler) = 0;      // 6
    virtual int32_t GetSelectedFilename(gmpi::IString* returnString) = 0;             // 7
};
// What the host hands to populateContextMenu answers MP_IID_CONTEXT_ITEMS_SINK
// with this interface; the host later calls onContextMenu with the chosen id.
class IMpContextItemSink : public gmpi::IMpUnknown
{
public:
    virtual int32_t AddItem(const char* text, int32_t id, int32_t flags) = 0; // 3
};
} // namespace gmpi_gui
