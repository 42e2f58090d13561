// Plays a second-generation sample as an oscillator: a gate starts it, the
// pitch input (1 V per octave, 5 V = the root frequency) sets its speed, and
// the play mode decides how the start, end and loop points are used:
//
//   mode               gate rises                          gate falls
//   0 Once             start point -> end point, stop      -
//   1 Loop             loop from the loop start            -
//   2 SeekLoop         start point -> loop start, loop     -
//   3 Loop, release    as 1                                on once to the end point, stop
//   4 SeekLoop, rel.   as 2                                as 3
//   5 OnceAndBack      start -> end -> start, stop         -
//   6 FwdBack (and     start <-> end while the gate is     after the next arrival at
//     any other)       high (a rise while playing keeps on) the start point, stop
//
// The loop region runs from the smaller of the two loop points to the larger;
// with the loop end before the loop start it plays backwards. The ping-pong
// loop reverses at each end of the region instead of wrapping, and FwdBack
// turns at the end and start points the same way; a turn reflects the part of
// the step that went past the point, so the motion keeps its speed.
//
// The read position is a double; each routine is compiled once per
// interpolating reader and once per motion, chosen when playback starts (the
// interpolation pin takes effect then).
#include "Sample2Pins.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"
#include "resamp.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{
// Folds a position that went past a wall of [lo, hi] back inside, as a ball
// bouncing between the two, however far it went; dir flips with each wall.
void fold(double& pos, int& dir, double lo, double hi)
{
    const double span = hi - lo;
    if (!(span > 0.0))
    {
        pos = lo;
        return;
    }
    double q = std::fmod(pos - lo, 2.0 * span);
    if (q < 0.0)
        q += 2.0 * span;
    if (q <= span)
        pos = lo + q;
    else
    {
        pos = lo + (2.0 * span - q);
        dir = -dir;
    }
    pos = std::clamp(pos, lo, hi);
}

// A position wrapped into the loop [lo, lo + length), however far it went.
double wrapInto(double pos, double lo, double length)
{
    const double hi = lo + length;
    if (pos >= hi)
    {
        pos -= length;
        if (pos >= hi)
            pos = lo + std::fmod(pos - lo, length);
    }
    else if (pos < lo)
    {
        pos += length;
        if (pos < lo)
            pos = lo + std::fmod(pos - lo, length) + length;
    }
    return pos >= lo && pos < hi ? pos : lo; // rounding at the edges
}

// A point in frames: a negative one counts from the end; the result lies in
// the sample's frames.
int clampPoint(int v, int frames)
{
    const int64_t p = v >= 0 ? std::min<int64_t>(v, frames - 1) : static_cast<int64_t>(v) + frames;
    return static_cast<int>(std::max<int64_t>(p, 0));
}

uint32_t bitsOf(float v)
{
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
} // namespace

class QW_S2_SampleOsc final : public MpBase2
{
public:
    // A shorter sample never plays.
    static constexpr int kMinFrames = 64;

    QW_S2_SampleOsc()
    {
        initializePin(mute_);
        initializePin(unused_);
        initializePin(sample_);
        initializePin(enable_);
        initializePin(gate_);
        initializePin(pitch_);
        initializePin(root_);
        initializePin(rate_);
        initializePin(start_);
        initializePin(end_);
        initializePin(loopStart_);
        initializePin(loopEnd_);
        initializePin(pingPong_);
        initializePin(mode_);
        initializePin(interpolation_);
        initializePin(output_);
    }

    int32_t open() override
    {
        hostRate_ = getSampleRate();
        updateBase();
        setSubProcess(&QW_S2_SampleOsc::subProcessOff);
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        if (!playing_)
            output_.setStreaming(false);
    }

