// Binary interface between the modular host and the modules of a bundle.
//
// Every interface here is an abstract class whose virtual functions stand in a
// fixed order: a host compiled from the same tables calls our objects through
// these slots, so the order of declarations must never change.
#pragma once

#include <cstdint>
#include <cstring>

namespace gmpi
{

// Results of the interface calls (addRef and release answer the count instead).
enum ReturnCode : int32_t
{
    MP_OK = 0,
    MP_FAIL = -1,
    MP_NOSUPPORT = -2,
    MP_UNHANDLED = -1,
    MP_HANDLED = 0,
};

// 128-bit interface identifier. Data1..Data3 are little-endian in memory on
// every target we build for, which is the layout the host expects.
struct MpGuid
{
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(MpGuid) == 16, "identifier must be 16 bytes");

inline bool operator==(const MpGuid& a, const MpGuid& b)
{
    return std::memcmp(&a, &b, sizeof(MpGuid)) == 0;
}
inline bool operator!=(const MpGuid& a, const MpGuid& b)
{
    return !(a == b);
}

// clang-format off
inline constexpr MpGuid MP_IID_UNKNOWN = {0x00000000, 0x0000, 0xc000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr MpGuid MP_IID_FACTORY = {0x9a7904b7, 0x7f7f, 0x4d61, {0xb5, 0x58, 0xc1, 0xa6, 0x69, 0x5b, 0xb6, 0x38}};
inline constexpr MpGuid MP_IID_FACTORY2 = {0x91c3d2ee, 0xc701, 0x4f35, {0x91, 0xa6, 0x09, 0x4d, 0xc7, 0xe0, 0x59, 0x76}};
inline constexpr MpGuid MP_IID_PLUGIN = {0x2b0dfc7e, 0xa539, 0x49cd, {0xb7, 0x2d, 0x32, 0xff, 0x9d, 0xf0, 0xd9, 0xe4}};
inline constexpr MpGuid MP_IID_PLUGIN2 = {0x1e07e3e8, 0x8118, 0x457f, {0xa6, 0x3c, 0xd4, 0xf2, 0x82, 0xa0, 0xf5, 0x19}};
inline constexpr MpGuid MP_IID_LEGACY_INITIALIZATION = {0x0b471002, 0x5627, 0x4d46, {0x98, 0x4e, 0xc0, 0xdc, 0x79, 0xd0, 0xad, 0x35}};
inline constexpr MpGuid MP_IID_HOST = {0x4f1b532f, 0x3c46, 0x4927, {0xa4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5b, 0xe7}};
inline constexpr MpGuid MP_IID_PROCESSOR_HOST = {0x87ccd426, 0x71d7, 0x414e, {0xa9, 0xa6, 0x5a, 0xdc, 0xa8, 0x1c, 0x74, 0x20}};
inline constexpr MpGuid MP_IID_HOST_EMBEDDED_FILE_SUPPORT = {0xb486f4de, 0x9010, 0x4aa0, {0x9d, 0x0c, 0xdc, 0xd9, 0xf8, 0x87, 0x92, 0x57}};
inline constexpr MpGuid MP_IID_PROTECTED_FILE2 = {0xcea854b2, 0xe0b9, 0x4858, {0x92, 0x31, 0x77, 0xf2, 0x0e, 0xb0, 0x10, 0x20}};
inline constexpr MpGuid MP_IID_CLONE_ITERATOR = {0xd880ba72, 0x8c7e, 0x4d9e, {0x92, 0xba, 0x64, 0x42, 0x31, 0xe3, 0x73, 0xc1}};
inline constexpr MpGuid MP_IID_RETURNSTRING = {0xab8ffb21, 0x44ff, 0x42b7, {0x88, 0x85, 0x29, 0x43, 0x13, 0x99, 0xe7, 0xe4}};
inline constexpr MpGuid MP_IID_UI_HOST = {0x174f9ddc, 0x1850, 0x40db, {0xba, 0xf0, 0xe0, 0xb4, 0x1d, 0x07, 0x96, 0x45}};
inline constexpr MpGuid MP_IID_UI_HOST2 = {0xde009d92, 0xe281, 0x4f92, {0x99, 0x96, 0x20, 0x0f, 0x49, 0x69, 0x00, 0x28}};
inline constexpr MpGuid MP_IID_GUI_PLUGIN = {0xcacb3203, 0x4a57, 0x4209, {0x9e, 0x00, 0x0c, 0x4b, 0x95, 0x04, 0x57, 0xf6}};
inline constexpr MpGuid MP_IID_GUI_PLUGIN2 = {0x9cd06775, 0xf5c2, 0x4321, {0x81, 0x2d, 0x09, 0x58, 0x15, 0x32, 0x94, 0xb8}};
inline constexpr MpGuid MP_IID_GUI_PLUGIN2B = {0x21b0ec11, 0x6b66, 0x4b72, {0x92, 0x8e, 0x77, 0xe9, 0x3a, 0x31, 0xa6, 0x28}};
inline constexpr MpGuid MP_IID_CONTEXT_ITEMS_SINK = {0xbc152e7e, 0x7fb8, 0x4921, {0x84, 0xee, 0xbe, 0xd7, 0xcf, 0xd9, 0xa8, 0x97}};
inline constexpr MpGuid MP_IID_GRAPHICS_HOST = {0xe394af51, 0xc4d0, 0x4885, {0x84, 0xf1, 0x96, 0x3c, 0xa8, 0x18, 0x29, 0x64}};
inline constexpr MpGuid MP_IID_GRAPHICS_HOST_BASE = {0xe4717ea4, 0xca6d, 0x4fae, {0x9d, 0x35, 0xba, 0x95, 0xeb, 0xaa, 0xea, 0x2b}};
inline constexpr MpGuid MP_IID_COMPLETION_CALLBACK = {0x709582ba, 0xaf65, 0x43e6, {0xa2, 0x4c, 0xab, 0x05, 0xf8, 0xd6, 0x98, 0x0b}};
inline constexpr MpGuid MP_IID_GRAPHICS_MPGUI = {0x4540c6ee, 0x98ab, 0x4c79, {0xb8, 0x57, 0x66, 0xae, 0x64, 0x24, 0x91, 0x25}};
inline constexpr MpGuid MP_IID_GRAPHICS_MPGUI2 = {0x6aef51b9, 0xc92a, 0x472b, {0xa5, 0x3e, 0x4a, 0x47, 0x6d, 0xf8, 0x5c, 0x85}};
inline constexpr MpGuid MP_IID_GRAPHICS_MPGUI3 = {0xce4448e5, 0x5dbc, 0x426a, {0xa9, 0x63, 0xe8, 0xce, 0x0e, 0x2c, 0x25, 0x33}};
inline constexpr MpGuid MP_IID_GRAPHICS_MPGUI4 = {0xd5a0a608, 0x97f7, 0x4ffa, {0x91, 0x62, 0x06, 0x0e, 0xe1, 0x97, 0x60, 0xbf}};
inline constexpr MpGuid MP_IID_DEVICECONTEXT_MPGUI = {0xa1d9751d, 0x0c43, 0x4f57, {0x89, 0x58, 0xe0, 0xbc, 0xe3, 0x59, 0xb2, 0xfd}};
inline constexpr MpGuid MP_IID_TEXTFORMAT_MPGUI = {0xed903255, 0x3fe0, 0x4ce4, {0x8c, 0xd1, 0x97, 0xd7, 0x2d, 0x51, 0xb7, 0xcb}};
inline constexpr MpGuid MP_IID_FACTORY2_MPGUI = {0x61568e7f, 0x5256, 0x49c6, {0x95, 0xe6, 0x10, 0x32, 0x7e, 0xb3, 0x3e, 0xc4}};
// clang-format on

// Registration subtypes.
enum MpSubType : int32_t
{
    MP_SUB_TYPE_AUDIO = 0,
    MP_SUB_TYPE_GUI = 1, // never registered by this system
    MP_SUB_TYPE_GUI2 = 2,
};

// Pin datatype codes.
enum PinDatatype : int32_t
{
    MP_ENUM = 0,
    MP_STRING = 1,
    MP_MIDI = 2,
    MP_BOOL = 4,
    MP_AUDIO = 5,
    MP_FLOAT32 = 6,
    MP_INT32 = 8,
    MP_BLOB = 10,
};

enum PinDirection : int32_t
{
    MP_IN = 0,
    MP_OUT = 1,
};

// Event types of a processing block.
enum EventType : int32_t
{
    EVENT_PIN_SET = 100,
    EVENT_PIN_STREAMING_START = 101,
    EVENT_PIN_STREAMING_STOP = 102,
    EVENT_MIDI = 103,
    EVENT_GRAPH_START = 104,
};

// One time-stamped event of a block. For pin and MIDI events parm1 is the pin
// id and parm2 the data size; the data lies in extraData when that is not
// null, else inline in the eight bytes of parm3 and parm4.
struct MpEvent
{
    int32_t timeDelta;
    int32_t eventType;
    int32_t parm1;
    int32_t parm2;
    int32_t parm3;
    int32_t parm4;
    char* extraData;
    MpEvent* next;
};

class IMpUnknown
{
public:
    virtual int32_t queryInterface(const MpGuid& iid, void** returnInterface) = 0;
    virtual int32_t addRef() = 0;
    virtual int32_t release() = 0;
};

class IString : public IMpUnknown
{
public:
    virtual int32_t setData(const char* data, int32_t size) = 0;
    virtual int32_t getSize() = 0;
    virtual const char* getData() = 0;
};

class IMpFactory : public IMpUnknown
{
public:
    virtual int32_t createInstance(const wchar_t* uniqueId, int32_t subType, IMpUnknown* host,
                                   void** returnInterface) = 0;
    virtual int32_t getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars,
                                      wchar_t* returnCompilerInformation) = 0;
};

class IMpFactory2 : public IMpFactory
{
public:
    virtual int32_t createInstance2(const wchar_t* uniqueId, int32_t subType, void** returnInterface) = 0;
};

// Processing object, older primary view.
class IMpPlugin : public IMpUnknown
{
public:
    virtual int32_t open() = 0;
    virtual int32_t setBuffer(int32_t pinId, float* buffer) = 0;
    virtual void process(int32_t sampleFrames, MpEvent* events) = 0;
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) = 0;
};

