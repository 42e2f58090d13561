#include "patch.h"

#include "mp_sdk_common.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qwhost
{
namespace
{
constexpr size_t kNone = std::numeric_limits<size_t>::max();
// User-interface values passed on deeper than this have gone round a loop.
constexpr int kMaxDepth = 100;

bool compatible(int a, int b)
{
    auto integer = [](int t) { return t == gmpi::MP_INT32 || t == gmpi::MP_ENUM; };
    return a == b || (integer(a) && integer(b));
}

std::string nameOf(const ModuleInfo& m, const PinInfo& p)
{
    return gmpi_sdk::toUtf8(m.id) + " '" + p.name + "'";
}

std::vector<uint8_t> bytesOf(const void* data, int size)
{
    if (!data || size <= 0)
        return {};
    return std::vector<uint8_t>(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
}

struct DepthGuard
{
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    int& depth;
};
} // namespace

Patch::~Patch()
{
    // Nothing a module does while it is destroyed reaches the patch any more.
    for (auto& g : guis_)
    {
        g->onTransmit = nullptr;
        g->onMessageToAudio = nullptr;
    }
    for (auto& p : processors_)
    {
        p->onUpdate = nullptr;
        p->onStreamingReport = nullptr;
        p->onMessageToGui = nullptr;
    }
    guis_.clear();
    processors_.clear();
}

// ---------------------------------------------------------------------------
// Modules

Processor& Patch::own(std::unique_ptr<Processor> p)
{
    Processor* raw = p.get();
    raw->onUpdate = [this, raw](const PinUpdate& u) { routeUpdate(raw, u); };
    raw->onStreamingReport = [this, raw](const StreamingReport& s) { routeStreaming(raw, s); };
    processors_.push_back(std::move(p));
    return *raw;
}

GuiModule& Patch::own(std::unique_ptr<GuiModule> g)
{
    GuiModule* raw = g.get();
    raw->onTransmit = [this, raw](const GuiValue& v) { routeTransmit(raw, v); };
    guis_.push_back(std::move(g));
    return *raw;
}

Processor& Patch::addProcessor(std::shared_ptr<Bundle> bundle, const std::wstring& id)
{
    return own(processing.create(std::move(bundle), id));
}

GuiModule& Patch::addGui(std::shared_ptr<Bundle> bundle, const std::wstring& id)
{
    return own(gui.create(std::move(bundle), id, false));
}

PatchModule& Patch::add(std::shared_ptr<Bundle> bundle, const std::wstring& id)
{
    const bool hasDsp = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_AUDIO) != nullptr;
    const bool hasGui = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_GUI2) != nullptr;
    if (!hasDsp && !hasGui)
        throw Error("module " + gmpi_sdk::toUtf8(id) + " is not described for bundle '" + bundle->path() + "'");
    PatchModule m;
    if (hasDsp)
        m.processor = &addProcessor(bundle, id);
    if (hasGui)
        m.gui = &addGui(bundle, id);
    if (m.processor && m.gui)
        pair(*m.processor, *m.gui);
    modules_.push_back(m);
    return modules_.back();
}

void Patch::pair(Processor& p, GuiModule& g)
{
    for (int gp = 0; gp < g.pinCount(); ++gp)
    {
        const PinInfo& gInfo = g.pinInfo(gp);
        if (!gInfo.parameter || findGui(&g, gp) != kNone)
            continue;
        for (int pp = 0; pp < p.pinCount(); ++pp)
        {
            const PinInfo& pInfo = p.pinInfo(pp);
            if (!pInfo.parameter || pInfo.name != gInfo.name)
                continue;
            if (!compatible(pInfo.datatype, gInfo.datatype))
                throw Error("parameter " + nameOf(g.info(), gInfo) + " is " + datatypeName(gInfo.datatype) +
                            " in the user-interface half and " + datatypeName(pInfo.datatype) +
                            " in the processing half");
            const size_t net = netForGui(&g, gp);
            if (pInfo.direction == gmpi::MP_IN)
                nets_[net].inputs.push_back({&p, pp});
            else
                merge(netForSource(&p, pp), net);
            break;
        }
    }
    p.onMessageToGui = [this, g = &g](int id, int size, const void* data) {
        toGui_.push_back({g, true, id, bytesOf(data, size)});
    };
    g.onMessageToAudio = [this, p = &p](int id, int size, const void* data) {
        toAudio_.push_back({p, {id, bytesOf(data, size)}});
    };
}

// ---------------------------------------------------------------------------
// Cords

int Patch::resolve(const Processor& p, const PatchPin& pin) const
{
    const int i = pin.index >= 0 ? pin.index : p.pin(pin.name);
    p.pinInfo(i); // throws for a pin that does not exist
    return i;
}

int Patch::resolve(const GuiModule& g, const PatchPin& pin) const
{
    const int i = pin.index >= 0 ? pin.index : g.pin(pin.name);
    g.pinInfo(i);
    return i;
}

size_t Patch::findGui(const GuiModule* g, int pin) const
{
    for (size_t n = 0; n < nets_.size(); ++n)
        for (auto& e : nets_[n].gui)
            if (e.module == g && e.pin == pin)
                return n;
    return kNone;
}

