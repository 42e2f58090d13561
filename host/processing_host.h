// The processing side of the host stand-in: creates processing objects from a
// loaded bundle, gives each one the host services it asks for, builds sorted
// event lists, runs blocks, and records everything the module tells the host.
#pragma once

#include "bundle.h"
#include "metadata.h"
#include "mp_api.h"
#include "raw_value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MpPluginBase;

namespace qwhost
{
struct PinUpdate : RawValueReader<PinUpdate>
{
    int64_t time;  // samples since the first block
    int64_t block; // index of the block
    int position;  // block position the module gave
    int pin;
    std::vector<uint8_t> data;
};

struct StreamingReport
{
    int64_t time;
    int64_t block;
    int position;
    int pin;
    bool streaming;
};

struct MessageToGui
{
    int64_t block;
    int id;
    std::vector<uint8_t> data;
};

struct SharedBlock
{
    std::unique_ptr<char[]> memory;
    int32_t size = 0;
    int fills = 0;    // callers told to initialise it (the host makes this exactly one)
    int requests = 0; // every call that asked for it
};

// A file named `name` directly in `folder`: every '/' of the name becomes
// '_', and "." and ".." become "_." and "_..". An empty name is the folder.
std::string confinedPath(const std::string& folder, const std::string& name);

// Raw value bytes of a pin value written as text ("0.5", "3", "true", a text).
// Returns false with a reason when the text does not fit the datatype.
bool encodePinValue(int datatype, const std::string& text, std::vector<uint8_t>& out, std::string& why);

class Processor;

class ProcessingHost
{
public:
    float sampleRate = 44100.0f;
    int blockSize = 256;              // the host's largest block
    std::string resourceFolder = "."; // where relative file names resolve
    // Every name resolves to a file directly in the resource folder, whatever
    // it says (see confinedPath): random names in a test write nowhere else.
    bool confineFiles = false;
    bool embeddedFiles = true;    // offer the embedded-file interface
    bool processorHost = true;    // offer the processor-host interface (latency reports)
    bool sharedMemory = true;     // hand out shared memory blocks (false: every request fails)
    int autoDuplicateCount = 2;   // copies the host makes of an auto-duplicating pin
    int leakedHostReferences = 0; // references modules kept on their host after they were destroyed
    // Keep what modules tell the host (updates, streaming reports, messages).
    // Benchmarks turn it off: then only the counts below grow.
    bool record = true;

    // Creates the processing object of a module and opens it (open, then one
    // setBuffer per audio pin). Throws Error when the module is not described
    // or the factory refuses it.
    std::unique_ptr<Processor> create(std::shared_ptr<Bundle> bundle, const std::wstring& id);
    // The clones of a polyphonic module: one object per voice, one group.
    std::vector<std::unique_ptr<Processor>> createVoices(std::shared_ptr<Bundle> bundle, const std::wstring& id,
                                                         int voices);

    const SharedBlock* sharedBlock(const std::wstring& name, float sampleRate = -1.0f) const;
    // Full path of a file name: absolute names stay, others go under the resource folder.
    std::string resolve(const std::string& name) const;

private:
    friend class Processor;
    std::map<std::pair<std::wstring, float>, SharedBlock> shared_;
};

class Processor final : public gmpi::IMpHost, public gmpi::IMpProcessorHost, public gmpi::IEmbeddedFileSupport
{
public:
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    // --- inputs, taking effect at an offset from the start of the next block
    // (later offsets are kept for later blocks) ---
    void setRaw(int pin, const void* data, int size, int offset = 0);
    void setFloat(int pin, float v, int offset = 0) { setRaw(pin, &v, 4, offset); }
    void setInt(int pin, int32_t v, int offset = 0) { setRaw(pin, &v, 4, offset); }
    void setBool(int pin, bool v, int offset = 0);
    void setText(int pin, const std::wstring& v, int offset = 0);
    void setBlob(int pin, const std::vector<uint8_t>& v, int offset = 0);
    // A value given as text, by the pin's datatype; false with a reason when it does not fit.
    bool setFromText(int pin, const std::string& text, std::string& why, int offset = 0);
    // Audio input held at a constant from offset on, reported as not streaming.
    void setConstant(int pin, float value, int offset = 0);
    // Audio input streaming from offset on; the caller fills input(pin) each block.
    void setStreaming(int pin, bool streaming, int offset = 0);
    void sendMidi(int pin, const std::vector<uint8_t>& bytes, int offset = 0);
    void graphStart(int offset = 0);
    // Every input at its described default (audio inputs as constants), then graph start.
    void startGraph(int offset = 0);
    // Delivered as given (times, order, sizes unchecked) in the next block, alone.
    void rawEvents(const std::vector<gmpi::MpEvent>& events);

    // Runs one block of n samples (n <= the host's block size).
    void run(int n);
    // Runs `total` samples in blocks of `block`.
    void runFor(int64_t total, int block);

    float* input(int pin);
    float* output(int pin);