class IMpPlugin2 : public IMpUnknown
{
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;
    virtual int32_t open() = 0;
    virtual int32_t setBuffer(int32_t pinId, float* buffer) = 0;
    virtual void process(int32_t sampleFrames, const MpEvent* events) = 0;
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, const void* messageData) = 0;
};

// Objects that take their host right after construction (the factory calls it).
class IMpLegacyInitialization : public IMpUnknown
{
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;
};

// File opened by the host for reading.
class IProtectedFile2 : public IMpUnknown
{
public:
    virtual int32_t read(char* buffer, int64_t size) = 0;
    virtual int32_t close() = 0;
    virtual int32_t getSize(int64_t& returnValue) = 0;
};

// Host's list of the pins of one module instance, in pin order.
class IMpPinIterator : public IMpUnknown
{
public:
    virtual int32_t getCount(int32_t& returnValue) = 0;
    virtual int32_t first() = 0;
    virtual int32_t next() = 0;
    virtual int32_t getUniqueId(int32_t& returnValue) = 0;
    virtual int32_t getDirection(int32_t& returnValue) = 0;
    virtual int32_t getDatatype(int32_t& returnValue) = 0;
};

// Walks the voice clones of a polyphonic module.
class IMpCloneIterator : public IMpUnknown
{
public:
    virtual int32_t first() = 0;
    virtual int32_t next(IMpUnknown** returnInterface) = 0;
};

