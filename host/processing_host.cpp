#include "processing_host.h"

#include "alloc_counter.h"
#include "counted.h"
#include "mp_sdk_audio.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace qwhost
{
namespace
{
class HostPinIterator final : public Counted<gmpi::IMpPinIterator>
{
public:
    struct Pin
    {
        int id, direction, datatype;
    };
    explicit HostPinIterator(std::vector<Pin> pins) : pins_(std::move(pins)) {}

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override { return answer(iid, out, {}); }
    int32_t getCount(int32_t& v) override
    {
        v = static_cast<int32_t>(pins_.size());
        return gmpi::MP_OK;
    }
    int32_t first() override
    {
        index_ = 0;
        return at() ? gmpi::MP_OK : gmpi::MP_FAIL;
    }
    int32_t next() override
    {
        if (index_ < pins_.size())
            ++index_;
        return at() ? gmpi::MP_OK : gmpi::MP_FAIL;
    }
    int32_t getUniqueId(int32_t& v) override { return get(v, &Pin::id); }
    int32_t getDirection(int32_t& v) override { return get(v, &Pin::direction); }
    int32_t getDatatype(int32_t& v) override { return get(v, &Pin::datatype); }

private:
    const Pin* at() const { return index_ < pins_.size() ? &pins_[index_] : nullptr; }
    int32_t get(int32_t& v, int Pin::*field)
    {
        if (!at())
            return gmpi::MP_FAIL;
        v = pins_[index_].*field;
        return gmpi::MP_OK;
    }

    std::vector<Pin> pins_;
    size_t index_ = 0;
};

class HostCloneIterator final : public Counted<gmpi::IMpCloneIterator>
{
public:
    explicit HostCloneIterator(std::vector<gmpi::IMpUnknown*> clones) : clones_(std::move(clones)) {}

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        return answer(iid, out, {&gmpi::MP_IID_CLONE_ITERATOR});
    }
    int32_t first() override
    {
        index_ = 0;
        return gmpi::MP_OK;
    }
    int32_t next(gmpi::IMpUnknown** clone) override
    {
        if (index_ >= clones_.size())
        {
            *clone = nullptr;
            return gmpi::MP_FAIL;
        }
        *clone = clones_[index_++];
        return gmpi::MP_OK;
    }

private:
    std::vector<gmpi::IMpUnknown*> clones_;
    size_t index_ = 0;
};
} // namespace

// ---------------------------------------------------------------------------

bool encodePinValue(int datatype, const std::string& text, std::vector<uint8_t>& out, std::string& why)
{
    out.clear();
    auto put = [&out](const void* p, size_t n) {
        auto b = static_cast<const uint8_t*>(p);
        out.assign(b, b + n);
    };
    switch (datatype)
    {
    case gmpi::MP_FLOAT32:
    case gmpi::MP_AUDIO:
    {
        if (text.empty())
        {
            const float z = 0.0f;
            put(&z, 4);
            return true;
        }
        char* end = nullptr;
        const float v = std::strtof(text.c_str(), &end);
        if (end != text.c_str() + text.size() || !std::isfinite(v))
        {
            why = "'" + text + "' is not a finite number";
            return false;
        }
        put(&v, 4);
        return true;
    }
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
    {
        int32_t v = 0;
        if (!text.empty())
        {
            char* end = nullptr;
            errno = 0;
            const long l = std::strtol(text.c_str(), &end, 10);
            if (end != text.c_str() + text.size() || errno || l < INT32_MIN || l > INT32_MAX)
            {
                why = "'" + text + "' is not a 32-bit whole number";
                return false;
            }
            v = static_cast<int32_t>(l);
        }
        put(&v, 4);
        return true;
    }
    case gmpi::MP_BOOL:
    {
        bool v;
        if (text.empty() || text == "0" || text == "false")
            v = false;
        else if (text == "1" || text == "true")
            v = true;
        else
        {
            why = "'" + text + "' is not a boolean (true, false, 1 or 0)";
            return false;
        }
        put(&v, 1);
        return true;
    }
    case gmpi::MP_STRING:
    {
        const std::wstring w = gmpi_sdk::fromUtf8(text);
        put(w.data(), w.size() * 4);
        return true;
    }
    case gmpi::MP_BLOB:
        put(text.data(), text.size());
        return true;
    default:
        why = "pins of datatype " + datatypeName(datatype) + " take no value";
        return false;
    }
}

// ---------------------------------------------------------------------------

