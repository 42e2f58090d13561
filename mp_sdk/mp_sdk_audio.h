// Processing half of a module: the base classes, the block loop with its
// sleep logic, the pins, and small helpers over the host's services.
#pragma once

#include "mp_pin_values.h"
#include "mp_sdk_common.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

class MpPluginBase;
using MpBaseMemberPtr = void (MpPluginBase::*)(const gmpi::MpEvent*);

// ---------------------------------------------------------------------------
// Pins

class MpPinBase
{
public:
    MpPinBase() = default;
    MpPinBase(const MpPinBase&) = delete;
    MpPinBase& operator=(const MpPinBase&) = delete;
    virtual ~MpPinBase() = default;
    virtual void setBuffer(float*) {}
    virtual void preProcessEvent(const gmpi::MpEvent*) {}
    virtual void processEvent(const gmpi::MpEvent* e);
    virtual void postProcessEvent(const gmpi::MpEvent*) {}
    virtual int getDatatype() const = 0;
    virtual int getDirection() const = 0;
    virtual MpBaseMemberPtr getDefaultEventHandler() { return nullptr; }
    virtual void sendFirstUpdate() = 0;

    void initialize(MpPluginBase* plugin, int id, MpBaseMemberPtr handler = nullptr);
    int getId() const { return id_; }
    MpPluginBase* getPlugin() const { return plugin_; }
    // Sends raw bytes as this pin's value; -1 = the owner's block position.
    void sendPinUpdate(int rawSize, const void* rawData, int blockPosition = -1);

protected:
    int id_ = -1;
    MpPluginBase* plugin_ = nullptr;
    MpBaseMemberPtr eventHandler_ = nullptr;
};

// Event data of a pin or MIDI event: the extra data, else the inline bytes.
inline const void* eventData(const gmpi::MpEvent* e)
{
    return e->extraData ? static_cast<const void*>(e->extraData) : static_cast<const void*>(&e->parm3);
}

template <typename T, int pinDatatype> class MpControlPinBase : public MpPinBase
{
public:
    // Room for values of ordinary length (texts and blobs) from the start.
    MpControlPinBase() { MpPinValue<T>::reserve(value_); }
    virtual void setValueRaw(int size, const void* data) { MpPinValue<T>::set(value_, size, data); }
    virtual void setValueRaw(size_t size, const void* data)
    {
        setValueRaw(static_cast<int>(std::min<size_t>(size, 0x7fffffff)), data);
    }
    virtual int rawSize() const { return MpPinValue<T>::size(value_); }
    virtual const void* rawData() const { return MpPinValue<T>::data(value_); }

    int getDatatype() const override { return pinDatatype; }
    void preProcessEvent(const gmpi::MpEvent* e) override
    {
        if (e->eventType == gmpi::EVENT_PIN_SET)
        {
            // Inline data holds at most eight bytes.
            const int size = e->extraData ? e->parm2 : std::min(e->parm2, 8);
            setValueRaw(size, eventData(e));
            freshValue_ = true;
        }
    }
    void postProcessEvent(const gmpi::MpEvent* e) override
    {
        if (e->eventType == gmpi::EVENT_PIN_SET)
            freshValue_ = false;
    }
    void sendFirstUpdate() override { sendPinUpdate(rawSize(), rawData(), -1); }

    const T& getValue() const { return value_; }
    operator const T&() const { return value_; }
    bool isUpdated() const { return freshValue_; }

    // Sends the value at the owner's block position, only when it changed.
    const T& operator=(const T& value)
    {
        setValue(value, -1);
        return value_;
    }
    void setValue(const T& value, int blockPosition)
    {
        if (MpPinValue<T>::equal(value, value_))
            return;
        value_ = value;
        sendPinUpdate(rawSize(), rawData(), blockPosition);
    }

protected:
    T value_{};
    bool freshValue_ = false;
};

template <typename T, int pinDirection, int pinDatatype> class MpControlPin : public MpControlPinBase<T, pinDatatype>
{
public:
    using MpControlPinBase<T, pinDatatype>::operator=;
    int getDirection() const override { return pinDirection; }
};

