#include "mp_sdk_gui.h"

#include <cstring>
#include <iterator>
#include <vector>

// ---------------------------------------------------------------------------
// Pins

void MpGuiPinBase::initialize(GuiPinOwner* owner, int32_t id, IGuiPinCallbackImpl* handler)
{
    if (handler_ != handler)
        delete handler_;
    owner_ = owner;
    id_ = id;
    handler_ = handler;
}

void MpGuiPinBase::runHandler(int32_t voice)
{
    if (handler_)
        (*handler_)(voice);
}

void MpGuiPinBase::transmit()
{
    if (owner_)
        owner_->pinTransmit(id_, rawSize(), rawData(), 0);
}

bool MpGuiPinBase::sameBytes(int32_t size, const void* data) const
{
    if (!data || size < 0)
        size = 0;
    if (size != rawSize())
        return false;
    return size == 0 || std::memcmp(data, rawData(), static_cast<size_t>(size)) == 0;
}

// ---------------------------------------------------------------------------
// Pin table

int32_t GuiPinOwner::describePin(int32_t index, int32_t& id, int32_t& datatype)
{
    if (index < 0 || static_cast<size_t>(index) >= pins_.size())
        return gmpi::MP_FAIL;
    auto it = std::next(pins_.begin(), index);
    id = it->first;
    datatype = it->second->getDatatype();
    return gmpi::MP_OK;
}

int32_t GuiPinOwner::setPin(int32_t pinId, int32_t voice, int32_t size, const void* data)
{
    if (echoes_)
        echoes_->arrived(pinId, size, data);
    MpGuiPinBase* pin = getPin(pinId);
    if (!pin)
        return gmpi::MP_FAIL;
    pin->set(voice, size, data);
    return gmpi::MP_OK;
}

int32_t GuiPinOwner::notifyPin(int32_t pinId, int32_t voice)
{
    const bool echo = echoes_ && echoes_->takeEcho(pinId);
    MpGuiPinBase* pin = getPin(pinId);
    if (!pin)
        return gmpi::MP_FAIL;
    if (!echo)
        pin->runHandler(voice);
    return gmpi::MP_OK;
}

int32_t GuiPinOwner::setPin2(int32_t pinId, int32_t voice, int32_t size, const void* data)
{
    const bool echo = echoes_ && echoes_->arrived(pinId, size, data) && echoes_->takeEcho(pinId);
    MpGuiPinBase* pin = getPin(pinId);
    if (!pin)
        return gmpi::MP_FAIL;
    if (pin->set(voice, size, data) && !echo)
        pin->runHandler(voice);
    return gmpi::MP_OK;
}

void GuiPinOwner::expectOwnEchoes()
{
    if (!echoes_)
        echoes_ = std::make_unique<EchoRecord>();
}

void GuiPinOwner::addPin(int32_t pinId, MpGuiPinBase& pin)
{
    pins_.emplace(pinId, &pin); // the first pin of an id stays
}

MpGuiPinBase* GuiPinOwner::getPin(int32_t pinId) const
{
    auto it = pins_.find(pinId);
    return it == pins_.end() ? nullptr : it->second;
}

int32_t GuiPinOwner::nextPinId() const
{
    return pins_.empty() ? 0 : pins_.rbegin()->first + 1;
}

void GuiPinOwner::registerPin(int32_t pinId, MpGuiPinBase& pin, IGuiPinCallbackImpl* handler)
{
    pin.initialize(this, pinId, handler);
    addPin(pinId, pin);
}

// ---------------------------------------------------------------------------
// UiHost

UiHost::~UiHost()
{
    release();
}

void UiHost::release()
{
    if (legacyHost_)
        legacyHost_->release();
    if (host2_)
        host2_->release();
    legacyHost_ = nullptr;
    host2_ = nullptr;
}

void UiHost::setHost(gmpi::IMpUnknown* host)
{
    release();
    if (!host)
        return;
    host->queryInterface(gmpi::MP_IID_UI_HOST, reinterpret_cast<void**>(&legacyHost_));
    host->queryInterface(gmpi::MP_IID_UI_HOST2, reinterpret_cast<void**>(&host2_));
}

std::string UiHost::RegisterResourceUri(const char* name, const char* type) const
{
    if (!host2_)
        return {};
    gmpi_sdk::MpString uri;
    host2_->RegisterResourceUri(name ? name : "", type ? type : "", &uri);
    return uri.str();
}

std::string UiHost::FindResourceU(const char* name, const char* type) const
{
    if (!host2_)
        return {};
    gmpi_sdk::MpString uri;
    host2_->FindResourceU(name ? name : "", type ? type : "", &uri);
    return uri.str();
}

gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> UiHost::OpenUri(std::string uri) const
{
    gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file;
    if (host2_)
        host2_->OpenUri(uri.c_str(), file.getAddressOf());
    return file;
}

std::wstring UiHost::resolveFilename(std::wstring name) const
{
    if (!legacyHost_)
        return {};
    // An answer that fills the buffer may have been cut, and a cut path names
    // another file: it is asked again with room for any path, and when even
    // that is full there is no answer.
    for (const int32_t maxChars : {500, 32768})
    {
        std::vector<wchar_t> buffer(static_cast<size_t>(maxChars), L'\0');
        legacyHost_->resolveFilename(name.c_str(), maxChars, buffer.data());
        buffer.back() = L'\0'; // a host that fills every character still ends here
        const std::wstring full(buffer.data());
        if (full.size() < static_cast<size_t>(maxChars) - 1)
            return full;
    }
    return {};
}