std::unique_ptr<Processor> ProcessingHost::create(std::shared_ptr<Bundle> bundle, const std::wstring& id)
{
    const ModuleInfo* info = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_AUDIO);
    if (!info)
        throw Error("no processing module " + gmpi_sdk::toUtf8(id) + " is described for bundle '" + bundle->path() +
                    "'");
    std::unique_ptr<Processor> p(new Processor(*this, std::move(bundle), *info));
    p->group_ = std::make_shared<std::vector<Processor*>>(1, p.get());
    p->createObject();
    p->openObject();
    return p;
}

std::vector<std::unique_ptr<Processor>> ProcessingHost::createVoices(std::shared_ptr<Bundle> bundle,
                                                                     const std::wstring& id, int voices)
{
    const ModuleInfo* info = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_AUDIO);
    if (!info)
        throw Error("no processing module " + gmpi_sdk::toUtf8(id) + " is described for bundle '" + bundle->path() +
                    "'");
    auto group = std::make_shared<std::vector<Processor*>>();
    std::vector<std::unique_ptr<Processor>> out;
    for (int v = 0; v < voices; ++v)
    {
        out.emplace_back(new Processor(*this, bundle, *info));
        out.back()->group_ = group;
        group->push_back(out.back().get());
    }
    // Every clone exists before the first is opened, as in the host.
    for (auto& p : out)
        p->createObject();
    for (auto& p : out)
        p->openObject();
    return out;
}

const SharedBlock* ProcessingHost::sharedBlock(const std::wstring& name, float rate) const
{
    auto it = shared_.find({name, rate < 0.0f ? -1.0f : rate});
    return it == shared_.end() ? nullptr : &it->second;
}

std::string confinedPath(const std::string& folder, const std::string& name)
{
    if (name.empty())
        return folder;
    std::string flat = name;
    std::replace(flat.begin(), flat.end(), '/', '_');
    if (flat == "." || flat == "..")
        flat = "_" + flat;
    return folder + "/" + flat;
}

std::string ProcessingHost::resolve(const std::string& name) const
{
    if (confineFiles)
        return confinedPath(resourceFolder, name);
    if (!name.empty() && name[0] == '/')
        return name;
    if (name.empty())
        return resourceFolder;
    return resourceFolder + "/" + name;
}

// ---------------------------------------------------------------------------

Processor::Processor(ProcessingHost& world, std::shared_ptr<Bundle> bundle, const ModuleInfo& info)
    : world_(world), bundle_(std::move(bundle)), info_(&info)
{
    int id = 0;
    for (auto& p : info.pins)
    {
        const int copies = p.autoDuplicate ? std::max(world.autoDuplicateCount, 0) : 1;
        for (int c = 0; c < copies; ++c)
            pins_.push_back({id++, &p});
    }
    const size_t frames = static_cast<size_t>(std::max(world.blockSize, 1));
    for (auto& p : pins_)
    {
        if (p.info->datatype != gmpi::MP_AUDIO)
            continue;
        if (p.info->direction == gmpi::MP_IN)
            audioIn_[p.id].buffer.assign(frames, 0.0f);
        else
            audioOut_[p.id].assign(frames, 0.0f);
    }
    queue_.reserve(64);
    events_.reserve(64);
}

void Processor::createObject()
{
    void* obj = nullptr;
    const int32_t r = bundle_->factory()->createInstance(info_->id.c_str(), gmpi::MP_SUB_TYPE_AUDIO,
                                                         static_cast<gmpi::IMpHost*>(this), &obj);
    if (r != gmpi::MP_OK || !obj)
        throw Error("the factory of '" + bundle_->path() + "' refused " + gmpi_sdk::toUtf8(info_->id) + " (code " +
                    std::to_string(r) + ")");
    object_ = static_cast<gmpi::IMpUnknown*>(obj);
    void* p2 = nullptr;
    if (object_->queryInterface(gmpi::MP_IID_PLUGIN2, &p2) != gmpi::MP_OK || !p2)
        throw Error(gmpi_sdk::toUtf8(info_->id) + " does not answer the processing interface");
    plugin_ = static_cast<gmpi::IMpPlugin2*>(p2);
}

void Processor::openObject()
{
    plugin_->open();
    for (auto& [id, in] : audioIn_)
        plugin_->setBuffer(id, in.buffer.data());
    for (auto& [id, out] : audioOut_)
        plugin_->setBuffer(id, out.data());
}

Processor::~Processor()
{
    if (plugin_)
        plugin_->release();
    if (object_)
        object_->release();
    world_.leakedHostReferences += refCount_ - 1;
    if (group_)
        group_->erase(std::remove(group_->begin(), group_->end(), this), group_->end());
}

MpPluginBase* Processor::base() const
{
    // Objects of our bundles hand out their primary view, which starts the base.
    return static_cast<MpPluginBase*>(static_cast<gmpi::IMpPlugin*>(object_));
}