    void onSetPins() override
    {
        const bool muted = mute_ != 0;
        if (muted)
            switchOff();

        // The count and the points follow every new sample at once, on or off.
        if (enable_.isUpdated() || sample_.changed() || start_.isUpdated() || end_.isUpdated() ||
            loopStart_.isUpdated() || loopEnd_.isUpdated())
        {
            const int n = sample_.count();
            if (n < kMinFrames || !enable_)
                switchOff();
            if (n >= kMinFrames)
            {
                if (n != count_)
                {
                    switchOff();
                    count_ = n;
                }
                startPoint_ = clampPoint(start_, n);
                endPoint_ = clampPoint(end_, n);
                loopStartPoint_ = clampPoint(loopStart_, n);
                loopEndPoint_ = clampPoint(loopEnd_, n);
            }
        }
        if (root_.isUpdated() || rate_.isUpdated())
            updateBase();

        const bool modeChanged = mode_ != lastMode_;
        lastMode_ = mode_;
        const int mode = mode_ >= 0 && mode_ <= 5 ? mode_.getValue() : 6;
        const bool gateChanged = gate_ != lastGate_;
        lastGate_ = gate_;
        if (muted)
            return;
        if (modeChanged)
            switchOff();
        if (!enable_ || sample_.count() < kMinFrames || !gateChanged)
            return;
        if (gate_)
            gateRises(mode);
        else if (playing_)
            gateFalls(mode);
    }

    void subProcessOff(int n) { std::fill_n(output_.getBuffer() + blockPosition_, n, held_); }

private:
    enum Motion
    {
        kOnce,
        kLoop,
        kLoopPingPong,
        kSeek,
        kSeekPingPong,
        kBounce,
    };

    void gateRises(int mode)
    {
        switch (mode)
        {
        case 0:
            start(kOnce, startPoint_);
            break;
        case 1:
        case 3:
            start(pingPong_ ? kLoopPingPong : kLoop, loopStartPoint_);
            break;
        case 2:
        case 4:
            start(pingPong_ ? kSeekPingPong : kSeek, startPoint_);
            break;
        case 5:
            release_ = true;
            start(kBounce, startPoint_);
            break;
        default:
            if (playing_)
                release_ = arrived_ = false;
            else
            {
                release_ = false;
                start(kBounce, startPoint_);
            }
            break;
        }
    }

    void gateFalls(int mode)
    {
        if (mode == 3 || mode == 4)
            select(kOnce); // on from where it is to the end point
        else if (mode == 6)
            release_ = true;
    }

    void start(Motion motion, int at)
    {
        pos_ = at;
        arrived_ = false;
        if (motion == kLoopPingPong)
            dir_ = loopEndPoint_ >= loopStartPoint_ ? 1 : -1;
        else if (motion == kBounce)
            dir_ = endPoint_ >= startPoint_ ? 1 : -1;
        // The increment always follows the pitch at the start, whatever value
        // the input had last.
        setPitch(pitch_.getValue());
        select(motion);
        playing_ = true;
        output_.setStreaming(true);
    }

    void switchOff()
    {
        playing_ = false;
        setSubProcess(&QW_S2_SampleOsc::subProcessOff);
        if (output_.isStreaming())
        {
            held_ = 0.0f;
            output_.setStreaming(false);
        }
    }

    // Played to its end at block position `at`, where it gave y: the output
    // holds y from there on.
    void stopAt(int at, float y)
    {
        playing_ = false;
        held_ = y;
        setSubProcess(&QW_S2_SampleOsc::subProcessOff);
        output_.setStreaming(false, at);
    }

    // The routine of a motion for the reader of the interpolation pin.
    void select(Motion motion)
    {
        qw::resamp::withReader(interpolation_, [&](auto reader) { setSubProcess(routine<decltype(reader)>(motion)); });
    }

