// User-interface half of a module: the pin table, the pins of every value
// type with their handlers, the module bases and the host's resource and file
// services.
//
// A value from the host takes two calls: setPin stores it in the pin (no
// handler runs, nothing is sent back), then notifyPin runs the pin's handler,
// also when the value did not change. A module's own assignment to a pin is
// sent to the host only when it differs from the stored value.
#pragma once

#include "echo_record.h"
#include "mp_api_gui.h"
#include "mp_pin_values.h"
#include "mp_sdk_common.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>

class GuiPinOwner;

// Handler of a pin: a member function of the module without arguments.
using MpGuiBaseMemberPtr = void (gmpi::IMpUserInterface2::*)();
using MpGuiBaseMemberIndexPtr = void (gmpi::IMpUserInterface2::*)(int32_t voice);

// ---------------------------------------------------------------------------
// Pin handlers

class IGuiPinCallbackImpl
{
public:
    virtual ~IGuiPinCallbackImpl() = default;
    virtual void operator()(int32_t voice) = 0;
};

// Calls the module's handler; the voice is not passed.
template <class I> class IGuiPinCallback : public IGuiPinCallbackImpl
{
public:
    IGuiPinCallback(I* module, void (I::*handler)()) : module_(module), handler_(handler) {}
    void operator()(int32_t) override
    {
        if (module_ && handler_)
            (module_->*handler_)();
    }

private:
    I* module_;
    void (I::*handler_)();
};

// Calls the module's handler with the voice.
template <class I> class IGuiPinCallbackIndexed : public IGuiPinCallbackImpl
{
public:
    IGuiPinCallbackIndexed(I* module, void (I::*handler)(int32_t)) : module_(module), handler_(handler) {}
    void operator()(int32_t voice) override
    {
        if (module_ && handler_)
            (module_->*handler_)(voice);
    }

private:
    I* module_;
    void (I::*handler_)(int32_t);
};

// ---------------------------------------------------------------------------
// Pins

class MpGuiPinBase
{
public:
    MpGuiPinBase() = default;
    MpGuiPinBase(const MpGuiPinBase&) = delete;
    MpGuiPinBase& operator=(const MpGuiPinBase&) = delete;
    virtual ~MpGuiPinBase() { delete handler_; }

    // Takes a value from the host; true when the stored value was replaced.
    // Never sends anything and never runs the handler.
    virtual bool set(int32_t voice, int32_t size, const void* data) = 0;
    virtual int32_t getDatatype() const = 0;
    virtual int32_t rawSize() const = 0;
    virtual const void* rawData() const = 0;
    virtual MpGuiBaseMemberPtr getDefaultEventHandler() { return nullptr; }

    // Registration by the module's base: the pin takes over the handler object.
    void initialize(GuiPinOwner* owner, int32_t id, IGuiPinCallbackImpl* handler);
    int32_t getId() const { return id_; }
    GuiPinOwner* getOwner() const { return owner_; }
    bool hasHandler() const { return handler_ != nullptr; }
    void runHandler(int32_t voice);

protected:
    // Sends the stored value to the host on voice 0.
    void transmit();
    // True when the host's bytes equal the stored value's bytes.
    bool sameBytes(int32_t size, const void* data) const;

    int32_t id_ = -1;
    GuiPinOwner* owner_ = nullptr;
    IGuiPinCallbackImpl* handler_ = nullptr;
};

template <typename T> struct MpGuiPinDatatype;
template <> struct MpGuiPinDatatype<int>
{
    static constexpr int32_t value = gmpi::MP_INT32;
};
template <> struct MpGuiPinDatatype<float>
{
    static constexpr int32_t value = gmpi::MP_FLOAT32;
};
template <> struct MpGuiPinDatatype<bool>
{
    static constexpr int32_t value = gmpi::MP_BOOL;
};
template <> struct MpGuiPinDatatype<std::wstring>
{
    static constexpr int32_t value = gmpi::MP_STRING;
};
template <> struct MpGuiPinDatatype<MpBlob>
{
    static constexpr int32_t value = gmpi::MP_BLOB;
};

// One value of type T (int, float, bool, std::wstring, MpBlob).
template <typename T> class MpGuiPin : public MpGuiPinBase
{
public:
    // The host's bytes are compared with the stored bytes: floats bit for bit
    // (0.0 and -0.0 differ, a NaN equals the same NaN); a bool given as four
    // bytes always counts as changed.
    bool set(int32_t, int32_t size, const void* data) override
    {
        if (sameBytes(size, data))
            return false;
        MpPinValue<T>::set(value_, size, data);
        return true;
    }
    int32_t getDatatype() const override { return MpGuiPinDatatype<T>::value; }
    int32_t rawSize() const override { return MpPinValue<T>::size(value_); }
    const void* rawData() const override { return MpPinValue<T>::data(value_); }

    // Stores and sends a value that differs from the stored one. Floats
    // compare as numbers: 0.0 equals -0.0 and a NaN is always sent.
    const T& operator=(const T& value)
    {
        if (!MpPinValue<T>::equal(value, value_))
        {
            value_ = value;
            transmit();
        }
        return value_;
    }
    const T& operator=(const MpGuiPin& other) { return *this = other.value_; }

    const T& getValue() const { return value_; }
    operator const T&() const { return value_; }

protected:
    T value_{};
};