const PinInfo& Processor::pinInfo(int pin) const
{
    checkPin(pin);
    return *pins_[static_cast<size_t>(pin)].info;
}

int Processor::pin(const std::string& name) const
{
    for (auto& p : pins_)
        if (p.info->name == name)
            return p.id;
    throw Error("module " + gmpi_sdk::toUtf8(info_->id) + " has no pin named '" + name + "'");
}

void Processor::checkPin(int pin) const
{
    if (pin < 0 || pin >= pinCount())
        throw Error("module " + gmpi_sdk::toUtf8(info_->id) + " has no pin " + std::to_string(pin));
}

float* Processor::input(int pin)
{
    auto it = audioIn_.find(pin);
    if (it == audioIn_.end())
        throw Error("pin " + std::to_string(pin) + " is not an audio input");
    return it->second.buffer.data();
}

float* Processor::output(int pin)
{
    auto it = audioOut_.find(pin);
    if (it == audioOut_.end())
        throw Error("pin " + std::to_string(pin) + " is not an audio output");
    return it->second.data();
}

// ---------------------------------------------------------------------------
// Inputs

void Processor::queue(int type, int pin, const void* data, int size, int offset)
{
    // Entries are reused with their byte room once delivered: like a real
    // host's event queue, a steady stream of events allocates nothing.
    if (free_.empty())
    {
        pool_.emplace_back();
        free_.push_back(static_cast<int>(pool_.size() - 1));
    }
    Queued& q = pool_[static_cast<size_t>(free_.back())];
    q.time = now_ + offset;
    q.seq = seq_++;
    q.type = type;
    q.pin = pin;
    q.hasConstant = false;
    q.constant = 0.0f;
    if (data && size > 0)
        q.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    else
        q.bytes.clear();
    queue_.push_back(free_.back());
    free_.pop_back();
}

void Processor::setRaw(int pin, const void* data, int size, int offset)
{
    queue(gmpi::EVENT_PIN_SET, pin, data, size, offset);
}

void Processor::setBool(int pin, bool v, int offset)
{
    setRaw(pin, &v, 1, offset);
}

void Processor::setText(int pin, const std::wstring& v, int offset)
{
    setRaw(pin, v.data(), static_cast<int>(v.size() * 4), offset);
}

void Processor::setBlob(int pin, const std::vector<uint8_t>& v, int offset)
{
    setRaw(pin, v.data(), static_cast<int>(v.size()), offset);
}

bool Processor::setFromText(int pin, const std::string& text, std::string& why, int offset)
{
    checkPin(pin);
    const PinInfo& info = pinInfo(pin);
    if (info.direction != gmpi::MP_IN)
    {
        why = "pin '" + info.name + "' is an output";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!encodePinValue(info.datatype, text, bytes, why))
        return false;
    if (info.datatype == gmpi::MP_AUDIO)
    {
        float v;
        std::memcpy(&v, bytes.data(), 4);
        setConstant(pin, v, offset);
    }
    else
        setRaw(pin, bytes.data(), static_cast<int>(bytes.size()), offset);
    return true;
}

void Processor::setConstant(int pin, float value, int offset)
{
    input(pin); // must be an audio input
    queue(gmpi::EVENT_PIN_STREAMING_STOP, pin, nullptr, 0, offset);
    Queued& q = pool_[static_cast<size_t>(queue_.back())];
    q.hasConstant = true;
    q.constant = value;
}

void Processor::setStreaming(int pin, bool streaming, int offset)
{
    input(pin);
    queue(streaming ? gmpi::EVENT_PIN_STREAMING_START : gmpi::EVENT_PIN_STREAMING_STOP, pin, nullptr, 0, offset);
}

void Processor::sendMidi(int pin, const std::vector<uint8_t>& bytes, int offset)
{
    queue(gmpi::EVENT_MIDI, pin, bytes.data(), static_cast<int>(bytes.size()), offset);
}

void Processor::graphStart(int offset)
{
    queue(gmpi::EVENT_GRAPH_START, 0, nullptr, 0, offset);
}

void Processor::startGraph(int offset)
{
    for (auto& p : pins_)
    {
        const PinInfo& info = *p.info;
        if (info.direction != gmpi::MP_IN || info.datatype == gmpi::MP_MIDI)
            continue;
        std::string why;
        if (!setFromText(p.id, info.defaultValue, why, offset))
            throw Error(info_->source + ": default of pin '" + info.name + "': " + why);
    }
    graphStart(offset);
}

