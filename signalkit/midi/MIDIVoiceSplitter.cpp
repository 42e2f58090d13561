// Spreads the notes of one MIDI stream over several MIDI outputs, one note per
// output (two voices or more), or keeps a monophonic note stack on the first
// output (fewer than two voices): a released note gives way to the note held
// before it.
#include "midi_message.h"

namespace
{
using namespace qw::midi;
}

class QW_MIDIVoiceSplitter final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MIDIVoiceSplitter()
    {
        initializePin(pinIn_);
        initializePin(pinVoices_);
        initializePin(pinAlwaysRotate_);
        initializePin(pinMonoRetrigger_);
        initializePin(pinMonoReleaseVelocity_);
        resetStack();
    }

    int32_t open() override
    {
        addHostPins(*this, outputs_,
                    [](int direction, int datatype) { return direction == gmpi::MP_OUT && datatype == gmpi::MP_MIDI; });
        outputCount_ = static_cast<int>(outputs_.size());
        voices_.assign(outputs_.size(), Voice{});
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (!pinVoices_.isUpdated())
            return;
        const int v = pinVoices_;
        const int count = v >= 1 && v <= outputCount_ ? v : outputCount_;
        if (count == voiceCount_)
            return;
        for (int i = 0; i < outputCount_; ++i)
        {
            voices_[static_cast<size_t>(i)] = Voice{};
            send3(*outputs_[static_cast<size_t>(i)], 0xB0, kAllNotesOffController, 0);
        }
        resetStack();
        voiceCount_ = count;
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (outputCount_ == 0 || !isThreeByte(bytes, size))
            return;
        int type = bytes[0] >> 4;
        const int data1 = bytes[1];
        const int data2 = bytes[2];
        if (type == kControlChange && data1 == kAllNotesOffController)
        {
            for (int i = 0; i < outputCount_; ++i)
            {
                voices_[static_cast<size_t>(i)] = Voice{};
                outputs_[static_cast<size_t>(i)]->send(bytes, 3);
            }
            resetStack();
            return;
        }
        if (type == kControlChange)
        {
            // The sustain pedal; other controllers are dropped.
            if (data1 != kSustainController)
                return;
            if (data2 != 0)
            {
                sustain_ = true;
                return;
            }
            sustain_ = false;
            if (voiceCount_ >= 2)
                releaseHeldVoices();
            else
                releasePendingNote();
            return;
        }
        if (type == kNoteOn && data2 == 0)
            type = kNoteOff;
        if (voiceCount_ >= 2)
            poly(type, data1, data2, bytes);
        else
            mono(type, data1, data2, bytes);
    }

