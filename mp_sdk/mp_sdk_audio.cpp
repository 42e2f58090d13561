#include "mp_sdk_audio.h"

#include "denormals.h"

#include <vector>

// ---------------------------------------------------------------------------
// Pins

void MpPinBase::initialize(MpPluginBase* plugin, int id, MpBaseMemberPtr handler)
{
    plugin_ = plugin;
    id_ = id;
    eventHandler_ = handler;
    if (!eventHandler_ && getDirection() == gmpi::MP_IN)
        eventHandler_ = getDefaultEventHandler();
}

void MpPinBase::processEvent(const gmpi::MpEvent* e)
{
    if (eventHandler_ && plugin_)
        (plugin_->*eventHandler_)(e);
}

void MpPinBase::sendPinUpdate(int rawSize, const void* rawData, int blockPosition)
{
    if (!plugin_ || !plugin_->host_)
        return;
    const int position = blockPosition == -1 ? plugin_->blockPosition_ : blockPosition;
    plugin_->host_->setPin(position, id_, rawSize, rawData);
}

float MpAudioPinBase::getValue(int offset) const
{
    if (!buffer_)
        return 0.0f;
    if (offset < 0)
        offset = plugin_ ? plugin_->getBlockPosition() : 0;
    return buffer_[offset];
}

void AudioInPin::preProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_STREAMING_START && e->eventType != gmpi::EVENT_PIN_STREAMING_STOP)
        return;
    streamingChanged_ = true;
    const bool streaming = e->eventType == gmpi::EVENT_PIN_STREAMING_START;
    if (streaming != isStreaming_)
    {
        isStreaming_ = streaming;
        plugin_->OnPinStreamingChange(streaming);
    }
    if (!isStreaming_)
        plugin_->wakeSubProcessAtLeastOnce();
}

void AudioInPin::postProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType == gmpi::EVENT_PIN_STREAMING_START || e->eventType == gmpi::EVENT_PIN_STREAMING_STOP)
        streamingChanged_ = false;
}

void AudioOutPin::setStreaming(bool isStreaming, int blockPosition)
{
    const int position = blockPosition == -1 ? plugin_->blockPosition_ : blockPosition;
    if (isStreaming != isStreaming_)
    {
        isStreaming_ = isStreaming;
        plugin_->OnPinStreamingChange(isStreaming);
    }
    if (!isStreaming_)
        plugin_->resetSleepCounter();
    if (plugin_->host_)
        plugin_->host_->setPinStreaming(position, id_, isStreaming_);
}

MpBaseMemberPtr MidiInPin::getDefaultEventHandler()
{
    return &MpPluginBase::midiHelper;
}

void MidiOutPin::send(const unsigned char* data, int size, int blockPosition)
{
    sendPinUpdate(size, data, blockPosition);
}

// ---------------------------------------------------------------------------
// Host service helpers

