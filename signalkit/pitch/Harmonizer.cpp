// Up to three pitch-shifted copies of the input, one per output, from a chord
// held on the MIDI input: the highest held note stands for the input's pitch
// and every other held note gives a voice lowered by its distance from it.
// Each voice reads a 4096-sample ring through a crossfaded pair of taps half
// the ring apart, and fades in and out over the fade time.
#include "../chorus/effect_pattern.h"
#include "../midi/midi_message.h"
#include "qw_fm.h"

#include <array>

class QW_Harmonizer final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;
    static constexpr int kVoices = 3;
    static constexpr int kHeld = 4;

    QW_Harmonizer()
    {
        initializePin(pinUnused_);
        initializePin(pinOn_, &QW_Harmonizer::onSetOn);
        initializePin(pinSignal_);
        initializePin(pinChord_);
        initializePin(pinVoices_, &QW_Harmonizer::onSetVoices);
        initializePin(pinFade_, &QW_Harmonizer::onSetFade);
        for (auto& out : pinOut_)
            initializePin(out);
        setSubProcess(&QW_Harmonizer::subProcessSilence);
        held_.fill(-1);
    }

    // The settings and the switch-on take effect in event order, so notes
    // that arrive at the same sample as them (after them) count.
    void onSetFade(const gmpi::MpEvent*)
    {
        const int ms = std::min(std::max(pinFade_.getValue(), 5), 1000);
        fadeStep_ = 1000.0f / (getSampleRate() * static_cast<float>(ms));
    }

    void onSetVoices(const gmpi::MpEvent*) { voiceCount_ = std::min(std::max(pinVoices_.getValue(), 0), 2) + 1; }

    void onSetOn(const gmpi::MpEvent*)
    {
        if (!pinOn_)
            return;
        write_ = 0;
        voices_ = {};
        heldCount_ = 0;
        held_.fill(-1);
        intervals_.fill(0);
        ring_.fill(0.0f);
    }

    void onSetPins() override
    {
        if (!pinOn_.isUpdated())
            return;
        setStreaming(pinOn_);
        if (pinOn_)
            setSubProcess(&QW_Harmonizer::subProcess);
        else
            setSubProcess(&QW_Harmonizer::subProcessSilence);
    }

    // Note-ons and note-offs of exactly three bytes on any channel, taken
    // while the module is on; a note-on of velocity 0 is a note-off.
    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (!pinOn_ || !qw::midi::isThreeByte(bytes, size))
            return;
        int kind = bytes[0] >> 4;
        const int note = bytes[1];
        if (kind == qw::midi::kNoteOn && bytes[2] == 0)
            kind = qw::midi::kNoteOff;
        if (kind == qw::midi::kNoteOn)
        {
            if (heldCount_ == kHeld || slotOf(note) >= 0)
                return;
            held_[static_cast<size_t>(slotOf(-1))] = note;
            ++heldCount_;
        }
        else if (kind == qw::midi::kNoteOff)
        {
            const int slot = slotOf(note);
            if (heldCount_ == 0 || slot < 0)
                return;
            held_[static_cast<size_t>(slot)] = -1;
            --heldCount_;
        }
        else
            return;
        processRawChord();
    }

    void subProcess(int n)
    {
        const int start = getBlockPosition();
        const float* in = pinSignal_.getBuffer() + start;
        float* out[kVoices];
        for (int v = 0; v < kVoices; ++v)
            out[v] = pinOut_[v].getBuffer() + start;
        float* ring = ring_.data();
        uint32_t w = write_;
        float poison = 0.0f;
        for (int i = 0; i < n; ++i)
        {
            const float x = in[i];
            ring[w >> 20] = x;
            poison += x - x;
            for (int v = 0; v < kVoices; ++v)
            {
                Voice& vo = voices_[static_cast<size_t>(v)];
                const float tri = 1.0f - 2.0f * std::fabs(static_cast<float>(vo.phase) * 2.3283064e-10f - 0.5f);
                const float wa = tri + vo.start;
                const uint32_t p = w - vo.phase;
                const uint32_t idx = p >> 20;
                const float f = static_cast<float>(p & 0xFFFFFu) * qw::ring12::kFraction;
                const float a = qw::ring12::tap(ring, idx, f);
                const float b = qw::ring12::tap(ring, idx ^ 0x800u, f);
                out[v][i] = ((1.0f - wa) * b + wa * a) * vo.gain;
                vo.phase += static_cast<uint32_t>(vo.increment);
                vo.start = std::max(0.0f, vo.start - vo.startStep);
                vo.gain = std::min(std::max(vo.gain + vo.gainStep, 0.0f), 1.0f);
            }
            w += qw::ring12::kStep;
        }
        write_ = w;
        qw::effect::clearNonFinite(ring, qw::ring12::kSize, poison);
    }

    void subProcessSilence(int n)
    {
        for (auto& out : pinOut_)
            std::fill_n(out.getBuffer() + getBlockPosition(), n, 0.0f);
    }