    template <class R> static SubProcess_ptr routine(Motion motion)
    {
        switch (motion)
        {
        case kLoop:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kLoop, R>);
        case kLoopPingPong:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kLoopPingPong, R>);
        case kSeek:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kSeek, R>);
        case kSeekPingPong:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kSeekPingPong, R>);
        case kBounce:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kBounce, R>);
        default:
            return static_cast<SubProcess_ptr>(&QW_S2_SampleOsc::subProcessPlay<kOnce, R>);
        }
    }

    // base = rate of the sample x 440 / (host rate x root): the increment at 5 V.
    void updateBase()
    {
        double rate = qw::finite::orZero(rate_);
        if (rate < 1000.0)
            rate = hostRate_;
        rate = std::min(rate, static_cast<double>(FLT_MAX));
        const double root = qw::finite::clampOrZero(root_, 10.0f, 15000.0f);
        base_ = hostRate_ > 0.0f ? rate * 440.0 / (static_cast<double>(hostRate_) * root) : 0.0;
        setIncrement();
    }

    // The pitch in volts / 10 (not a number counts as 0), held to -5 .. +5 octaves.
    void setPitch(float v)
    {
        pitchBits_ = bitsOf(v);
        factor_ = qw::fm::exp2Fast(std::clamp(10.0f * qw::finite::orZero(v), 0.0f, 10.0f) - 5.0f);
        setIncrement();
    }

    void setIncrement()
    {
        inc_ = static_cast<double>(factor_) * base_;
        w_ = qw::resamp::stretch(inc_);
    }

    // What a routine changes per sample, held in locals while a span runs.
    struct Cursor
    {
        double pos, inc;
        float w;
        uint32_t pitchBits;
        int dir;
    };
    Cursor cursor() const { return {pos_, inc_, w_, pitchBits_, dir_}; }
    void keep(const Cursor& c)
    {
        pos_ = c.pos;
        dir_ = c.dir;
    }

    // A new pitch value sets the increment.
    void follow(Cursor& c, float v)
    {
        if (bitsOf(v) == c.pitchBits)
            return;
        setPitch(v);
        c.inc = inc_;
        c.w = w_;
        c.pitchBits = pitchBits_;
    }

    template <class R> float readAt(const float* x, const Cursor& c) const
    {
        int i;
        float frac;
        qw::resamp::split(c.pos, i, frac);
        return R::bounded(x, count_, i, frac, c.w);
    }

    template <int M, class R> void subProcessPlay(int n) { play<M, R>(blockPosition_, n); }

    template <int M, class R> void play(int from, int n)
    {
        const float* x = sample_.frames();
        if (!x || sample_.count() != count_) // cannot happen: a new length switches off
        {
            std::fill_n(output_.getBuffer() + from, n, 0.0f);
            return;
        }
        // A held pitch changes only at an event, so between events one look
        // at it is enough.
        if (pitch_.isStreaming())
            play<M, R, true>(from, n, x);
        else
            play<M, R, false>(from, n, x);
    }

    template <int M, class R, bool PitchStreams> void play(int from, int n, const float* x)
    {
        float* out = output_.getBuffer() + from;
        const float* pitch = pitch_.getBuffer() + from;
        Cursor c = cursor();
        if (!PitchStreams && n > 0)
            follow(c, pitch[0]);
        if constexpr (M == kOnce)
        {
            const double end = endPoint_;
            for (int k = 0; k < n; ++k)
            {
                if constexpr (PitchStreams)
                    follow(c, pitch[k]);
                const float y = readAt<R>(x, c);
                out[k] = y;
                if (c.pos == end)
                {
                    stopAt(from + k, y);
                    std::fill(out + k + 1, out + n, y);
                    break;
                }
                // Toward the end point, never past it.
                const double gap = end - c.pos;
                c.pos = gap > c.inc ? c.pos + c.inc : gap < -c.inc ? c.pos - c.inc : end;
            }
        }
        else if constexpr (M == kSeek || M == kSeekPingPong)
        {
            const double target = loopStartPoint_;
            for (int k = 0; k < n; ++k)
            {
                if constexpr (PitchStreams)
                    follow(c, pitch[k]);
                out[k] = readAt<R>(x, c);
                const double gap = target - c.pos;
                if (gap > c.inc || gap < -c.inc)
                {
                    c.pos += gap > 0.0 ? c.inc : -c.inc;
                    continue;
                }
                // On the loop start: the rest of the step goes on into the loop.
                const double rest = c.inc - std::abs(gap);
                const bool forward = loopEndPoint_ >= loopStartPoint_;
                constexpr Motion loop = M == kSeek ? kLoop : kLoopPingPong;
                if constexpr (loop == kLoop)
                    c.pos = target + (forward ? rest : -rest); // wrapped by the loop
                else
                {
                    c.dir = forward ? 1 : -1;
                    c.pos = target + c.dir * rest;
                }
                keep(c);
                setSubProcess(routine<R>(loop));
                play<loop, R>(from + k + 1, n - k - 1);
                return;
            }
        }
        else if constexpr (M == kLoop)
        {
            const int lo = std::min(loopStartPoint_, loopEndPoint_);
            const int length = std::abs(loopEndPoint_ - loopStartPoint_) + 1;
            const double hi = lo + length;
            const bool forward = loopEndPoint_ >= loopStartPoint_;
            const float* region = x + lo;
            c.pos = wrapInto(c.pos, lo, length);
            for (int k = 0; k < n; ++k)
            {
                if constexpr (PitchStreams)
                    follow(c, pitch[k]);
                int i;
                float frac;
                qw::resamp::split(c.pos, i, frac);
                out[k] = R::looped(region, length, i - lo, frac, c.w);
                c.pos += forward ? c.inc : -c.inc;
                if (c.pos >= hi || c.pos < lo)
                    c.pos = wrapInto(c.pos, lo, length);
            }
        }
        else if constexpr (M == kLoopPingPong)
        {
            const double lo = std::min(loopStartPoint_, loopEndPoint_);
            const double hi = std::max(loopStartPoint_, loopEndPoint_);
            if (c.pos < lo || c.pos > hi)
                fold(c.pos, c.dir, lo, hi);
            for (int k = 0; k < n; ++k)
            {
                if constexpr (PitchStreams)
                    follow(c, pitch[k]);
                out[k] = readAt<R>(x, c);
                c.pos += c.dir * c.inc;
                if (c.pos < lo || c.pos > hi)
                    fold(c.pos, c.dir, lo, hi);
            }
        }
        else // kBounce
        {
            const double lo = std::min(startPoint_, endPoint_);
            const double hi = std::max(startPoint_, endPoint_);
            if (c.pos < lo || c.pos > hi)
                fold(c.pos, c.dir, lo, hi);
            for (int k = 0; k < n; ++k)
            {
                if constexpr (PitchStreams)
                    follow(c, pitch[k]);
                const float y = readAt<R>(x, c);
                out[k] = y;
                if (arrived_)
                {
                    stopAt(from + k, y);
                    std::fill(out + k + 1, out + n, y);
                    break;
                }
                bounceStep(c, lo, hi);
            }
        }
        keep(c);
    }

    // One step of FwdBack: turns at the end point; at the start point turns
    // too, or arrives there once released.
    void bounceStep(Cursor& c, double lo, double hi)
    {
        const double s = startPoint_, e = endPoint_;
        const int toEnd = e >= s ? 1 : -1;
        c.pos += c.dir * c.inc;
        if (c.dir == toEnd)
        {
            if ((c.pos - e) * toEnd <= 0.0)
                return;
            c.pos = 2.0 * e - c.pos;
            c.dir = -c.dir;
        }
        const double past = (s - c.pos) * toEnd; // > 0: beyond the start point
        if (release_ && past >= 0.0)
        {
            c.pos = s;
            arrived_ = true;
        }
        else if (past > 0.0)
            fold(c.pos, c.dir, lo, hi);
    }

    IntInPin mute_;
    FloatInPin unused_;
    qw::Sample2InPin sample_;
    BoolInPin enable_;
    BoolInPin gate_;
    AudioInPin pitch_;
    FloatInPin root_;
    FloatInPin rate_;
    IntInPin start_;
    IntInPin end_;
    IntInPin loopStart_;
    IntInPin loopEnd_;
    BoolInPin pingPong_;
    EnumInPin mode_;
    EnumInPin interpolation_;
    AudioOutPin output_;

    float hostRate_ = 0.0f;
    double base_ = 0.0;   // increment at 5 V
    float factor_ = 1.0f; // 2^octaves of the pitch last seen
    double inc_ = 0.0;    // frames per output sample
    float w_ = 1.0f;      // the readers' stretch for inc_
    uint32_t pitchBits_ = bitsOf(-std::numeric_limits<float>::infinity());
    double pos_ = 0.0;     // read position, frames
    int dir_ = 1;          // ping-pong and FwdBack: +1 toward higher frames
    bool release_ = false; // FwdBack stops at its next arrival at the start point
    bool arrived_ = false; // ... and has arrived: it stops at the next sample
    bool playing_ = false;
    float held_ = 0.0f; // the output while off
    int count_ = 0;     // frames of the sample the points were clamped to
    int startPoint_ = 0, endPoint_ = 0, loopStartPoint_ = 0, loopEndPoint_ = 0;
    int lastMode_ = std::numeric_limits<int>::min();
    bool lastGate_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleOsc", &gmpi::Register<QW_S2_SampleOsc>::withId);
}