size_t Patch::findInput(const Processor* p, int pin) const
{
    for (size_t n = 0; n < nets_.size(); ++n)
        for (auto& e : nets_[n].inputs)
            if (e.module == p && e.pin == pin)
                return n;
    return kNone;
}

size_t Patch::findSource(const Processor* p, int pin) const
{
    for (size_t n = 0; n < nets_.size(); ++n)
        if (nets_[n].source.module == p && nets_[n].source.pin == pin)
            return n;
    return kNone;
}

size_t Patch::netForGui(GuiModule* g, int pin)
{
    size_t n = findGui(g, pin);
    if (n == kNone)
    {
        nets_.push_back({});
        n = nets_.size() - 1;
        nets_[n].gui.push_back({g, pin});
    }
    return n;
}

size_t Patch::netForSource(Processor* p, int pin)
{
    size_t n = findSource(p, pin);
    if (n == kNone)
    {
        nets_.push_back({});
        n = nets_.size() - 1;
        nets_[n].source = {p, pin};
    }
    return n;
}

size_t Patch::merge(size_t into, size_t from)
{
    if (into == from)
        return into;
    Net& a = nets_[into];
    Net& b = nets_[from];
    if (a.source.module && b.source.module)
        throw Error("a cord would join two processing outputs: " +
                    nameOf(a.source.module->info(), a.source.module->pinInfo(a.source.pin)) + " and " +
                    nameOf(b.source.module->info(), b.source.module->pinInfo(b.source.pin)));
    if (b.source.module)
        a.source = b.source;
    a.gui.insert(a.gui.end(), b.gui.begin(), b.gui.end());
    a.inputs.insert(a.inputs.end(), b.inputs.begin(), b.inputs.end());
    nets_.erase(nets_.begin() + static_cast<std::ptrdiff_t>(from));
    return from < into ? into - 1 : into;
}

void Patch::checkFreeInput(const Processor& to, int input) const
{
    const PinInfo& info = to.pinInfo(input);
    if (info.direction != gmpi::MP_IN)
        throw Error(nameOf(to.info(), info) + " is not an input");
    if (findInput(&to, input) != kNone)
        throw Error(nameOf(to.info(), info) + " already has a cord");
}

void Patch::connect(Processor& from, PatchPin output, Processor& to, PatchPin input)
{
    const int out = resolve(from, output), in = resolve(to, input);
    const PinInfo& o = from.pinInfo(out);
    const PinInfo& i = to.pinInfo(in);
    if (o.direction != gmpi::MP_OUT)
        throw Error(nameOf(from.info(), o) + " is not an output");
    checkFreeInput(to, in);
    if (!compatible(o.datatype, i.datatype))
        throw Error("cannot join " + datatypeName(o.datatype) + " output " + nameOf(from.info(), o) + " to " +
                    datatypeName(i.datatype) + " input " + nameOf(to.info(), i));
    nets_[netForSource(&from, out)].inputs.push_back({&to, in});
    if (started_ && i.datatype == gmpi::MP_AUDIO)
        to.setStreaming(in, false, 0);
}

void Patch::connect(GuiModule& from, PatchPin pin, Processor& to, PatchPin input)
{
    const int gp = resolve(from, pin), in = resolve(to, input);
    const PinInfo& g = from.pinInfo(gp);
    const PinInfo& i = to.pinInfo(in);
    checkFreeInput(to, in);
    if (!compatible(g.datatype, i.datatype) || i.datatype == gmpi::MP_AUDIO || i.datatype == gmpi::MP_MIDI)
        throw Error("cannot join " + datatypeName(g.datatype) + " pin " + nameOf(from.info(), g) + " to " +
                    datatypeName(i.datatype) + " input " + nameOf(to.info(), i));
    nets_[netForGui(&from, gp)].inputs.push_back({&to, in});
}

void Patch::connect(GuiModule& a, PatchPin pinA, GuiModule& b, PatchPin pinB)
{
    const int pa = resolve(a, pinA), pb = resolve(b, pinB);
    const PinInfo& ia = a.pinInfo(pa);
    const PinInfo& ib = b.pinInfo(pb);
    if (!compatible(ia.datatype, ib.datatype))
        throw Error("cannot join " + datatypeName(ia.datatype) + " pin " + nameOf(a.info(), ia) + " to " +
                    datatypeName(ib.datatype) + " pin " + nameOf(b.info(), ib));
    const size_t na = netForGui(&a, pa);
    const size_t nb = netForGui(&b, pb);
    merge(na, nb);
}

// ---------------------------------------------------------------------------
// Values on their way

void Patch::routeTransmit(GuiModule* from, const GuiValue& v)
{
    const size_t n = findGui(from, v.pin);
    if (n == kNone)
        return;
    if (depth_ >= kMaxDepth)
        throw Error("user-interface values go round a loop of cords (from " + gmpi_sdk::toUtf8(from->info().id) +
                    " pin " + std::to_string(v.pin) + ")");
    DepthGuard guard(depth_);
    const Net net = nets_[n]; // delivery runs module code; keep our own copy of the ends
    const int size = static_cast<int>(v.data.size());
    const void* data = v.data.empty() ? nullptr : v.data.data();
    for (auto& e : net.gui)
        if (e.module != from || e.pin != v.pin)
            e.module->set(e.pin, data, size, v.voice);
    for (auto& e : net.inputs)
        e.module->setRaw(e.pin, data, size, 0);
}