void Processor::rawEvents(const std::vector<gmpi::MpEvent>& events)
{
    rawEvents_ = events;
    hasRaw_ = true;
}

// ---------------------------------------------------------------------------
// Running

void Processor::run(int n)
{
    if (n < 1 || n > world_.blockSize)
        throw Error("block of " + std::to_string(n) + " samples: the host's block size is " +
                    std::to_string(world_.blockSize));

    // Events due in this block, in time order (equal times keep their order:
    // seq breaks ties, so the order is total and needs no stable sort).
    // Later events stay queued in their order. The entries of the last block
    // are free again (its process call is over).
    free_.insert(free_.end(), due_.begin(), due_.end());
    due_.clear();
    size_t kept = 0;
    for (const int k : queue_)
        if (pool_[static_cast<size_t>(k)].time < now_ + n)
            due_.push_back(k);
        else
            queue_[kept++] = k;
    queue_.resize(kept);
    const auto earlier = [this](int a, int b) {
        const Queued& qa = pool_[static_cast<size_t>(a)];
        const Queued& qb = pool_[static_cast<size_t>(b)];
        return qa.time != qb.time ? qa.time < qb.time : qa.seq < qb.seq;
    };
    if (!std::is_sorted(due_.begin(), due_.end(), earlier))
        std::sort(due_.begin(), due_.end(), earlier);

    // Constant audio inputs hold their value; a streaming input keeps what
    // the caller wrote. Both change at their events.
    for (auto& [id, in] : audioIn_)
    {
        int from = 0;
        for (const int k : due_)
        {
            const Queued& q = pool_[static_cast<size_t>(k)];
            if (q.pin != id || (q.type != gmpi::EVENT_PIN_STREAMING_START && q.type != gmpi::EVENT_PIN_STREAMING_STOP))
                continue;
            const int at = static_cast<int>(std::clamp<int64_t>(q.time - now_, 0, n));
            if (in.constant)
                std::fill(in.buffer.begin() + from, in.buffer.begin() + at, in.value);
            from = at;
            in.constant = q.hasConstant;
            if (q.hasConstant)
                in.value = q.constant;
        }
        if (in.constant)
            std::fill(in.buffer.begin() + from, in.buffer.begin() + n, in.value);
    }

    events_.clear();
    if (hasRaw_)
    {
        events_ = rawEvents_;
        hasRaw_ = false;
    }
    else
    {
        for (const int k : due_)
        {
            Queued& q = pool_[static_cast<size_t>(k)];
            gmpi::MpEvent e{};
            e.timeDelta = static_cast<int32_t>(q.time - now_);
            e.eventType = q.type;
            e.parm1 = q.pin;
            e.parm2 = static_cast<int32_t>(q.bytes.size());
            if (q.bytes.size() > 8)
                e.extraData = reinterpret_cast<char*>(q.bytes.data());
            else if (!q.bytes.empty())
                std::memcpy(&e.parm3, q.bytes.data(), q.bytes.size());
            events_.push_back(e);
        }
    }
    for (size_t i = 0; i + 1 < events_.size(); ++i)
        events_[i].next = &events_[i + 1];
    if (!events_.empty())
        events_.back().next = nullptr;

    const bool skip = asleep_ && events_.empty();
    if (!skip)
    {
        asleep_ = false;
        currentBlockStart_ = 0;
        ++processCalls_;
        alloc::begin();
        plugin_->process(n, events_.empty() ? nullptr : events_.data());
        lastAllocations_ = alloc::end();
        if (blockIndex_ > 0)
            laterAllocations_ += lastAllocations_;
    }
    now_ += n;
    ++blockIndex_;
}

void Processor::runFor(int64_t total, int block)
{
    while (total > 0)
    {
        const int n = static_cast<int>(std::min<int64_t>(total, block));
        run(n);
        total -= n;
    }
}

// ---------------------------------------------------------------------------
// Host services

int32_t Processor::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (iid == gmpi::MP_IID_UNKNOWN || iid == gmpi::MP_IID_HOST)
        *out = static_cast<gmpi::IMpHost*>(this);
    else if (iid == gmpi::MP_IID_PROCESSOR_HOST && world_.processorHost)
        *out = static_cast<gmpi::IMpProcessorHost*>(this);
    else if (iid == gmpi::MP_IID_HOST_EMBEDDED_FILE_SUPPORT && world_.embeddedFiles)
        *out = static_cast<gmpi::IEmbeddedFileSupport*>(this);
    else
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    addRef();
    return gmpi::MP_OK;
}