// Text pins accept wide or UTF-8 text and read back as either.
template <int pinDirection>
class MpControlPin<std::wstring, pinDirection, gmpi::MP_STRING> : public MpControlPinBase<std::wstring, gmpi::MP_STRING>
{
public:
    using MpControlPinBase<std::wstring, gmpi::MP_STRING>::operator=;
    int getDirection() const override { return pinDirection; }

    const std::wstring& operator=(const wchar_t* text) { return *this = std::wstring(text ? text : L""); }
    const std::wstring& operator=(const std::string& text) { return *this = gmpi_sdk::fromUtf8(text); }
    const std::wstring& operator=(const char* text) { return *this = std::string(text ? text : ""); }
    operator std::string() const { return gmpi_sdk::toUtf8(value_); }
};

using FloatInPin = MpControlPin<float, gmpi::MP_IN, gmpi::MP_FLOAT32>;
using FloatOutPin = MpControlPin<float, gmpi::MP_OUT, gmpi::MP_FLOAT32>;
using IntInPin = MpControlPin<int, gmpi::MP_IN, gmpi::MP_INT32>;
using IntOutPin = MpControlPin<int, gmpi::MP_OUT, gmpi::MP_INT32>;
using EnumInPin = MpControlPin<int, gmpi::MP_IN, gmpi::MP_ENUM>;
using EnumOutPin = MpControlPin<int, gmpi::MP_OUT, gmpi::MP_ENUM>;
using BoolInPin = MpControlPin<bool, gmpi::MP_IN, gmpi::MP_BOOL>;
using BoolOutPin = MpControlPin<bool, gmpi::MP_OUT, gmpi::MP_BOOL>;
using StringInPin = MpControlPin<std::wstring, gmpi::MP_IN, gmpi::MP_STRING>;
using StringOutPin = MpControlPin<std::wstring, gmpi::MP_OUT, gmpi::MP_STRING>;
using BlobInPin = MpControlPin<MpBlob, gmpi::MP_IN, gmpi::MP_BLOB>;
using BlobOutPin = MpControlPin<MpBlob, gmpi::MP_OUT, gmpi::MP_BLOB>;

class MpAudioPinBase : public MpPinBase
{
public:
    void setBuffer(float* buffer) override { buffer_ = buffer; }
    int getDatatype() const override { return gmpi::MP_AUDIO; }
    float* getBuffer() const { return buffer_; }
    // The sample at offset, or at the owner's block position when offset < 0.
    float getValue(int offset = -1) const;
    operator float() const { return getValue(); }
    bool isStreaming() const { return isStreaming_; }

protected:
    float* buffer_ = nullptr;
    bool isStreaming_ = false;
};

class AudioInPin : public MpAudioPinBase
{
public:
    int getDirection() const override { return gmpi::MP_IN; }
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;
    void sendFirstUpdate() override {}
    // True only while a streaming change of this pin is applied, and in the
    // module's first onSetPins.
    bool isUpdated() const { return streamingChanged_; }

private:
    bool streamingChanged_ = true;
};

class AudioOutPin : public MpAudioPinBase
{
public:
    int getDirection() const override { return gmpi::MP_OUT; }
    void sendFirstUpdate() override { setStreaming(true, -1); }
    void setStreaming(bool isStreaming, int blockPosition = -1);
};

class MidiInPin : public MpPinBase
{
public:
    int getDatatype() const override { return gmpi::MP_MIDI; }
    int getDirection() const override { return gmpi::MP_IN; }
    MpBaseMemberPtr getDefaultEventHandler() override;
    void sendFirstUpdate() override {}
};

class MidiOutPin : public MidiInPin
{
public:
    int getDirection() const override { return gmpi::MP_OUT; }
    MpBaseMemberPtr getDefaultEventHandler() override { return nullptr; }
    void send(const unsigned char* data, int size, int blockPosition = -1);
};

// ---------------------------------------------------------------------------
// Helpers over the host's services

