// Binary interface between the host's user-interface side and the
// user-interface objects of a bundle (registration subtype 2).
//
// As in mp_api.h, every interface is an abstract class whose virtual functions
// stand in fixed slots (0-2 are queryInterface, addRef and release). Slots the
// system never calls are kept as unusedSlotN so that the called ones keep
// their positions; a host answers them with MP_NOSUPPORT.
#pragma once

#include "mp_api.h"

#include <cstdint>

namespace gmpi
{
// User-interface object, current generation. The host calls setHost, gives
// the first pin values, then initialize.
class IMpUserInterface2 : public IMpUnknown
{
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;                                               // 3
    virtual int32_t initialize() = 0;                                                            // 4
    virtual int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) = 0;    // 5
    virtual int32_t receiveMessageFromAudio(int32_t id, int32_t size, const void* data) = 0;     // 6
    virtual int32_t populateContextMenu(float x, float y, IMpUnknown* contextMenuItemsSink) = 0; // 7
    virtual int32_t onContextMenu(int32_t selection) = 0;                                        // 8
    virtual int32_t getToolTip(float x, float y, IMpUnknown* returnToolTipString) = 0;           // 9
};

// The same object with the host's notification after a value was set.
class IMpUserInterface2B : public IMpUserInterface2
{
public:
    virtual int32_t notifyPin(int32_t pinId, int32_t voice) = 0; // 10
};

// User-interface object of the first generation.
class IMpUserInterface : public IMpUnknown
{
public:
    virtual int32_t initialize() = 0;                                                   // 3
    virtual int32_t setPin(int32_t pinId, int32_t voice, int32_t size, void* data) = 0; // 4
    virtual int32_t notifyPin(int32_t pinId, int32_t voice) = 0;                        // 5
    virtual int32_t receiveMessageFromAudio(int32_t id, int32_t size, void* data) = 0;  // 6
    virtual int32_t onCreateContextMenu() = 0;                                          // 7
    virtual int32_t onContextMenu(int32_t selection) = 0;                               // 8
};

// The host's user-interface services, current generation (MP_IID_UI_HOST2).
class IMpUserInterfaceHost2 : public IMpUnknown
{
public:
    // Hands a pin value to the host, which passes it along the patch.
    virtual int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) = 0; // 3
    virtual int32_t unusedSlot4() = 0;
    virtual int32_t unusedSlot5() = 0;
    // Delivered to the processing half's receiveMessageFromGui.
    virtual int32_t sendMessageToAudio(int32_t id, int32_t size, const void* data) = 0; // 6
    virtual int32_t unusedSlot7() = 0;
    // Address under which the host keeps a resource the module uses (UTF-8).
    virtual int32_t RegisterResourceUri(const char* resourceName, const char* resourceType,
                                        IString* returnString) = 0; // 8
    // Opens a resource by its address; out is null or holds one reference.
    virtual int32_t OpenUri(const char* fullUri, IProtectedFile2** returnStream) = 0; // 9
    // Address of an existing resource of that name and type (UTF-8).
    virtual int32_t FindResourceU(const char* resourceName, const char* resourceType,
                                  IString* returnString) = 0; // 10
};

// The host's user-interface services, first generation (MP_IID_UI_HOST).
class IMpUserInterfaceHost : public IMpUnknown
{
public:
    virtual int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) = 0; // 3
    // Number of pins the host made for the module: fixed and auto-duplicated together.
    virtual int32_t getPinCount(int32_t& returnCount) = 0; // 4
    virtual int32_t unusedSlot5() = 0;
    virtual int32_t unusedSlot6() = 0;
    virtual int32_t unusedSlot7() = 0;
    virtual int32_t unusedSlot8() = 0;
    virtual int32_t unusedSlot9() = 0;
    // Full path of a file name, zero-terminated, at most maxChars characters with the zero.
    virtual int32_t resolveFilename(const wchar_t* shortFilename, int32_t maxChars,
                                    wchar_t* returnFullFilename) = 0; // 10
};
} // namespace gmpi