private:
    struct Voice
    {
        int note = -1;
        bool sounding = false;
        bool held = false; // released while the sustain pedal is down
    };

    // A note of the mono stack. Linked entries form exactly the chain from
    // the sounding note down through `older`; every other entry is cleared,
    // so no stale link can bring back a note that was released.
    struct StackEntry
    {
        int older = -1;
        int newer = -1;
        int velocity = 0;
        bool linked = false;
    };

    MidiOutPin& out(int i) { return *outputs_[static_cast<size_t>(i)]; }
    Voice& voice(int i) { return voices_[static_cast<size_t>(i)]; }

    void resetStack()
    {
        for (auto& e : stack_)
            e = StackEntry{};
        nextVoice_ = 0;
        lastNote_ = -1;
        releasePending_ = false;
    }

    // --- polyphonic: outputs 0 .. V-1 ---

    // Lowest voice that sounds note n (and, when unheldOnly, is not held); -1 when none.
    int soundingVoice(int n, bool unheldOnly)
    {
        for (int i = 0; i < voiceCount_; ++i)
        {
            const Voice& v = voice(i);
            if (v.sounding && v.note == n && !(unheldOnly && v.held))
                return i;
        }
        return -1;
    }

    void poly(int type, int n, int value, const unsigned char* bytes)
    {
        const int V = voiceCount_;
        switch (type)
        {
        case kNoteOff:
        {
            const int i = soundingVoice(n, true);
            if (i < 0)
                return;
            if (sustain_)
            {
                voice(i).held = true;
                return;
            }
            voice(i).sounding = false;
            voice(i).held = false;
            send3(out(i), 0x80, n, value);
            return;
        }
        case kNoteOn:
        {
            int c = nextVoice_;
            if (!pinAlwaysRotate_)
                for (int i = 0; i < V; ++i)
                    if (voice(i).note == n)
                    {
                        c = i;
                        break;
                    }
            if (!sustain_)
                for (int k = 0; k < V; ++k)
                {
                    const int j = (c + k) % V;
                    if (!voice(j).sounding)
                    {
                        c = j;
                        break;
                    }
                }
            Voice& v = voice(c);
            if (v.sounding)
                send3(out(c), 0x80, v.note, 0);
            v.note = n;
            v.sounding = true;
            v.held = false;
            send3(out(c), 0x90, n, value);
            nextVoice_ = c + 1 >= V ? 0 : c + 1;
            return;
        }
        case kPolyPressure:
        {
            const int i = soundingVoice(n, false);
            if (i >= 0)
                out(i).send(bytes, 3);
            return;
        }
        default:
            return;
        }
    }

    // Pedal up: the voices released while it was down end now.
    void releaseHeldVoices()
    {
        for (int i = 0; i < voiceCount_; ++i)
        {
            Voice& v = voice(i);
            if (!v.held)
                continue;
            v.sounding = false;
            v.held = false;
            send3(out(i), 0x80, v.note, 0);
        }
    }

    // --- mono: a note stack on output 0 ---

    // Pedal up: a note released while it was down ends now.
    void releasePendingNote()
    {
        if (!releasePending_ || lastNote_ < 0)
            return;
        releasePending_ = false;
        send3(out(0), 0x80, lastNote_, 0);
        clearChain();
    }

    // Takes note n out of the chain, joining its neighbours.
    void unlink(int n)
    {
        StackEntry& e = stack_[n];
        if (e.older >= 0)
            stack_[e.older].newer = e.newer;
        if (e.newer >= 0)
            stack_[e.newer].older = e.older;
        if (n == lastNote_)
            lastNote_ = e.older;
        e = StackEntry{};
    }

    // Clears the chain below note n (n itself stays).
    void clearBelow(int n)
    {
        int k = stack_[n].older;
        stack_[n].older = -1;
        for (int steps = 0; k >= 0 && steps < 128; ++steps)
        {
            const int older = stack_[k].older;
            stack_[k] = StackEntry{};
            k = older;
        }
    }

    void clearChain()
    {
        if (lastNote_ >= 0)
        {
            clearBelow(lastNote_);
            stack_[lastNote_] = StackEntry{};
        }
        lastNote_ = -1;
    }

    void mono(int type, int n, int value, const unsigned char* bytes)
    {
        MidiOutPin& o = out(0);
        switch (type)
        {
        case kNoteOn:
            if (pinMonoRetrigger_ && lastNote_ >= 0)
                send3(o, 0x80, lastNote_, 0);
            send3(o, 0x90, n, value);
            if (sustain_)
            {
                // While the pedal is down a new note starts a stack of its own.
                clearChain();
            }
            else if (stack_[n].linked)
            {
                // The same note again without a release: it moves to the top
                // instead of linking to itself.
                unlink(n);
            }
            stack_[n] = StackEntry{lastNote_, -1, value, true};
            if (lastNote_ >= 0)
                stack_[lastNote_].newer = n;
            lastNote_ = n;
            return;
        case kNoteOff:
        {
            if (lastNote_ < 0)
                return;
            if (sustain_)
            {
                clearBelow(lastNote_);
                releasePending_ = true;
                return;
            }
            if (n != lastNote_)
            {
                if (stack_[n].linked)
                    unlink(n);
                return;
            }
            const int p = stack_[n].older;
            stack_[n] = StackEntry{};
            lastNote_ = p;
            if (p < 0)
            {
                send3(o, 0x80, n, value);
                return;
            }
            if (pinMonoRetrigger_)
                send3(o, 0x80, n, 0);
            // A note-on of velocity 0 would end the note it means to start.
            const int velocity = pinMonoReleaseVelocity_ ? (value > 0 ? value : 1) : (stack_[p].velocity & 0xFF);
            send3(o, 0x90, p, velocity);
            stack_[p].newer = -1;
            return;
        }
        case kPolyPressure:
            if (n == lastNote_)
                o.send(bytes, 3);
            return;
        default:
            return;
        }
    }

    MidiInPin pinIn_;
    IntInPin pinVoices_;
    BoolInPin pinAlwaysRotate_;
    BoolInPin pinMonoRetrigger_;
    BoolInPin pinMonoReleaseVelocity_;
    std::vector<std::unique_ptr<MidiOutPin>> outputs_;

    int outputCount_ = 0;
    int voiceCount_ = 0;
    std::vector<Voice> voices_;
    int nextVoice_ = 0;
    bool sustain_ = false;

    StackEntry stack_[128];
    int lastNote_ = -1;
    bool releasePending_ = false;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDIVoiceSplitter", &gmpi::Register<QW_MIDIVoiceSplitter>::withId);
}
