#include "ui_host.h"

#include "counted.h"

#include "mp_sdk_gui.h"
#include "processing_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace qwhost
{
namespace
{
bool isRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void fill(gmpi::IString* out, const std::string& text)
{
    if (out)
        out->setData(text.data(), static_cast<int32_t>(text.size()));
}

// Deeper than this, an echo inside the call waits for deliverEchoes instead.
constexpr int kMaxEchoDepth = 32;
} // namespace

// ---------------------------------------------------------------------------
// GuiHost

std::unique_ptr<GuiModule> GuiHost::create(std::shared_ptr<Bundle> bundle, const std::wstring& id, bool start)
{
    const ModuleInfo* info = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_GUI2);
    if (!info)
        throw Error("no user-interface module " + gmpi_sdk::toUtf8(id) + " is described for bundle '" + bundle->path() +
                    "'");
    std::unique_ptr<GuiModule> g(new GuiModule(*this, std::move(bundle), *info));
    if (prepare)
        prepare(*g);
    g->createObject();
    if (start)
    {
        g->setDefaults();
        g->initialize();
    }
    return g;
}

void GuiHost::addResource(const std::string& name, const std::string& type, const std::string& path)
{
    resources_[{name, type}] = path;
}

std::string GuiHost::resolve(const std::string& name) const
{
    if (confineFiles)
        return confinedPath(resourceFolder, name);
    if (!name.empty() && name[0] == '/')
        return name;
    if (name.empty())
        return resourceFolder;
    return resourceFolder + "/" + name;
}

std::string GuiHost::findResource(const std::string& name, const std::string& type) const
{
    auto it = resources_.find({name, type});
    if (it != resources_.end())
        return it->second;
    if (name.empty())
        return {};
    const std::string path = resolve(name);
    return isRegularFile(path) ? path : std::string();
}

// ---------------------------------------------------------------------------
// GuiModule

GuiModule::GuiModule(GuiHost& world, std::shared_ptr<Bundle> bundle, const ModuleInfo& info)
    : world_(world), bundle_(std::move(bundle)), info_(&info)
{
    int id = 0;
    for (auto& p : info.pins)
    {
        const int copies = p.autoDuplicate ? std::max(world.autoDuplicateCount, 0) : 1;
        for (int c = 0; c < copies; ++c)
            pins_.push_back({id++, &p});
    }
}

void GuiModule::createObject()
{
    void* obj = nullptr;
    const int32_t r = bundle_->factory()->createInstance(info_->id.c_str(), gmpi::MP_SUB_TYPE_GUI2,
                                                         static_cast<gmpi::IMpUserInterfaceHost2*>(this), &obj);
    if (r != gmpi::MP_OK || !obj)
        throw Error("the factory of '" + bundle_->path() + "' refused user-interface object " +
                    gmpi_sdk::toUtf8(info_->id) + " (code " + std::to_string(r) + ")");
    object_ = static_cast<gmpi::IMpUnknown*>(obj);
    void* view = nullptr;
    if (object_->queryInterface(gmpi::MP_IID_GUI_PLUGIN2B, &view) == gmpi::MP_OK && view)
    {
        ui_ = static_cast<gmpi::IMpUserInterface2B*>(view);
        setHostResult = ui_->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(this));
        return;
    }
    if (object_->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &view) == gmpi::MP_OK && view)
    {
        legacy_ = static_cast<gmpi::IMpUserInterface*>(view);
        return; // the factory gave it the host
    }
    throw Error(gmpi_sdk::toUtf8(info_->id) + " does not answer a user-interface interface");
}

GuiModule::~GuiModule()
{
    if (ui_)
        ui_->release();
    if (legacy_)
        legacy_->release();
    if (object_)
        object_->release();
    for (auto& a : answers_)
        a.second->release();
    world_.leakedHostReferences += refCount_ - 1;
}

void GuiModule::releaseObject()
{
    // Cleared before the releases: the object may call back while it goes.
    gmpi::IMpUnknown* object = std::exchange(object_, nullptr);
    gmpi::IMpUserInterface2B* ui = std::exchange(ui_, nullptr);
    gmpi::IMpUserInterface* legacy = std::exchange(legacy_, nullptr);
    if (ui)
        ui->release();
    if (legacy)
        legacy->release();
    if (object)
        object->release();
}