// Host services of a processing object. Slots the system never calls are
// kept so that the called ones stay at their positions.
class IMpHost : public IMpUnknown
{
public:
    virtual int32_t setPin(int32_t blockRelativeTimestamp, int32_t pinId, int32_t size, const void* data) = 0;
    virtual int32_t setPinStreaming(int32_t blockRelativeTimestamp, int32_t pinId, bool isStreaming) = 0;
    virtual int32_t sleep() = 0;
    virtual int32_t sendMessageToGui(int32_t id, int32_t size, const void* messageData) = 0;
    virtual int32_t getBlockSize(int32_t& returnValue) = 0;
    virtual int32_t getSampleRate(float& returnValue) = 0;
    virtual int32_t unusedSlot9() = 0;
    virtual int32_t unusedSlot10() = 0;
    virtual int32_t unusedSlot11() = 0;
    virtual int32_t unusedSlot12() = 0;
    virtual int32_t createPinIterator(IMpPinIterator** returnInterface) = 0;
    virtual int32_t unusedSlot14() = 0;
    virtual int32_t createCloneIterator(IMpUnknown** returnInterface) = 0;
    virtual int32_t allocateSharedMemory(const wchar_t* name, void** returnPointer, float sampleRate, int32_t size,
                                         int32_t& returnNeedInitialise) = 0;
    virtual int32_t resolveFilename(const wchar_t* shortFilename, int32_t maxChars, wchar_t* returnFullFilename) = 0;
};

class IMpProcessorHost : public IMpUnknown
{
public:
    virtual int32_t unusedSlot3() = 0;
    virtual int32_t unusedSlot4() = 0;
    virtual int32_t setLatency(int32_t latencySamples) = 0;
};

// File names and files embedded in the host's project.
class IEmbeddedFileSupport : public IMpUnknown
{
public:
    virtual int32_t resolveFilename(const char* fileName, IString* returnFullUri) = 0;
    virtual int32_t openUri(const char* fullUri, IMpUnknown** returnStream) = 0;
};

} // namespace gmpi

// Older initialisation view of processing objects: setHost alone, no counting.
class IoldSchoolInitialisation
{
public:
    virtual int32_t setHost(gmpi::IMpUnknown* host) = 0;
};