    // --- what the module told the host ---
    std::vector<PinUpdate> updates;
    std::vector<StreamingReport> streamingReports;
    std::vector<int64_t> sleepRequests; // block index of each sleep call
    std::vector<int32_t> latencyReports;
    std::vector<MessageToGui> messages;
    // Counts of the calls above, kept whether or not the host records them.
    int64_t updateCount = 0;
    int64_t streamingReportCount = 0;
    int64_t messageCount = 0;
    std::function<void(int id, int size, const void* data)> onMessageToGui;
    // Called inside process after an update or streaming report is recorded (patch cords).
    std::function<void(const PinUpdate&)> onUpdate;
    std::function<void(const StreamingReport&)> onStreamingReport;

    bool asleep() const { return asleep_; }
    // Calls the module again from the next block (a message for it arrived).
    void wake() { asleep_ = false; }
    int64_t now() const { return now_; } // sample time of the next block
    int64_t blocks() const { return blockIndex_; }
    int64_t processCalls() const { return processCalls_; }
    long allocationsInLastProcess() const { return lastAllocations_; }
    long allocationsAfterFirstBlock() const { return laterAllocations_; }
    void resetAllocationCount() { laterAllocations_ = 0; }
    int hostReferences() const { return refCount_; }

    // --- the module ---
    const ModuleInfo& info() const { return *info_; }
    int pinCount() const { return static_cast<int>(pins_.size()); }
    const PinInfo& pinInfo(int pin) const;
    // Id of the first pin of that name; throws Error when there is none.
    int pin(const std::string& name) const;
    gmpi::IMpUnknown* object() const { return object_; }
    gmpi::IMpPlugin2* plugin() const { return plugin_; }
    // The framework base of the object (for introspection by tests).
    MpPluginBase* base() const;
    ProcessingHost& host() const { return world_; }

    // IMpUnknown
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override { return --refCount_; }
    // IMpHost
    int32_t setPin(int32_t blockRelativeTimestamp, int32_t pinId, int32_t size, const void* data) override;
    int32_t setPinStreaming(int32_t blockRelativeTimestamp, int32_t pinId, bool isStreaming) override;
    int32_t sleep() override;
    int32_t sendMessageToGui(int32_t id, int32_t size, const void* messageData) override;
    int32_t getBlockSize(int32_t& returnValue) override;
    int32_t getSampleRate(float& returnValue) override;
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot10() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot11() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot12() override { return gmpi::MP_NOSUPPORT; }
    int32_t createPinIterator(gmpi::IMpPinIterator** returnInterface) override;
    int32_t unusedSlot14() override { return gmpi::MP_NOSUPPORT; }
    int32_t createCloneIterator(gmpi::IMpUnknown** returnInterface) override;
    int32_t allocateSharedMemory(const wchar_t* name, void** returnPointer, float sampleRate, int32_t size,
                                 int32_t& returnNeedInitialise) override;
    int32_t resolveFilename(const wchar_t* shortFilename, int32_t maxChars, wchar_t* returnFullFilename) override;
    // IMpProcessorHost
    int32_t unusedSlot3() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t setLatency(int32_t latencySamples) override;
    // IEmbeddedFileSupport
    int32_t resolveFilename(const char* fileName, gmpi::IString* returnFullUri) override;
    int32_t openUri(const char* fullUri, gmpi::IMpUnknown** returnStream) override;

private:
    friend class ProcessingHost;
    Processor(ProcessingHost& world, std::shared_ptr<Bundle> bundle, const ModuleInfo& info);
    void createObject();
    void openObject(); // open, then one setBuffer per audio pin

    struct InstancePin
    {
        int id;
        const PinInfo* info;
    };
    struct Queued
    {
        int64_t time;
        int64_t seq;
        int type;
        int pin;
        std::vector<uint8_t> bytes;
        bool hasConstant = false;
        float constant = 0.0f;
    };
    struct AudioInput
    {
        std::vector<float> buffer;
        bool constant = true;
        float value = 0.0f;
    };

    void queue(int type, int pin, const void* data, int size, int offset);
    void checkPin(int pin) const;

    ProcessingHost& world_;
    std::shared_ptr<Bundle> bundle_;
    const ModuleInfo* info_;
    std::vector<InstancePin> pins_;
    std::map<int, AudioInput> audioIn_;
    std::map<int, std::vector<float>> audioOut_;
    std::vector<Queued> pool_; // every entry made, reused once delivered
    std::vector<int> free_;    // entries of pool_ not in use
    std::vector<int> queue_;   // entries waiting, in the order given
    std::vector<int> due_;     // entries of the last block, in delivery order
    std::vector<gmpi::MpEvent> rawEvents_;
    bool hasRaw_ = false;
    std::vector<gmpi::MpEvent> events_;
    int64_t seq_ = 0;

    gmpi::IMpUnknown* object_ = nullptr;
    gmpi::IMpPlugin2* plugin_ = nullptr;
    std::shared_ptr<std::vector<Processor*>> group_;

    int32_t refCount_ = 1;
    int64_t now_ = 0;
    int64_t blockIndex_ = 0;
    int64_t processCalls_ = 0;
    int currentBlockStart_ = 0;
    bool asleep_ = false;
    long lastAllocations_ = 0;
    long laterAllocations_ = 0;
};
} // namespace qwhost