namespace GmpiSdk
{
UriFile::UriFile(gmpi_sdk::mp_shared_ptr<gmpi::IMpUnknown> object)
{
    if (object)
        object->queryInterface(gmpi::MP_IID_PROTECTED_FILE2, reinterpret_cast<void**>(&file_));
}

UriFile& UriFile::operator=(UriFile&& other) noexcept
{
    if (this != &other)
    {
        if (file_)
            file_->release();
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

UriFile::~UriFile()
{
    if (file_)
        file_->release();
}

std::string ProcessorHost::resolveFilename(const std::wstring& name) const
{
    if (!host_)
        return {};
    gmpi_sdk::mp_shared_ptr<gmpi::IEmbeddedFileSupport> files;
    host_->queryInterface(gmpi::MP_IID_HOST_EMBEDDED_FILE_SUPPORT, files.asIMpUnknownPtr());
    if (!files)
        return gmpi_sdk::toUtf8(resolveFilename_old(name));
    gmpi_sdk::MpString uri;
    files->resolveFilename(gmpi_sdk::toUtf8(name).c_str(), &uri);
    return uri.str();
}

std::wstring ProcessorHost::resolveFilename_old(const std::wstring& name) const
{
    constexpr int maxChars = 500;
    std::vector<wchar_t> buffer(maxChars, L'\0');
    if (host_)
        host_->resolveFilename(name.c_str(), maxChars, buffer.data());
    buffer.back() = L'\0'; // a host that fills every character still ends here
    return std::wstring(buffer.data());
}

UriFile ProcessorHost::openUri(const std::string& uri) const
{
    if (!host_)
        return {};
    gmpi_sdk::mp_shared_ptr<gmpi::IEmbeddedFileSupport> files;
    host_->queryInterface(gmpi::MP_IID_HOST_EMBEDDED_FILE_SUPPORT, files.asIMpUnknownPtr());
    if (!files)
        return {};
    gmpi_sdk::mp_shared_ptr<gmpi::IMpUnknown> object;
    files->openUri(uri.c_str(), object.getAddressOf());
    return UriFile(object);
}
} // namespace GmpiSdk

PinIterator::PinIterator(MpPluginBase* module)
{
    if (module && module->getHost())
        module->getHost()->createPinIterator(&iterator_);
}

PinIterator::~PinIterator()
{
    if (iterator_)
        iterator_->release();
}

int32_t PinIterator::ask(int32_t (gmpi::IMpPinIterator::*getter)(int32_t&))
{
    int32_t value = -1;
    if (iterator_)
        (iterator_->*getter)(value);
    return value;
}

int32_t PinIterator::getUniqueId()
{
    return ask(&gmpi::IMpPinIterator::getUniqueId);
}

int32_t PinIterator::getDirection()
{
    return ask(&gmpi::IMpPinIterator::getDirection);
}

int32_t PinIterator::getDatatype()
{
    return ask(&gmpi::IMpPinIterator::getDatatype);
}

int32_t PinIterator::getCount()
{
    return iterator_ ? ask(&gmpi::IMpPinIterator::getCount) : 0;
}

int32_t PinIterator::first()
{
    const int32_t r = iterator_ ? iterator_->first() : gmpi::MP_FAIL;
    atEnd_ = r != 0;
    return r;
}

int32_t PinIterator::next()
{
    const int32_t r = iterator_ ? iterator_->next() : gmpi::MP_FAIL;
    atEnd_ = r != 0;
    return r;
}

// ---------------------------------------------------------------------------
// MpPluginBase

MpPluginBase::~MpPluginBase()
{
    if (host_)
        host_->release();
    if (processorHost_)
        processorHost_->release();
}

int32_t MpPluginBase::queryInterface(const gmpi::MpGuid& iid, void** returnInterface)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_PLUGIN)
        *returnInterface = static_cast<gmpi::IMpPlugin*>(this);
    else if (iid == gmpi::MP_IID_PLUGIN2)
        *returnInterface = static_cast<gmpi::IMpPlugin2*>(this);
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

int32_t MpPluginBase::release()
{
    const int32_t count = --refCount_;
    if (count == 0)
        delete this;
    return count;
}

int32_t MpPluginBase::setHost(gmpi::IMpUnknown* host)
{
    if (processorHost_)
        processorHost_->release();
    if (host_)
        host_->release();
    processorHost_ = nullptr;
    host_ = nullptr;
    if (!host)
        return gmpi::MP_FAIL;
    host->queryInterface(gmpi::MP_IID_PROCESSOR_HOST, reinterpret_cast<void**>(&processorHost_));
    return host->queryInterface(gmpi::MP_IID_HOST, reinterpret_cast<void**>(&host_));
}

int32_t MpPluginBase::setBuffer(int32_t pinId, float* buffer)
{
    auto it = pins_.find(pinId);
    if (it == pins_.end())
        return gmpi::MP_FAIL;
    it->second->setBuffer(buffer);
    return gmpi::MP_OK;
}

void MpPluginBase::process(int32_t sampleFrames, gmpi::MpEvent* events)
{
    process(sampleFrames, static_cast<const gmpi::MpEvent*>(events));
}

int32_t MpPluginBase::receiveMessageFromGui(int32_t id, int32_t size, void* messageData)
{
    if (inGuiMessage_)
        return gmpi::MP_OK;
    inGuiMessage_ = true;
    const int32_t r = receiveMessageFromGui(id, size, static_cast<const void*>(messageData));
    inGuiMessage_ = false;
    return r;
}

int32_t MpPluginBase::receiveMessageFromGui(int32_t id, int32_t size, const void* messageData)
{
    if (inGuiMessage_)
        return gmpi::MP_OK;
    inGuiMessage_ = true;
    const int32_t r = receiveMessageFromGui(id, size, const_cast<void*>(messageData));
    inGuiMessage_ = false;
    return r;
}

void MpPluginBase::onMidiMessage(int pin, const unsigned char* midiMessage, int size)
{
    onMidiMessage(pin, const_cast<unsigned char*>(midiMessage), size);
}

void MpPluginBase::onMidiMessage(int, unsigned char*, int) {}

void MpPluginBase::onGraphStart()
{
    for (auto& [id, pin] : pins_)
        if (pin->getDirection() == gmpi::MP_OUT)
            pin->sendFirstUpdate();
}

int32_t MpPluginBase::describePin(int32_t index, int32_t& id, int32_t& direction, int32_t& datatype)
{
    if (index < 0 || static_cast<size_t>(index) >= pins_.size())
        return gmpi::MP_FAIL;
    auto it = std::next(pins_.begin(), index);
    id = it->first;
    direction = it->second->getDirection();
    datatype = it->second->getDatatype();
    return gmpi::MP_OK;
}

void MpPluginBase::initializePin(MpPinBase& pin, MpBaseMemberPtr handler)
{
    const int id = pins_.empty() ? 0 : pins_.rbegin()->first + 1;
    initializePin(id, pin, handler);
}

void MpPluginBase::initializePin(int id, MpPinBase& pin, MpBaseMemberPtr handler)
{
    pin.initialize(this, id, handler);
    if (!pins_.emplace(id, &pin).second)
        return; // the first pin of an id stays
    if (id >= 0 && id < kPinTableSize)
    {
        if (static_cast<size_t>(id) >= pinTable_.size())
            pinTable_.resize(static_cast<size_t>(id) + 1, nullptr);
        pinTable_[static_cast<size_t>(id)] = &pin;
    }
}

std::vector<int> MpPluginBase::hostPinIds(int direction, int datatype)
{
    std::vector<int> ids;
    PinIterator it(this);
    for (int32_t r = it.first(); r == 0; r = it.next())
        if (it.getDirection() == direction && it.getDatatype() == datatype && !pins_.count(it.getUniqueId()))
            ids.push_back(it.getUniqueId());
    return ids;
}

float MpPluginBase::getSampleRate() const
{
    float rate = 0.0f;
    if (host_)
        host_->getSampleRate(rate);
    return rate;
}

int MpPluginBase::getBlockSize() const
{
    int32_t size = 0;
    if (host_)
        host_->getBlockSize(size);
    return size;
}

void MpPluginBase::resetSleepCounter()
{
    sleepCounter_ = getBlockSize();
}

void MpPluginBase::midiHelper(const gmpi::MpEvent* e)
{
    const int size = e->extraData ? e->parm2 : std::min(e->parm2, 8);
    if (size < 0)
        return;
    onMidiMessage(e->parm1, static_cast<const unsigned char*>(eventData(e)), size);
}

// ---------------------------------------------------------------------------
// MpBase2

void MpBase2::process(int32_t sampleFrames, const gmpi::MpEvent* events)
{
    // Subnormal numbers count as zero for the whole call, whatever the host's mode.
    const qw::FlushDenormals flush;
    processEvents(sampleFrames, events, [this](int n) { (this->*curSubProcess_)(n); });
}

void MpBase2::subProcessPreSleep(int sampleFrames)
{
    const int start = blockPosition_;
    const int n = countDownToSleep(sampleFrames, [this](int k) { (this->*saveSubProcess_)(k); });
    if (n >= 0)
    {
        curSubProcess_ = saveSubProcess_;
        if (n >= 1)
            (this->*curSubProcess_)(n);
    }
    blockPosition_ = start;
}

void MpBase2::OnPinStreamingChange(bool isStreaming)
{
    streamingPinCount_ += isStreaming ? 1 : -1;
    if (streamingPinCount_ != 0 && sleepMode_ != 1)
        curSubProcess_ = saveSubProcess_;
    else
        curSubProcess_ = &MpBase2::subProcessPreSleep;
}

void MpBase2::setSubProcess(SubProcess_ptr routine)
{
    if (curSubProcess_ == saveSubProcess_)
        curSubProcess_ = routine;
    saveSubProcess_ = routine;
}

void MpBase2::setSleep(bool on)
{
    if (on)
    {
        curSubProcess_ = &MpBase2::subProcessPreSleep;
        sleepMode_ = 1;
    }
    else
        sleepMode_ = 0;
}

// ---------------------------------------------------------------------------
// MpBase

void MpBase::process(int32_t sampleFrames, const gmpi::MpEvent* events)
{
    // Subnormal numbers count as zero for the whole call, whatever the host's mode.
    const qw::FlushDenormals flush;
    processEvents(sampleFrames, events, [this](int n) { (this->*curSubProcess_)(blockPosition_, n); });
}

void MpBase::subProcessPreSleep(int bufferOffset, int sampleFrames)
{
    const int start = blockPosition_;
    blockPosition_ = bufferOffset;
    const int n = countDownToSleep(sampleFrames, [this](int k) { (this->*saveSubProcess_)(blockPosition_, k); });
    if (n >= 0)
    {
        curSubProcess_ = saveSubProcess_;
        if (n >= 1)
            (this->*curSubProcess_)(blockPosition_, n);
    }
    blockPosition_ = start;
}

void MpBase::OnPinStreamingChange(bool isStreaming)
{
    streamingPinCount_ += isStreaming ? 1 : -1;
    if (streamingPinCount_ != 0 && sleepMode_ != 1)
        curSubProcess_ = saveSubProcess_;
    else
        curSubProcess_ = &MpBase::subProcessPreSleep;
}

void MpBase::setSubProcess(SubProcess_ptr routine)
{
    if (curSubProcess_ == saveSubProcess_)
        curSubProcess_ = routine;
    saveSubProcess_ = routine;
}

void MpBase::setSleep(bool on)
{
    if (on)
    {
        curSubProcess_ = &MpBase::subProcessPreSleep;
        sleepMode_ = 1;
    }
    else
        sleepMode_ = 0;
}