void GuiModule::answer(const gmpi::MpGuid& iid, gmpi::IMpUnknown* object)
{
    if (!object)
        return;
    object->addRef();
    for (auto& a : answers_)
        if (a.first == iid)
        {
            a.second->release();
            a.second = object;
            return;
        }
    answers_.push_back({iid, object});
}

GuiPinOwner* GuiModule::pinOwner() const
{
    // Objects of our bundles hand out their primary view, which starts the base.
    if (ui_)
        return static_cast<MpGuiBase2*>(ui_);
    if (legacy_)
        return static_cast<MpGuiBase_base*>(legacy_);
    return nullptr;
}

const PinInfo& GuiModule::pinInfo(int pin) const
{
    if (pin < 0 || pin >= pinCount())
        throw Error("module " + gmpi_sdk::toUtf8(info_->id) + " has no pin " + std::to_string(pin));
    return *pins_[static_cast<size_t>(pin)].info;
}

int GuiModule::pin(const std::string& name) const
{
    for (auto& p : pins_)
        if (p.info->name == name)
            return p.id;
    throw Error("user-interface module " + gmpi_sdk::toUtf8(info_->id) + " has no pin named '" + name + "'");
}

// ---------------------------------------------------------------------------
// Host values

int32_t GuiModule::setPinOnly(int pin, const void* data, int size, int voice)
{
    if (!ui_ && !legacy_)
        return gmpi::MP_FAIL;
    if (ui_)
        return ui_->setPin(pin, voice, size, data);
    return legacy_->setPin(pin, voice, size, const_cast<void*>(data));
}

int32_t GuiModule::notifyPin(int pin, int voice)
{
    if (!ui_ && !legacy_)
        return gmpi::MP_FAIL;
    return ui_ ? ui_->notifyPin(pin, voice) : legacy_->notifyPin(pin, voice);
}

int32_t GuiModule::initialize()
{
    if (!ui_ && !legacy_)
        return gmpi::MP_FAIL;
    return ui_ ? ui_->initialize() : legacy_->initialize();
}

int32_t GuiModule::messageFromAudio(int id, const void* data, int size)
{
    if (!ui_ && !legacy_)
        return gmpi::MP_FAIL;
    if (ui_)
        return ui_->receiveMessageFromAudio(id, size, data);
    return legacy_->receiveMessageFromAudio(id, size, const_cast<void*>(data));
}

void GuiModule::set(int pin, const void* data, int size, int voice)
{
    // The module may change the caller's buffer from its handler; it gets a copy.
    std::vector<uint8_t> bytes;
    if (data && size > 0)
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    setPinOnly(pin, bytes.empty() ? nullptr : bytes.data(), static_cast<int>(bytes.size()), voice);
    notifyPin(pin, voice);
}

void GuiModule::setBool(int pin, bool v, int voice)
{
    set(pin, &v, 1, voice);
}

void GuiModule::setText(int pin, const std::wstring& v, int voice)
{
    set(pin, v.data(), static_cast<int>(v.size() * 4), voice);
}

void GuiModule::setBlob(int pin, const std::vector<uint8_t>& v, int voice)
{
    set(pin, v.data(), static_cast<int>(v.size()), voice);
}

bool GuiModule::setFromText(int pin, const std::string& text, std::string& why, int voice)
{
    const PinInfo& info = pinInfo(pin);
    std::vector<uint8_t> bytes;
    if (!encodePinValue(info.datatype, text, bytes, why))
        return false;
    set(pin, bytes.data(), static_cast<int>(bytes.size()), voice);
    return true;
}

void GuiModule::setDefaults()
{
    for (auto& p : pins_)
    {
        const PinInfo& info = *p.info;
        if (info.datatype == gmpi::MP_MIDI || info.datatype == gmpi::MP_AUDIO)
            continue;
        std::string why;
        if (!setFromText(p.id, info.defaultValue, why))
            throw Error(info_->source + ": default of pin '" + info.name + "': " + why);
    }
}

void GuiModule::echo(int pin, int voice, const std::vector<uint8_t>& data)
{
    ++echoDepth_;
    setPinOnly(pin, data.empty() ? nullptr : data.data(), static_cast<int>(data.size()), voice);
    notifyPin(pin, voice);
    --echoDepth_;
}

void GuiModule::deliverEchoes()
{
    // Echoes that arrive while these are delivered wait for the next call.
    std::vector<GuiValue> due;
    due.swap(echoes_);
    for (auto& e : due)
        echo(e.pin, e.voice, e.data);
}