namespace GmpiSdk
{
class UriFile
{
public:
    UriFile() = default;
    explicit UriFile(gmpi_sdk::mp_shared_ptr<gmpi::IMpUnknown> object);
    UriFile(UriFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    UriFile& operator=(UriFile&& other) noexcept;
    UriFile(const UriFile&) = delete;
    UriFile& operator=(const UriFile&) = delete;
    ~UriFile();

    gmpi::IProtectedFile2* get() const { return file_; }
    bool isNull() const { return file_ == nullptr; }

private:
    gmpi::IProtectedFile2* file_ = nullptr;
};

class ProcessorHost
{
public:
    explicit ProcessorHost(gmpi::IMpHost* host) : host_(host) {}
    // The host's address of a file name: the embedded-file form when the host
    // offers it, else the older call. Text crosses as UTF-8.
    std::string resolveFilename(const std::wstring& name) const;
    std::wstring resolveFilename_old(const std::wstring& name) const;
    UriFile openUri(const std::string& uri) const;

private:
    gmpi::IMpHost* host_;
};
} // namespace GmpiSdk

class IPinProperties
{
public:
    virtual int32_t getUniqueId() = 0;
    virtual int32_t getDirection() = 0;
    virtual int32_t getDatatype() = 0;
};

// Walks the pins the host made for a module (used in open() by modules with a
// variable number of pins).
class PinIterator : public IPinProperties
{
public:
    explicit PinIterator(MpPluginBase* module);
    PinIterator(const PinIterator&) = delete;
    PinIterator& operator=(const PinIterator&) = delete;
    virtual ~PinIterator();

    int32_t getUniqueId() override;
    int32_t getDirection() override;
    int32_t getDatatype() override;

    // 0 while positioned on a pin.
    int32_t first();
    int32_t next();
    bool isAtEnd() const { return atEnd_; }
    int32_t getCount();

private:
    int32_t ask(int32_t (gmpi::IMpPinIterator::*getter)(int32_t&));

    gmpi::IMpPinIterator* iterator_ = nullptr;
    bool atEnd_ = true;
};

// ---------------------------------------------------------------------------
// Processing module base

class MpPluginBase : public gmpi::IMpPlugin,
                     public gmpi::IMpPlugin2,
                     public IoldSchoolInitialisation,
                     public gmpi::IMpLegacyInitialization
{
public:
    MpPluginBase() = default;
    MpPluginBase(const MpPluginBase&) = delete;
    MpPluginBase& operator=(const MpPluginBase&) = delete;

    // Slots of the primary view, then the framework's own, in this order.
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    int32_t open() override { return gmpi::MP_OK; }
    int32_t setBuffer(int32_t pinId, float* buffer) override;
    void process(int32_t sampleFrames, gmpi::MpEvent* events) override;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) override;
    virtual ~MpPluginBase();
    int32_t setHost(gmpi::IMpUnknown* host) override;
    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override = 0;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, const void* messageData) override;
    virtual void onMidiMessage(int pin, const unsigned char* midiMessage, int size);
    virtual void onMidiMessage(int pin, unsigned char* midiMessage, int size);
    virtual void onSetPins() {}
    virtual void OnPinStreamingChange(bool isStreaming) = 0;
    virtual void onGraphStart();
    // Lets a test host compare the pins a module built with the host's own
    // description of it. index from 0; -1 past the last pin.
    virtual int32_t describePin(int32_t index, int32_t& id, int32_t& direction, int32_t& datatype);

    void initializePin(MpPinBase& pin, MpBaseMemberPtr handler = nullptr);
    void initializePin(int id, MpPinBase& pin, MpBaseMemberPtr handler = nullptr);
    template <class D> void initializePin(MpPinBase& pin, void (D::*handler)(const gmpi::MpEvent*))
    {
        initializePin(pin, static_cast<MpBaseMemberPtr>(handler));
    }
    template <class D> void initializePin(int id, MpPinBase& pin, void (D::*handler)(const gmpi::MpEvent*))
    {
        initializePin(id, pin, static_cast<MpBaseMemberPtr>(handler));
    }

    // The ids of the pins the host made with this direction and datatype that
    // no pin of the module holds yet, in the host's order: the copies of a
    // pin the host decides the number of (call in open()).
    std::vector<int> hostPinIds(int direction, int datatype);

    gmpi::IMpHost* getHost() const { return host_; }
    gmpi::IMpProcessorHost* getProcessorHost() const { return processorHost_; }
    int getBlockPosition() const { return blockPosition_; }
    float getSampleRate() const;
    int getBlockSize() const;

    void preProcessEvent(const gmpi::MpEvent* e) { preProcessEvent(e, pinOf(e)); }
    void processEvent(const gmpi::MpEvent* e) { processEvent(e, pinOf(e)); }
    void postProcessEvent(const gmpi::MpEvent* e) { postProcessEvent(e, pinOf(e)); }
    void midiHelper(const gmpi::MpEvent* e);
    // The pin an event is for; null for other events and unknown ids.
    MpPinBase* pinOf(const gmpi::MpEvent* e) const
    {
        if (e->eventType < gmpi::EVENT_PIN_SET || e->eventType > gmpi::EVENT_MIDI)
            return nullptr;
        const unsigned id = static_cast<unsigned>(e->parm1);
        if (id < pinTable_.size())
            return pinTable_[id];
        auto it = pins_.find(e->parm1);
        return it == pins_.end() ? nullptr : it->second;
    }

    // One more host block of processing before sleep.
    void resetSleepCounter();
    void wakeSubProcessAtLeastOnce() { sleepCounter_ = std::max(sleepCounter_, 1); }