private:
    struct Voice
    {
        uint32_t phase = 0;
        int32_t increment = 0; // 12.20 fixed point
        float start = 0;       // start offset: keeps a new voice on its first tap
        float startStep = 0;
        float gain = 0;
        float gainStep = 0;

        // Lowered by s semitones, fading in. Only a silent voice starts over;
        // one still fading out turns around where it is.
        void activate(int semitones, float step)
        {
            const float r = qw::fm::exp2Acc(-static_cast<float>(semitones) / 12.0f);
            increment = qw::effect::truncSaturated(1048576.0 * static_cast<double>(1.0f - r));
            startStep = (1.0f - r) * 0.00048828125f;
            gainStep = step;
            if (gain == 0.0f)
            {
                phase = 0;
                start = 1.0f;
            }
        }
    };

    // The slot holding `note` (-1: the first empty slot); -1 when none.
    int slotOf(int note) const
    {
        for (int i = 0; i < kHeld; ++i)
            if (held_[static_cast<size_t>(i)] == note)
                return i;
        return -1;
    }

    // The voices for the held chord: with one note more than voices, one
    // voice per interval below the top note, a voice whose interval stays
    // going on untouched; with fewer notes every voice fades out; with more,
    // nothing changes.
    void processRawChord()
    {
        const int n = heldCount_;
        if (n <= voiceCount_)
        {
            intervals_.fill(0);
            for (auto& v : voices_)
                v.gainStep = -fadeStep_;
            return;
        }
        if (n > voiceCount_ + 1)
            return;
        int top = -1;
        for (int note : held_)
            top = std::max(top, note);
        int wanted[kHeld];
        int count = 0;
        for (int note : held_)
            if (note >= 0 && note != top && count < kVoices)
                wanted[count++] = top - note;
        for (int v = 0; v < kVoices; ++v)
        {
            uint32_t& slot = intervals_[static_cast<size_t>(v)];
            if (slot == 0)
                continue;
            int* kept = std::find(wanted, wanted + count, static_cast<int>(slot));
            if (kept != wanted + count)
            {
                std::copy(kept + 1, wanted + count, kept);
                --count;
                continue;
            }
            slot = 0;
            voices_[static_cast<size_t>(v)].gainStep = -fadeStep_;
        }
        int next = 0;
        for (int e = 0; e < count; ++e)
        {
            while (next < kVoices && intervals_[static_cast<size_t>(next)] != 0)
                ++next;
            if (next == kVoices)
                break;
            intervals_[static_cast<size_t>(next)] = static_cast<uint32_t>(wanted[e]);
            voices_[static_cast<size_t>(next)].activate(wanted[e], fadeStep_);
            ++next;
        }
    }

    void setStreaming(bool on)
    {
        for (auto& out : pinOut_)
            out.setStreaming(on);
    }

    IntInPin pinUnused_;
    BoolInPin pinOn_;
    AudioInPin pinSignal_;
    MidiInPin pinChord_;
    EnumInPin pinVoices_;
    IntInPin pinFade_;
    AudioOutPin pinOut_[kVoices];

    float fadeStep_ = 0.0f;
    std::array<float, qw::ring12::kSize> ring_{};
    uint32_t write_ = 0;
    int heldCount_ = 0;
    std::array<int, kHeld> held_{};
    std::array<uint32_t, kVoices> intervals_{};
    int voiceCount_ = 1;
    std::array<Voice, kVoices> voices_{};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Harmonizer", &gmpi::Register<QW_Harmonizer>::withId);
}