// Wide-text pin that also takes and gives UTF-8. Invalid UTF-8 bytes and
// characters UTF-8 cannot encode become U+FFFD; nothing throws.
class StringGuiPin : public MpGuiPin<std::wstring>
{
public:
    using MpGuiPin<std::wstring>::operator=;
    const std::wstring& operator=(const StringGuiPin& other) { return *this = other.value_; }
    const std::string& operator=(const std::string& text)
    {
        *this = gmpi_sdk::fromUtf8(text);
        return text;
    }
    operator std::string() const { return gmpi_sdk::toUtf8(value_); }
};

// ---------------------------------------------------------------------------
// Pin table

class GuiPinOwner
{
public:
    GuiPinOwner() = default;
    GuiPinOwner(const GuiPinOwner&) = delete;
    GuiPinOwner& operator=(const GuiPinOwner&) = delete;
    virtual ~GuiPinOwner() = default;
    virtual int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) = 0;
    // Lets a test host compare the pins a module built with the host's own
    // description of it: the index-th pin in id order; -1 past the last.
    virtual int32_t describePin(int32_t index, int32_t& id, int32_t& datatype);

    // Stores a host value; no handler runs. -1 for an id with no pin (a
    // module that expects its own echoes still tells whether it was one).
    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data);
    // Runs the pin's handler, changed or not, but not for the module's own
    // echo. -1 for an id with no pin.
    int32_t notifyPin(int32_t pinId, int32_t voice);
    // Stores a host value and runs the handler only when the value changed
    // (and is not the module's own echo).
    int32_t setPin2(int32_t pinId, int32_t voice, int32_t size, const void* data);
    // Enters a pin unless its id is taken (the first pin of an id stays).
    void addPin(int32_t pinId, MpGuiPinBase& pin);
    MpGuiPinBase* getPin(int32_t pinId) const;

protected:
    // 0 for the first pin, else one more than the highest id.
    int32_t nextPinId() const;
    void registerPin(int32_t pinId, MpGuiPinBase& pin, IGuiPinCallbackImpl* handler);

    // From now on each value the module sends is expected back once, and its
    // echo is stored but runs no handler (echo_record.h).
    void expectOwnEchoes();
    // Whether the value the host last stored on a pin, registered or not, was
    // the module's own echo; always false without expectOwnEchoes.
    bool isOwnEcho(int32_t pinId) const { return echoes_ && echoes_->echoStored(pinId); }
    // Called by the bases for every value the module hands to the host.
    void recordSend(int32_t pinId, int32_t size, const void* data)
    {
        if (echoes_)
            echoes_->sent(pinId, size, data);
    }

    std::map<int32_t, MpGuiPinBase*> pins_;

private:
    std::unique_ptr<EchoRecord> echoes_;
};

// ---------------------------------------------------------------------------
// The host's resource and file services

class UiHost
{
public:
    UiHost() = default;
    UiHost(const UiHost&) = delete;
    UiHost& operator=(const UiHost&) = delete;
    ~UiHost();

    // Takes the host's two user-interface views (either may be missing).
    void setHost(gmpi::IMpUnknown* host);

    // Texts are UTF-8. Without the current host interface the results are empty.
    std::string RegisterResourceUri(const char* name, const char* type) const;
    std::string FindResourceU(const char* name, const char* type) const;
    // Null when the host opened nothing; otherwise holds one reference.
    gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> OpenUri(std::string uri) const;
    // Full path of a file name as the host finds it; empty without the first-generation host
    // and for a path longer than the host can hand back whole.
    std::wstring resolveFilename(std::wstring name) const;

    gmpi::IMpUserInterfaceHost* getLegacyHost() const { return legacyHost_; }
    gmpi::IMpUserInterfaceHost2* getHost2() const { return host2_; }

private:
    void release();

    gmpi::IMpUserInterfaceHost* legacyHost_ = nullptr;
    gmpi::IMpUserInterfaceHost2* host2_ = nullptr;
};

// ---------------------------------------------------------------------------
// Module bases

// Base of every user-interface module; the next layer supplies the reference
// count. The primary view has slots 0-13 (destructors at 11 and 12,
// pinTransmit at 13); a layer built on this base continues at slot 14, so
// this class declares no further virtual functions.
class MpGuiBase2 : public gmpi::IMpUserInterface2B, public GuiPinOwner
{
public:
    MpGuiBase2() = default;