protected:
    // The block loop shared by the module bases: runs `span(n)` from
    // blockPosition_ up to each event time and applies the events there.
    template <class RunSpan> void processEvents(int32_t sampleFrames, const gmpi::MpEvent* events, RunSpan span);
    // The sleep countdown over `runSaved(n)`. Answers -1 while still counting
    // down (the span is used up, or the host was asked to sleep), else the
    // samples left for the module's own routine now that the countdown is over.
    template <class RunSaved> int countDownToSleep(int sampleFrames, RunSaved runSaved);

    static bool isPinEvent(int t)
    {
        return t == gmpi::EVENT_PIN_SET || t == gmpi::EVENT_PIN_STREAMING_START || t == gmpi::EVENT_PIN_STREAMING_STOP;
    }
    // Inline: a block with many pin events pays no call per step and event.
    void preProcessEvent(const gmpi::MpEvent* e, MpPinBase* pin)
    {
        if (pin)
            pin->preProcessEvent(e);
    }
    void processEvent(const gmpi::MpEvent* e, MpPinBase* pin)
    {
        if (e->eventType == gmpi::EVENT_GRAPH_START)
            onGraphStart();
        else if (pin)
            pin->processEvent(e);
    }
    void postProcessEvent(const gmpi::MpEvent* e, MpPinBase* pin)
    {
        if (pin)
            pin->postProcessEvent(e);
    }

    friend class MpPinBase;
    friend class AudioInPin;
    friend class AudioOutPin;

    int32_t refCount_ = 1;
    gmpi::IMpHost* host_ = nullptr;
    gmpi::IMpProcessorHost* processorHost_ = nullptr;
    std::map<int, MpPinBase*> pins_;   // in id order (graph start, description)
    std::vector<MpPinBase*> pinTable_; // by id, for the ids below kPinTableSize
    static constexpr int kPinTableSize = 4096;
    int blockPosition_ = 0;
    int sleepCounter_ = 0;
    int streamingPinCount_ = 0;
    int sleepMode_ = -1; // -1 automatic, 0 never sleep, 1 forced countdown
    bool mayRequestSleep_ = true;
    bool inGuiMessage_ = false;
};

// The object a creation function hands to the host.
inline gmpi::IMpUnknown* primaryUnknown(MpPluginBase* module)
{
    return static_cast<gmpi::IMpPlugin*>(module);
}

