// The user-interface side of the host stand-in: creates user-interface
// objects (subtype 2) from a loaded bundle, answers the host interfaces they
// ask for (current and first generation), delivers host values as setPin
// then notifyPin, and records what the module tells the host.
//
//   qwhost::GuiHost host;                       // settings below
//   auto g = host.create(bundle, L"QW_Name");   // setHost, every pin's default, initialize
//   g->setFloat(0, 0.5f);                       // setPin then notifyPin
//   g->transmits                                // every pinTransmit, in order
//
// A module's pinTransmit is recorded; the value then comes back to the pin
// that sent it as the host's `echo` setting says: inside the call (setPin then
// notifyPin before pinTransmit returns), later (held until deliverEchoes) or
// not at all.
//
// Resources: FindResourceU answers a resource added with addResource, else a
// file of that name in the resource folder; RegisterResourceUri answers the
// name's path in the resource folder and records the request; OpenUri opens a
// file by path. File names resolve as the processing host resolves them:
// absolute names stay, others go under the resource folder, and an empty name
// gives the resource folder itself.
#pragma once

#include "bundle.h"
#include "metadata.h"
#include "mp_api_gui.h"
#include "raw_value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GuiPinOwner;

namespace qwhost
{
// A value a module handed to the host.
struct GuiValue : RawValueReader<GuiValue>
{
    int pin;
    int voice;
    std::vector<uint8_t> data;
};

struct MessageToAudio
{
    int id;
    std::vector<uint8_t> data;
};

// What the host does with a transmitted value on the pin that sent it.
enum class Echo
{
    Inside, // setPin then notifyPin before pinTransmit returns
    Later,  // held until deliverEchoes
    None,
};

class GuiModule;

class GuiHost
{
public:
    std::string resourceFolder = "."; // where relative file names resolve
    bool confineFiles = false;        // as the processing host's
    bool offerHost2 = true;           // answer MP_IID_UI_HOST2
    bool offerLegacyHost = true;      // answer MP_IID_UI_HOST
    Echo echo = Echo::None;
    int autoDuplicateCount = 2; // copies the host makes of an auto-duplicating pin
    // What the first-generation host answers for a module's pin count; unset:
    // the number of pins it made.
    std::optional<int32_t> pinCountAnswer;
    int leakedHostReferences = 0; // references modules kept on their host after they were destroyed
    // Runs for each new module before it gets its host: the place to add
    // further host interfaces with GuiModule::answer (the graphics host, say).
    std::function<void(GuiModule&)> prepare;

    // Creates the user-interface object of a module and gives it the host
    // (setHost; the factory does it for first-generation objects). With
    // `start`, then every described pin's default (setPin then notifyPin, in
    // pin order) and initialize. Throws Error when the module is not
    // described, the factory refuses it or it answers no user-interface view.
    std::unique_ptr<GuiModule> create(std::shared_ptr<Bundle> bundle, const std::wstring& id, bool start = true);

    // A resource that FindResourceU finds by name and type.
    void addResource(const std::string& name, const std::string& type, const std::string& path);
    // Full path of a file name.
    std::string resolve(const std::string& name) const;
    // Path of a resource: one added by name and type, else an existing file of
    // that name in the resource folder; empty when there is none.
    std::string findResource(const std::string& name, const std::string& type) const;

private:
    std::map<std::pair<std::string, std::string>, std::string> resources_;
};

class GuiModule final : public gmpi::IMpUserInterfaceHost2, public gmpi::IMpUserInterfaceHost
{
public:
    ~GuiModule();
    GuiModule(const GuiModule&) = delete;
    GuiModule& operator=(const GuiModule&) = delete;

    // --- host values: setPin, then notifyPin ---
    void set(int pin, const void* data, int size, int voice = 0);
    void setFloat(int pin, float v, int voice = 0) { set(pin, &v, 4, voice); }
    void setInt(int pin, int32_t v, int voice = 0) { set(pin, &v, 4, voice); }
    void setBool(int pin, bool v, int voice = 0);
    void setText(int pin, const std::wstring& v, int voice = 0);
    void setBlob(int pin, const std::vector<uint8_t>& v, int voice = 0);
    // A value given as text, by the pin's datatype; false with a reason when it does not fit.
    bool setFromText(int pin, const std::string& text, std::string& why, int voice = 0);
    // Every described pin at its default, in pin order.
    void setDefaults();

