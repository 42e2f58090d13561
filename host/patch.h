// A patch as a user wires it: processing halves, user-interface halves and
// modules with both halves, joined by cords, run block by block.
//
//   qwhost::Patch patch;                                   // settings: patch.processing, patch.gui
//   auto& a = patch.addProcessor(bundle, L"QW_Osc");       // processing half alone
//   auto& b = patch.addProcessor(bundle, L"QW_Amp");
//   auto& k = patch.addGui(bundle, L"QW_Knob");            // user-interface half alone
//   auto& m = patch.add(bundle, L"QW_Scope");              // both halves, paired
//   patch.connect(a, "Output", b, "Signal");               // processing output -> processing input
//   patch.connect(k, "Value", b, "Gain");                  // user-interface pin -> processing input
//   patch.connect(k, "Value", *m.gui, "Level");            // user-interface pin <-> user-interface pin
//   patch.start();                                         // every pin at its default, graph start
//   patch.run(64);                                         // one block
//
// Pins are given by name (the first pin of that name) or by index.
//
// Processing cords run from an output to an input of the same datatype (int
// and enumeration mix), one cord per input. In each block the processing
// halves run in patch order: upstream before downstream, in the order added
// where the cords leave a choice (a cord back upstream delivers one block
// later). Before a module runs, its connected audio inputs take the sending
// output's samples of this block; an output's pin updates (MIDI included) and
// streaming reports become the connected inputs' events at the same sample.
//
// User-interface cords join pins into nets that carry a value both ways, as
// the host's user-interface connections do. A value a module transmits on a
// pin reaches every other user-interface pin of its net (setPin then notifyPin,
// inside the transmit) and every processing input on the net (an event at the
// start of the next block); the sending pin itself gets the value back as
// patch.gui.echo says. Pin updates of a processing output on a net reach the
// net's user-interface pins after the block, in the order they were made.
//
// Pairing: `add` creates both halves of an identifier when both are described
// (only the one that is described otherwise). Pins marked `param` in both
// descriptions are joined by name into one net, so a parameter that either
// half writes reaches the other, and a processing output marked `param` is
// read by the user-interface pin of that name. Messages from the
// user-interface half reach the processing half's receiveMessageFromGui
// before its next block; messages from the processing half reach the
// user-interface half's receiveMessageFromAudio after the block.
//
// start() delivers every described pin's default: the processing halves get
// them with graph start in the first block; the user-interface halves (created
// with their host set) get setPin then notifyPin for each pin, then initialize.
// Values the user-interface halves transmit while starting reach the
// processing inputs at the start of the first block, after the defaults.
#pragma once

#include "processing_host.h"
#include "ui_host.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qwhost
{
// One module of a patch: either half may be missing.
struct PatchModule
{
    Processor* processor = nullptr;
    GuiModule* gui = nullptr;
};

// A pin by name or by index.
struct PatchPin
{
    PatchPin(int index) : index(index) {}
    PatchPin(const char* name) : index(-1), name(name) {}
    PatchPin(const std::string& name) : index(-1), name(name) {}
    int index;
    std::string name;
};

class Patch
{
public:
    ProcessingHost processing; // sample rate, block size, resource folder of the processing side
    GuiHost gui;               // echo mode, host interfaces, resource folder of the user-interface side

    Patch() = default;
    Patch(const Patch&) = delete;
    Patch& operator=(const Patch&) = delete;
    ~Patch();

    // Both halves of an identifier (those described), paired. Throws Error
    // when neither is described.
    PatchModule& add(std::shared_ptr<Bundle> bundle, const std::wstring& id);
    Processor& addProcessor(std::shared_ptr<Bundle> bundle, const std::wstring& id);
    GuiModule& addGui(std::shared_ptr<Bundle> bundle, const std::wstring& id);

    // Throws Error for pins that do not exist or cannot be joined.
    void connect(Processor& from, PatchPin output, Processor& to, PatchPin input);
    void connect(GuiModule& from, PatchPin pin, Processor& to, PatchPin input);
    void connect(GuiModule& a, PatchPin pinA, GuiModule& b, PatchPin pinB);

    void start();
    // One block of n samples (n <= processing.blockSize) of every processing half.
    void run(int n);
    void runFor(int64_t total, int block);

    // The processing halves in the order they run.
    std::vector<Processor*> order() const;

private:
    struct GuiEnd
    {
        GuiModule* module;
        int pin;
    };
    struct DspEnd
    {
        Processor* module;
        int pin;
    };
    struct Net
    {
        std::vector<GuiEnd> gui;
        std::vector<DspEnd> inputs;
        DspEnd source{nullptr, -1}; // processing output feeding the net, if any
    };
    struct PendingGui
    {
        GuiModule* module;
        bool message; // else a pin value
        int id;       // pin or message id
        std::vector<uint8_t> data;
    };
    struct PendingMessage
    {
        int id;
        std::vector<uint8_t> data;
    };

    Processor& own(std::unique_ptr<Processor> p);
    GuiModule& own(std::unique_ptr<GuiModule> g);
    int resolve(const Processor& p, const PatchPin& pin) const;
    int resolve(const GuiModule& g, const PatchPin& pin) const;
    // Index of the net holding that end; none = max of size_t.
    size_t findGui(const GuiModule* g, int pin) const;
    size_t findInput(const Processor* p, int pin) const;
    size_t findSource(const Processor* p, int pin) const;
    // The net of an end, made when it has none.
    size_t netForGui(GuiModule* g, int pin);
    size_t netForSource(Processor* p, int pin);
    // Joins two nets; answers the index of the joined one.
    size_t merge(size_t into, size_t from);
    void checkFreeInput(const Processor& to, int input) const;
    void pair(Processor& p, GuiModule& g);

    void routeTransmit(GuiModule* from, const GuiValue& v);
    void routeUpdate(Processor* from, const PinUpdate& u);
    void routeStreaming(Processor* from, const StreamingReport& s);
    void deliverToGui();

    std::vector<std::unique_ptr<Processor>> processors_;
    std::vector<std::unique_ptr<GuiModule>> guis_;
    std::deque<PatchModule> modules_;
    std::vector<Net> nets_;
    std::vector<PendingGui> toGui_;
    std::vector<std::pair<Processor*, PendingMessage>> toAudio_;
    int depth_ = 0;
    bool started_ = false;
};
} // namespace qwhost