template <class RunSpan>
void MpPluginBase::processEvents(int32_t sampleFrames, const gmpi::MpEvent* events, RunSpan span)
{
    blockPosition_ = 0;
    int remaining = sampleFrames;
    const gmpi::MpEvent* e = events;
    while (e)
    {
        const int gap = e->timeDelta - blockPosition_;
        if (gap > 0)
        {
            // Never past the block: events at or after its end wait for the host.
            const int n = std::min(gap, remaining);
            mayRequestSleep_ = false;
            span(n);
            mayRequestSleep_ = true;
            remaining -= n;
            if (remaining <= 0)
            {
                blockPosition_ = 0;
                return;
            }
            blockPosition_ += n;
        }
        // Events stamped at or before the current position apply here. Each
        // event's pin is looked up once.
        if (!e->next || e->next->timeDelta > blockPosition_)
        {
            // The usual case: an event alone at its time.
            MpPinBase* pin = pinOf(e);
            preProcessEvent(e, pin);
            processEvent(e, pin);
            if (isPinEvent(e->eventType))
                onSetPins();
            postProcessEvent(e, pin);
            e = e->next;
            continue;
        }
        // Several at one time: all are applied before onSetPins, then all
        // cleared (the first events of a group keep their pin).
        constexpr int kKept = 16;
        MpPinBase* kept[kKept];
        const gmpi::MpEvent* groupEnd = e;
        bool pinEvent = false;
        int count = 0;
        for (; groupEnd && groupEnd->timeDelta <= blockPosition_; groupEnd = groupEnd->next, ++count)
        {
            MpPinBase* pin = pinOf(groupEnd);
            if (count < kKept)
                kept[count] = pin;
            preProcessEvent(groupEnd, pin);
            pinEvent |= isPinEvent(groupEnd->eventType);
        }
        int k = 0;
        for (auto g = e; g != groupEnd; g = g->next, ++k)
            processEvent(g, k < kKept ? kept[k] : pinOf(g));
        if (pinEvent)
            onSetPins();
        k = 0;
        for (auto g = e; g != groupEnd; g = g->next, ++k)
            postProcessEvent(g, k < kKept ? kept[k] : pinOf(g));
        e = groupEnd;
    }
    if (remaining > 0)
        span(remaining);
    // Between blocks (a message from the interface half, say) the position is
    // the next block's start.
    blockPosition_ = 0;
}

template <class RunSaved> int MpPluginBase::countDownToSleep(int sampleFrames, RunSaved runSaved)
{
    int n = sampleFrames;
    while (sleepMode_ == 1 || (sleepMode_ == -1 && streamingPinCount_ == 0))
    {
        if (sleepCounter_ < 1)
        {
            if (mayRequestSleep_)
            {
                if (host_)
                    host_->sleep();
                return -1;
            }
            sleepCounter_ = n;
        }
        if (n == 0)
            return -1;
        const int k = std::min(sleepCounter_, n);
        sleepCounter_ -= k;
        runSaved(k);
        n -= k;
        blockPosition_ += k;
    }
    return n;
}

// Base of every processing module: routine selection by member pointer and
// automatic sleep.
class MpBase2 : public MpPluginBase
{
public:
    using SubProcess_ptr = void (MpBase2::*)(int sampleFrames);
    using MpPluginBase::process;

    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override;
    void OnPinStreamingChange(bool isStreaming) override;

    void subProcessPreSleep(int sampleFrames);
    void subProcessNothing(int) {}

    // The routine becomes the saved one, and the current one unless the module
    // is counting down to sleep (the countdown hands over when it ends).
    void setSubProcess(SubProcess_ptr routine);
    template <class D> void setSubProcess(void (D::*routine)(int))
    {
        setSubProcess(static_cast<SubProcess_ptr>(routine));
    }
    void setSleep(bool on);

protected:
    SubProcess_ptr curSubProcess_ = &MpBase2::subProcessPreSleep;
    SubProcess_ptr saveSubProcess_ = &MpBase2::subProcessNothing;
};

// Older base whose routines take the buffer offset as an argument.
class MpBase : public MpPluginBase
{
public:
    using SubProcess_ptr = void (MpBase::*)(int bufferOffset, int sampleFrames);
    using MpPluginBase::process;

    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override;
    void OnPinStreamingChange(bool isStreaming) override;

    void subProcessPreSleep(int bufferOffset, int sampleFrames);
    void subProcessNothing(int, int) {}

    void setSubProcess(SubProcess_ptr routine);
    template <class D> void setSubProcess(void (D::*routine)(int, int))
    {
        setSubProcess(static_cast<SubProcess_ptr>(routine));
    }
    void setSleep(bool on);

protected:
    SubProcess_ptr curSubProcess_ = &MpBase::subProcessPreSleep;
    SubProcess_ptr saveSubProcess_ = &MpBase::subProcessNothing;
};