void Patch::routeUpdate(Processor* from, const PinUpdate& u)
{
    const size_t n = findSource(from, u.pin);
    if (n == kNone)
        return;
    const Net& net = nets_[n];
    const int size = static_cast<int>(u.data.size());
    for (auto& e : net.inputs)
    {
        if (e.module->pinInfo(e.pin).datatype == gmpi::MP_MIDI)
            e.module->sendMidi(e.pin, u.data, u.position);
        else
            e.module->setRaw(e.pin, u.data.empty() ? nullptr : u.data.data(), size, u.position);
    }
    for (auto& e : net.gui)
        toGui_.push_back({e.module, false, e.pin, u.data});
}

void Patch::routeStreaming(Processor* from, const StreamingReport& s)
{
    const size_t n = findSource(from, s.pin);
    if (n == kNone)
        return;
    for (auto& e : nets_[n].inputs)
        if (e.module->pinInfo(e.pin).datatype == gmpi::MP_AUDIO)
            e.module->setStreaming(e.pin, s.streaming, s.position);
}

void Patch::deliverToGui()
{
    std::vector<PendingGui> due;
    due.swap(toGui_);
    for (auto& d : due)
    {
        const void* data = d.data.empty() ? nullptr : d.data.data();
        const int size = static_cast<int>(d.data.size());
        if (d.message)
            d.module->messageFromAudio(d.id, data, size);
        else
            d.module->set(d.id, data, size);
    }
}

// ---------------------------------------------------------------------------
// Running

std::vector<Processor*> Patch::order() const
{
    const size_t count = processors_.size();
    auto indexOf = [this](const Processor* p) {
        for (size_t i = 0; i < processors_.size(); ++i)
            if (processors_[i].get() == p)
                return i;
        return kNone;
    };
    std::vector<std::vector<size_t>> downstream(count);
    std::vector<int> upstreamLeft(count, 0);
    for (auto& net : nets_)
    {
        if (!net.source.module)
            continue;
        const size_t s = indexOf(net.source.module);
        for (auto& in : net.inputs)
        {
            const size_t d = indexOf(in.module);
            if (d == s || std::find(downstream[s].begin(), downstream[s].end(), d) != downstream[s].end())
                continue;
            downstream[s].push_back(d);
            ++upstreamLeft[d];
        }
    }
    std::vector<Processor*> out;
    std::vector<bool> done(count, false);
    while (out.size() < count)
    {
        // The first module in adding order with nothing upstream left; in a
        // loop of cords, the first one left.
        size_t pick = kNone;
        for (size_t i = 0; i < count && pick == kNone; ++i)
            if (!done[i] && upstreamLeft[i] == 0)
                pick = i;
        for (size_t i = 0; i < count && pick == kNone; ++i)
            if (!done[i])
                pick = i;
        done[pick] = true;
        out.push_back(processors_[pick].get());
        for (size_t d : downstream[pick])
            --upstreamLeft[d];
    }
    return out;
}

void Patch::start()
{
    for (auto& p : processors_)
    {
        p->startGraph();
        // A connected audio input takes the sending output's samples.
        for (auto& net : nets_)
            if (net.source.module)
                for (auto& in : net.inputs)
                    if (in.module == p.get() && p->pinInfo(in.pin).datatype == gmpi::MP_AUDIO)
                        p->setStreaming(in.pin, false, 0);
    }
    started_ = true;
    for (auto& g : guis_)
    {
        g->setDefaults();
        g->initialize();
    }
}

void Patch::run(int n)
{
    if (!started_)
        throw Error("run before start");
    for (Processor* p : order())
    {
        std::vector<PendingMessage> messages;
        for (auto it = toAudio_.begin(); it != toAudio_.end();)
        {
            if (it->first == p)
            {
                messages.push_back(std::move(it->second));
                it = toAudio_.erase(it);
            }
            else
                ++it;
        }
        if (!messages.empty())
            p->wake();
        for (auto& m : messages)
            p->plugin()->receiveMessageFromGui(m.id, static_cast<int32_t>(m.data.size()),
                                               m.data.empty() ? nullptr : m.data.data());
        for (auto& net : nets_)
        {
            if (!net.source.module || net.source.module->pinInfo(net.source.pin).datatype != gmpi::MP_AUDIO)
                continue;
            for (auto& in : net.inputs)
                if (in.module == p)
                    std::copy_n(net.source.module->output(net.source.pin), n, p->input(in.pin));
        }
        p->run(n);
    }
    deliverToGui();
}

void Patch::runFor(int64_t total, int block)
{
    while (total > 0)
    {
        const int n = static_cast<int>(std::min<int64_t>(total, block));
        run(n);
        total -= n;
    }
}
} // namespace qwhost