// ---------------------------------------------------------------------------
// MpGuiBase2

MpGuiBase2::~MpGuiBase2()
{
    if (host_)
        host_->release();
}

int32_t MpGuiBase2::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_GUI_PLUGIN2 || iid == gmpi::MP_IID_GUI_PLUGIN2B)
    {
        *returnInterface = static_cast<gmpi::IMpUserInterface2B*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    *returnInterface = nullptr;
    return gmpi::MP_NOSUPPORT;
}

int32_t MpGuiBase2::setHost(gmpi::IMpUnknown* host)
{
    if (host_)
        host_->release();
    host_ = nullptr;
    if (host)
        host->queryInterface(gmpi::MP_IID_UI_HOST2, reinterpret_cast<void**>(&host_));
    uiHost_.setHost(host);
    return host_ ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
}

int32_t MpGuiBase2::pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice)
{
    if (!host_)
        return gmpi::MP_FAIL;
    recordSend(pinId, size, data);
    return host_->pinTransmit(pinId, size, data, voice);
}

void MpGuiBase2::initializePin(MpGuiPinBase& pin, MpGuiBaseMemberPtr handler)
{
    initializePin(nextPinId(), pin, handler);
}

void MpGuiBase2::initializePin(int32_t pinId, MpGuiPinBase& pin, MpGuiBaseMemberPtr handler)
{
    IGuiPinCallbackImpl* callback = nullptr;
    if (handler)
        callback = new IGuiPinCallback<gmpi::IMpUserInterface2>(static_cast<gmpi::IMpUserInterface2*>(this), handler);
    registerPin(pinId, pin, callback);
}

void MpGuiBase2::initializePin(int32_t pinId, MpGuiPinBase& pin, MpGuiBaseMemberIndexPtr handler)
{
    IGuiPinCallbackImpl* callback = nullptr;
    if (handler)
        callback =
            new IGuiPinCallbackIndexed<gmpi::IMpUserInterface2>(static_cast<gmpi::IMpUserInterface2*>(this), handler);
    registerPin(pinId, pin, callback);
}

int32_t MpGuiBase2::sendMessageToAudio(int32_t id, int32_t size, const void* data)
{
    if (!host_)
        return gmpi::MP_FAIL;
    return host_->sendMessageToAudio(id, size, data);
}

int32_t MpGuiBase2::getHostPinCount() const
{
    if (!host_)
        return -1;
    gmpi_sdk::mp_shared_ptr<gmpi::IMpUserInterfaceHost> legacy;
    host_->queryInterface(gmpi::MP_IID_UI_HOST, legacy.asIMpUnknownPtr());
    int32_t count = -1;
    if (!legacy || legacy->getPinCount(count) != gmpi::MP_OK)
        return -1;
    return count;
}

// ---------------------------------------------------------------------------
// MpGuiInvisibleBase

int32_t MpGuiInvisibleBase::release()
{
    const int32_t count = --refCount_;
    if (count == 0)
        delete this;
    return count;
}

// ---------------------------------------------------------------------------
// MpGuiBase_base

MpGuiBase_base::~MpGuiBase_base()
{
    if (legacyHost_)
        legacyHost_->release();
}

int32_t MpGuiBase_base::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_GUI_PLUGIN)
        *returnInterface = static_cast<gmpi::IMpUserInterface*>(this);
    else if (iid == gmpi::MP_IID_LEGACY_INITIALIZATION)
        *returnInterface = static_cast<gmpi::IMpLegacyInitialization*>(this);
    else
    {
        *returnInterface = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    addRef();
    return gmpi::MP_OK;
}

int32_t MpGuiBase_base::release()
{
    const int32_t count = --refCount_;
    if (count == 0)
        delete this;
    return count;
}

int32_t MpGuiBase_base::setHost(gmpi::IMpUnknown* host)
{
    if (legacyHost_)
        legacyHost_->release();
    legacyHost_ = nullptr;
    const int32_t r =
        host ? host->queryInterface(gmpi::MP_IID_UI_HOST, reinterpret_cast<void**>(&legacyHost_)) : gmpi::MP_NOSUPPORT;
    if (!legacyHost_)
        throw "host Interfaces not supported";
    uiHost_.setHost(host);
    return r;
}

int32_t MpGuiBase_base::pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice)
{
    if (!legacyHost_)
        return gmpi::MP_FAIL;
    recordSend(pinId, size, data);
    return legacyHost_->pinTransmit(pinId, size, data, voice);
}

void MpGuiBase_base::initializePin(int32_t pinId, MpGuiPinBase& pin, LegacyMemberPtr handler)
{
    // A null handler makes no handler object, so notifyPin has nothing to call.
    IGuiPinCallbackImpl* callback = nullptr;
    if (handler)
        callback = new IGuiPinCallback<gmpi::IMpUserInterface>(static_cast<gmpi::IMpUserInterface*>(this), handler);
    registerPin(pinId, pin, callback);
}

void MpGuiBase_base::initializePin(int32_t pinId, MpGuiPinBase& pin, LegacyMemberIndexPtr handler)
{
    IGuiPinCallbackImpl* callback = nullptr;
    if (handler)
        callback =
            new IGuiPinCallbackIndexed<gmpi::IMpUserInterface>(static_cast<gmpi::IMpUserInterface*>(this), handler);
    registerPin(pinId, pin, callback);
}