bool GuiModule::settleEchoes(size_t limit)
{
    const size_t start = transmits.size();
    while (!echoes_.empty())
    {
        std::vector<GuiValue> due;
        due.swap(echoes_);
        for (size_t i = 0; i < due.size(); ++i)
        {
            if (transmits.size() - start > limit)
            {
                echoes_.insert(echoes_.begin(), due.begin() + static_cast<std::ptrdiff_t>(i), due.end());
                return false;
            }
            echo(due[i].pin, due[i].voice, due[i].data);
        }
    }
    return transmits.size() - start <= limit;
}

std::vector<const GuiValue*> GuiModule::transmitsOf(int pin) const
{
    std::vector<const GuiValue*> out;
    for (auto& t : transmits)
        if (t.pin == pin)
            out.push_back(&t);
    return out;
}

const GuiValue* GuiModule::lastTransmit(int pin) const
{
    for (auto it = transmits.rbegin(); it != transmits.rend(); ++it)
        if (it->pin == pin)
            return &*it;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Host services

int32_t GuiModule::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (iid == gmpi::MP_IID_UNKNOWN)
        *out = static_cast<gmpi::IMpUserInterfaceHost2*>(this);
    else if (iid == gmpi::MP_IID_UI_HOST2 && world_.offerHost2)
        *out = static_cast<gmpi::IMpUserInterfaceHost2*>(this);
    else if (iid == gmpi::MP_IID_UI_HOST && world_.offerLegacyHost)
        *out = static_cast<gmpi::IMpUserInterfaceHost*>(this);
    else
    {
        for (auto& a : answers_)
            if (a.first == iid)
            {
                *out = a.second;
                a.second->addRef();
                return gmpi::MP_OK;
            }
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    addRef();
    return gmpi::MP_OK;
}

int32_t GuiModule::pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice)
{
    GuiValue v{{}, pinId, voice, {}};
    if (data && size > 0)
        v.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    transmits.push_back(v);
    switch (world_.echo)
    {
    case Echo::Inside:
        if (echoDepth_ < kMaxEchoDepth)
            echo(pinId, voice, v.data);
        else
            echoes_.push_back(v);
        break;
    case Echo::Later:
        echoes_.push_back(v);
        break;
    case Echo::None:
        break;
    }
    if (onTransmit)
        onTransmit(v);
    return gmpi::MP_OK;
}

int32_t GuiModule::sendMessageToAudio(int32_t id, int32_t size, const void* data)
{
    MessageToAudio m{id, {}};
    if (data && size > 0)
        m.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    messagesToAudio.push_back(m);
    if (onMessageToAudio)
        onMessageToAudio(id, static_cast<int>(m.data.size()), m.data.empty() ? nullptr : m.data.data());
    return gmpi::MP_OK;
}

int32_t GuiModule::RegisterResourceUri(const char* name, const char* type, gmpi::IString* out)
{
    const std::string n = name ? name : "", t = type ? type : "";
    registeredResources.push_back({n, t});
    fill(out, world_.resolve(n));
    return gmpi::MP_OK;
}

int32_t GuiModule::OpenUri(const char* uri, gmpi::IProtectedFile2** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    *out = openProtectedFile(uri);
    return *out ? gmpi::MP_OK : gmpi::MP_FAIL;
}

int32_t GuiModule::FindResourceU(const char* name, const char* type, gmpi::IString* out)
{
    const std::string path = world_.findResource(name ? name : "", type ? type : "");
    fill(out, path);
    return path.empty() ? gmpi::MP_FAIL : gmpi::MP_OK;
}

int32_t GuiModule::getPinCount(int32_t& count)
{
    count = world_.pinCountAnswer.value_or(pinCount());
    return gmpi::MP_OK;
}

int32_t GuiModule::resolveFilename(const wchar_t* shortName, int32_t maxChars, wchar_t* out)
{
    if (!out || maxChars < 1)
        return gmpi::MP_FAIL;
    const std::wstring full = gmpi_sdk::fromUtf8(world_.resolve(gmpi_sdk::toUtf8(shortName ? shortName : L"")));
    const size_t n = std::min(full.size(), static_cast<size_t>(maxChars - 1));
    std::copy_n(full.c_str(), n, out);
    out[n] = L'\0';
    return gmpi::MP_OK;
}
} // namespace qwhost