int32_t Processor::setPin(int32_t position, int32_t pinId, int32_t size, const void* data)
{
    ++updateCount;
    if (!world_.record && !onUpdate)
        return gmpi::MP_OK;
    alloc::Pause pause;
    PinUpdate u{{}, now_ + position, blockIndex_, position, pinId, {}};
    if (data && size > 0)
        u.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    if (onUpdate)
        onUpdate(u);
    if (world_.record)
        updates.push_back(std::move(u));
    return gmpi::MP_OK;
}

int32_t Processor::setPinStreaming(int32_t position, int32_t pinId, bool isStreaming)
{
    ++streamingReportCount;
    const StreamingReport r{now_ + position, blockIndex_, position, pinId, isStreaming};
    if (onStreamingReport)
    {
        alloc::Pause pause;
        onStreamingReport(r);
    }
    if (world_.record)
    {
        alloc::Pause pause;
        streamingReports.push_back(r);
    }
    return gmpi::MP_OK;
}

int32_t Processor::sleep()
{
    asleep_ = true;
    if (world_.record)
    {
        alloc::Pause pause;
        sleepRequests.push_back(blockIndex_);
    }
    return gmpi::MP_OK;
}

int32_t Processor::sendMessageToGui(int32_t id, int32_t size, const void* data)
{
    ++messageCount;
    if (onMessageToGui)
    {
        alloc::Pause pause;
        onMessageToGui(id, size, data);
    }
    if (world_.record)
    {
        alloc::Pause pause;
        MessageToGui m{blockIndex_, id, {}};
        if (data && size > 0)
            m.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
        messages.push_back(std::move(m));
    }
    return gmpi::MP_OK;
}

int32_t Processor::getBlockSize(int32_t& v)
{
    v = world_.blockSize;
    return gmpi::MP_OK;
}

int32_t Processor::getSampleRate(float& v)
{
    v = world_.sampleRate;
    return gmpi::MP_OK;
}

int32_t Processor::createPinIterator(gmpi::IMpPinIterator** out)
{
    alloc::Pause pause;
    std::vector<HostPinIterator::Pin> pins;
    for (auto& p : pins_)
        pins.push_back({p.id, p.info->direction, p.info->datatype});
    *out = new HostPinIterator(std::move(pins));
    return gmpi::MP_OK;
}

int32_t Processor::createCloneIterator(gmpi::IMpUnknown** out)
{
    alloc::Pause pause;
    std::vector<gmpi::IMpUnknown*> clones;
    for (auto* p : *group_)
        if (p->object_)
            clones.push_back(p->object_);
    *out = new HostCloneIterator(std::move(clones));
    return gmpi::MP_OK;
}

int32_t Processor::allocateSharedMemory(const wchar_t* name, void** out, float sampleRate, int32_t size,
                                        int32_t& needInitialise)
{
    alloc::Pause pause;
    *out = nullptr;
    needInitialise = 0;
    if (!name || size <= 0 || !world_.sharedMemory)
        return gmpi::MP_FAIL;
    SharedBlock& b = world_.shared_[{name, sampleRate < 0.0f ? -1.0f : sampleRate}];
    ++b.requests;
    if (!b.memory)
    {
        b.memory.reset(new char[static_cast<size_t>(size)]());
        b.size = size;
        ++b.fills;
        needInitialise = 1;
    }
    else if (size > b.size)
        return gmpi::MP_FAIL; // a block is never handed out smaller than asked
    *out = b.memory.get();
    return gmpi::MP_OK;
}

int32_t Processor::resolveFilename(const wchar_t* shortName, int32_t maxChars, wchar_t* out)
{
    if (!out || maxChars < 1)
        return gmpi::MP_FAIL;
    const std::wstring full = gmpi_sdk::fromUtf8(world_.resolve(gmpi_sdk::toUtf8(shortName ? shortName : L"")));
    const size_t n = std::min(full.size(), static_cast<size_t>(maxChars - 1));
    std::copy_n(full.c_str(), n, out);
    out[n] = L'\0';
    return gmpi::MP_OK;
}

int32_t Processor::setLatency(int32_t samples)
{
    alloc::Pause pause;
    latencyReports.push_back(samples);
    return gmpi::MP_OK;
}

int32_t Processor::resolveFilename(const char* fileName, gmpi::IString* out)
{
    if (!out)
        return gmpi::MP_FAIL;
    const std::string full = world_.resolve(fileName ? fileName : "");
    out->setData(full.data(), static_cast<int32_t>(full.size()));
    return gmpi::MP_OK;
}

int32_t Processor::openUri(const char* uri, gmpi::IMpUnknown** out)
{
    *out = openProtectedFile(uri);
    return *out ? gmpi::MP_OK : gmpi::MP_FAIL;
}
} // namespace qwhost