    // Slots of the primary view, in this order.
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t initialize() override { return gmpi::MP_OK; }
    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        return GuiPinOwner::setPin(pinId, voice, size, data);
    }
    int32_t receiveMessageFromAudio(int32_t, int32_t, const void*) override { return gmpi::MP_UNHANDLED; }
    int32_t populateContextMenu(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_UNHANDLED; }
    int32_t onContextMenu(int32_t) override { return gmpi::MP_UNHANDLED; }
    int32_t getToolTip(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_UNHANDLED; }
    int32_t notifyPin(int32_t pinId, int32_t voice) override { return GuiPinOwner::notifyPin(pinId, voice); }
    virtual ~MpGuiBase2();
    // Hands a value of one of the module's pins to the host; stores nothing.
    // -1 when the host gave no user-interface host.
    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) override;

    // Pin registration, in pin order: the automatic id is 0 for the first pin,
    // else one more than the highest id so far.
    void initializePin(MpGuiPinBase& pin, MpGuiBaseMemberPtr handler = nullptr);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, MpGuiBaseMemberPtr handler = nullptr);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, MpGuiBaseMemberIndexPtr handler);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, std::nullptr_t)
    {
        initializePin(pinId, pin, MpGuiBaseMemberPtr{});
    }
    template <class D> void initializePin(MpGuiPinBase& pin, void (D::*handler)())
    {
        initializePin(pin, static_cast<MpGuiBaseMemberPtr>(handler));
    }
    template <class D> void initializePin(int32_t pinId, MpGuiPinBase& pin, void (D::*handler)())
    {
        initializePin(pinId, pin, static_cast<MpGuiBaseMemberPtr>(handler));
    }
    template <class D> void initializePin(int32_t pinId, MpGuiPinBase& pin, void (D::*handler)(int32_t))
    {
        initializePin(pinId, pin, static_cast<MpGuiBaseMemberIndexPtr>(handler));
    }

    gmpi::IMpUserInterfaceHost2* getHost() const { return host_; }
    const UiHost& getUiHost() const { return uiHost_; }
    // To the processing half; -1 without the user-interface host.
    int32_t sendMessageToAudio(int32_t id, int32_t size, const void* data);
    // Number of pins the host made for this module, auto-duplicated ones
    // included; -1 when the host gives no count.
    int32_t getHostPinCount() const;

protected:
    gmpi::IMpUserInterfaceHost2* host_ = nullptr;
    UiHost uiHost_;
};

// The object a creation function hands to the host.
inline gmpi::IMpUnknown* primaryUnknown(MpGuiBase2* module)
{
    return static_cast<gmpi::IMpUserInterface2B*>(module);
}

// Base of user-interface modules that draw nothing: counts its references.
class MpGuiInvisibleBase : public MpGuiBase2
{
public:
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;

protected:
    int32_t refCount_ = 1;
};

// Base of the first-generation user-interface interface (slots 0-8 of its
// view, destructors at 9 and 10, setHost at 11, pinTransmit at 12). The
// factory hands it the host; a host without the first-generation
// user-interface host is refused with the exception "host Interfaces not
// supported".
class MpGuiBase_base : public gmpi::IMpUserInterface,
                       public IoldSchoolInitialisation,
                       public gmpi::IMpLegacyInitialization,
                       public GuiPinOwner
{
public:
    MpGuiBase_base() = default;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    int32_t initialize() override { return gmpi::MP_OK; }
    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, void* data) override
    {
        return GuiPinOwner::setPin(pinId, voice, size, data);
    }
    int32_t notifyPin(int32_t pinId, int32_t voice) override { return GuiPinOwner::notifyPin(pinId, voice); }
    int32_t receiveMessageFromAudio(int32_t, int32_t, void*) override { return gmpi::MP_OK; }
    int32_t onCreateContextMenu() override { return gmpi::MP_OK; }
    int32_t onContextMenu(int32_t) override { return gmpi::MP_OK; }
    virtual ~MpGuiBase_base();
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) override;

    using LegacyMemberPtr = void (gmpi::IMpUserInterface::*)();
    using LegacyMemberIndexPtr = void (gmpi::IMpUserInterface::*)(int32_t voice);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, LegacyMemberPtr handler = nullptr);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, LegacyMemberIndexPtr handler);
    void initializePin(int32_t pinId, MpGuiPinBase& pin, std::nullptr_t)
    {
        initializePin(pinId, pin, LegacyMemberPtr{});
    }
    template <class D> void initializePin(int32_t pinId, MpGuiPinBase& pin, void (D::*handler)())
    {
        initializePin(pinId, pin, static_cast<LegacyMemberPtr>(handler));
    }
    template <class D> void initializePin(int32_t pinId, MpGuiPinBase& pin, void (D::*handler)(int32_t))
    {
        initializePin(pinId, pin, static_cast<LegacyMemberIndexPtr>(handler));
    }

    gmpi::IMpUserInterfaceHost* getHost() const { return legacyHost_; }
    const UiHost& getUiHost() const { return uiHost_; }

protected:
    int32_t refCount_ = 1;
    gmpi::IMpUserInterfaceHost* legacyHost_ = nullptr;
    UiHost uiHost_;
};

inline gmpi::IMpUnknown* primaryUnknown(MpGuiBase_base* module)
{
    return static_cast<gmpi::IMpUserInterface*>(module);
}