    // --- the host's calls one by one, with the object's answers ---
    int32_t setPinOnly(int pin, const void* data, int size, int voice = 0);
    int32_t notifyPin(int pin, int voice = 0);
    int32_t initialize();
    int32_t messageFromAudio(int id, const void* data, int size);
    // The host lets go of the object (every reference it holds) and stays
    // its host: the object goes once it holds no reference of its own. Safe
    // inside the object's own calls (a host that destroys a module in answer
    // to a value it sends); the calls above then do nothing.
    void releaseObject();
    // Echoes held back (Echo::Later), delivered in order.
    void deliverEchoes();
    size_t pendingEchoes() const { return echoes_.size(); }
    // Delivers the held echoes in order, and those they bring, until none is
    // held. False, with the rest still held, once the module has sent more
    // than `limit` values meanwhile: its echoes keep coming back.
    bool settleEchoes(size_t limit = kSettleLimit);
    static constexpr size_t kSettleLimit = 10000;

    // --- what the module told the host ---
    int32_t setHostResult = 0;
    std::vector<GuiValue> transmits;
    std::vector<MessageToAudio> messagesToAudio;
    std::vector<std::pair<std::string, std::string>> registeredResources; // name, type
    // Called after a transmit is recorded and its echo handled (patch cords).
    std::function<void(const GuiValue&)> onTransmit;
    std::function<void(int id, int size, const void* data)> onMessageToAudio;

    std::vector<const GuiValue*> transmitsOf(int pin) const;
    // The last value transmitted on a pin, or null.
    const GuiValue* lastTransmit(int pin) const;

    // Makes this module's host answer `iid` with `object`, handed out as
    // given with a reference added; the module keeps one reference to the
    // object and drops it after the object it hosts is destroyed.
    void answer(const gmpi::MpGuid& iid, gmpi::IMpUnknown* object);

    // --- the module ---
    const ModuleInfo& info() const { return *info_; }
    int pinCount() const { return static_cast<int>(pins_.size()); }
    const PinInfo& pinInfo(int pin) const;
    // Id of the first pin of that name; throws Error when there is none.
    int pin(const std::string& name) const;
    gmpi::IMpUnknown* object() const { return object_; }
    gmpi::IMpUserInterface2B* ui() const { return ui_; }         // null for a first-generation object
    gmpi::IMpUserInterface* legacyUi() const { return legacy_; } // null for a current object
    // The framework's pin table of the object (for introspection by tests).
    GuiPinOwner* pinOwner() const;
    GuiHost& host() const { return world_; }
    int hostReferences() const { return refCount_; }

    // IMpUnknown
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override { return --refCount_; }
    // IMpUserInterfaceHost2 and IMpUserInterfaceHost
    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) override;
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t sendMessageToAudio(int32_t id, int32_t size, const void* data) override;
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t RegisterResourceUri(const char* name, const char* type, gmpi::IString* returnString) override;
    int32_t OpenUri(const char* fullUri, gmpi::IProtectedFile2** returnStream) override;
    int32_t FindResourceU(const char* name, const char* type, gmpi::IString* returnString) override;
    int32_t getPinCount(int32_t& returnCount) override;
    int32_t unusedSlot6() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot8() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t resolveFilename(const wchar_t* shortFilename, int32_t maxChars, wchar_t* returnFullFilename) override;

private:
    friend class GuiHost;
    GuiModule(GuiHost& world, std::shared_ptr<Bundle> bundle, const ModuleInfo& info);
    void createObject();
    void echo(int pin, int voice, const std::vector<uint8_t>& data);

    struct InstancePin
    {
        int id;
        const PinInfo* info;
    };

    GuiHost& world_;
    std::shared_ptr<Bundle> bundle_;
    const ModuleInfo* info_;
    std::vector<InstancePin> pins_;
    std::vector<GuiValue> echoes_;
    int echoDepth_ = 0;
    std::vector<std::pair<gmpi::MpGuid, gmpi::IMpUnknown*>> answers_;

    gmpi::IMpUnknown* object_ = nullptr;
    gmpi::IMpUserInterface2B* ui_ = nullptr;
    gmpi::IMpUserInterface* legacy_ = nullptr;
    int32_t refCount_ = 1;
};
} // namespace qwhost
