// Modules that misbehave on purpose, to show how the factory and the host
// stand-in cope with them.
#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace
{
int g_destroyed = 0;

// Constructor fails.
class QW_BadThrow : public MpBase2
{
public:
    QW_BadThrow() { throw std::runtime_error("cannot construct"); }
};

// Counts its destruction so a test can see that a refused object was released.
class QW_BadHostThrow : public MpBase2
{
public:
    ~QW_BadHostThrow() { ++g_destroyed; }
    int32_t setHost(gmpi::IMpUnknown*) override { throw std::runtime_error("no host for me"); }
};

// Allocates inside process, which the host must notice.
class QW_BadAlloc : public MpBase2
{
public:
    QW_BadAlloc()
    {
        initializePin(output_);
        setSubProcess(&QW_BadAlloc::subProcessAlloc);
    }
    ~QW_BadAlloc() { delete[] scratch_; }
    void subProcessAlloc(int sampleFrames)
    {
        // A fresh buffer every call, kept until the next, so no optimiser drops it.
        delete[] scratch_;
        scratch_ = new float[static_cast<size_t>(sampleFrames) + 1]();
        output_.getBuffer()[getBlockPosition()] = scratch_[0];
    }

private:
    float* scratch_ = nullptr;
    AudioOutPin output_;
};

// Its pins disagree with its description: a float where an int is described.
class QW_BadMismatch : public MpBase2
{
public:
    QW_BadMismatch()
    {
        initializePin(a_);
        initializePin(b_);
    }

private:
    FloatInPin a_;
    FloatInPin b_;
};

// Registered twice under one identifier: the first registration must win.
template <int Which> class QW_Twice : public MpBase2
{
public:
    QW_Twice()
    {
        initializePin(which_);
        which_ = Which; // no host yet: sent as the first update at graph start
    }

private:
    IntOutPin which_;
};

// Copies each of its two pins to the other on every value but 0, its own
// echoes too: a host that hands values back keeps it sending for ever.
class QW_BadEchoBounce : public MpGuiInvisibleBase
{
public:
    QW_BadEchoBounce()
    {
        initializePin(a_, &QW_BadEchoBounce::onA);
        initializePin(b_, &QW_BadEchoBounce::onB);
    }

private:
    void onA()
    {
        if (a_ != 0.0f)
            pinTransmit(1, a_.rawSize(), a_.rawData(), 0);
    }
    void onB()
    {
        if (b_ != 0.0f)
            pinTransmit(0, b_.rawSize(), b_.rawData(), 0);
    }

    MpGuiPin<float> a_;
    MpGuiPin<float> b_;
};

// Audio effects with the faults the all-modules test must catch.
template <class Fault> class QW_BadAudio : public MpBase2
{
public:
    QW_BadAudio()
    {
        initializePin(input_);
        initializePin(output_);
        setSubProcess(&QW_BadAudio::subProcessFault);
    }
    void onSetPins() override { output_.setStreaming(true); }
    void subProcessFault(int sampleFrames)
    {
        const float* in = input_.getBuffer() + getBlockPosition();
        float* out = output_.getBuffer() + getBlockPosition();
        fault_(in, out, sampleFrames);
    }

private:
    AudioInPin input_;
    AudioOutPin output_;
    Fault fault_;
};

// A decaying recursion left to run into denormal numbers.
struct DecaysIntoDenormals
{
    float y = 0.0f;
    void operator()(const float* in, float* out, int n)
    {
        for (int i = 0; i < n; ++i)
            out[i] = y = 0.9f * y + in[i];
    }
};

// The same recursion in a module with a block loop of its own, outside the
// framework's flush-to-zero: its output follows the host's denormal mode.
class QW_BadDenormal : public QW_BadAudio<DecaysIntoDenormals>
{
public:
    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override
    {
        processEvents(sampleFrames, events, [this](int n) { (this->*curSubProcess_)(n); });
    }
};

// A gain that steps once per call of the routine: it depends on the block size.
struct StepsPerBlock
{
    float gain = 0.0f;
    void operator()(const float* in, float* out, int n)
    {
        gain += 0.01f;
        for (int i = 0; i < n; ++i)
            out[i] = in[i] * gain;
    }
};

// A recursion that never clears a non-finite state: one NaN in, NaN for ever.
struct KeepsNaN
{
    float y = 0.0f;
    void operator()(const float* in, float* out, int n)
    {
        for (int i = 0; i < n; ++i)
            out[i] = y = in[i] + 0.5f * y;
    }
};

// Square root of a signal that goes negative.
struct RootOfNegative
{
    void operator()(const float* in, float* out, int n)
    {
        for (int i = 0; i < n; ++i)
            out[i] = std::sqrt(in[i]);
    }
};

// Logarithm of a signal that keeps a NaN input in its state for ever.
struct LogKeepsNaN
{
    bool stuck = false;
    void operator()(const float* in, float* out, int n)
    {
        for (int i = 0; i < n; ++i)
        {
            stuck |= in[i] != in[i];
            out[i] = stuck ? std::numeric_limits<float>::quiet_NaN() : std::log(in[i]);
        }
    }
};

// Passes its input on, but stamps each value at the start of its block.
class QW_BadLateStamp : public MpBase2
{
public:
    QW_BadLateStamp()
    {
        initializePin(in_);
        initializePin(out_);
    }
    void onSetPins() override { out_.setValue(in_.getValue(), 0); }

private:
    IntInPin in_;
    IntOutPin out_;
};

// Tells whether the processor flushes denormal numbers: its own block loop
// runs outside the framework's flush-to-zero.
class QW_BadFlushText : public MpBase2
{
public:
    QW_BadFlushText()
    {
        initializePin(in_);
        initializePin(out_);
    }
    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override
    {
        processEvents(sampleFrames, events, [this](int n) { (this->*curSubProcess_)(n); });
    }
    void onSetPins() override
    {
        volatile float tiny = 1e-39f;
        out_ = tiny * 0.5f == 0.0f ? L"yes" : L"no";
    }

private:
    IntInPin in_;
    StringOutPin out_;
};

// Twice its input, without saturating: finite input near the float limit gives infinity.
struct DoublesWithoutSaturating
{
    void operator()(const float* in, float* out, int n)
    {
        for (int i = 0; i < n; ++i)
            out[i] = in[i] + in[i];
    }
};

gmpi::IMpUnknown* createNothing()
{
    return nullptr;
}

auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadThrow", &gmpi::Register<QW_BadThrow>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadHostThrow", &gmpi::Register<QW_BadHostThrow>::withId);
auto r3 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadAlloc", &gmpi::Register<QW_BadAlloc>::withId);
auto r4 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadMismatch", &gmpi::Register<QW_BadMismatch>::withId);
auto r5 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadNull", &createNothing);
auto r6 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Twice", &gmpi::Register<QW_Twice<1>>::withId);
auto r7 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Twice", &gmpi::Register<QW_Twice<2>>::withId);
auto r9 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadDenormal", &gmpi::Register<QW_BadDenormal>::withId);
auto r10 =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadBlockRate", &gmpi::Register<QW_BadAudio<StepsPerBlock>>::withId);
auto r11 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadNaN", &gmpi::Register<QW_BadAudio<RootOfNegative>>::withId);
auto r12 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadStickyNaN", &gmpi::Register<QW_BadAudio<KeepsNaN>>::withId);
auto r13 =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadStickyLog", &gmpi::Register<QW_BadAudio<LogKeepsNaN>>::withId);
auto r14 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadLateStamp", &gmpi::Register<QW_BadLateStamp>::withId);
auto r15 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadFlushText", &gmpi::Register<QW_BadFlushText>::withId);
auto r17 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BadOverflow",
                          &gmpi::Register<QW_BadAudio<DoublesWithoutSaturating>>::withId);
auto r8 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Twice", &gmpi::Register<QW_Twice<3>>::withId);
auto r16 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_BadEchoBounce", &gmpi::Register<QW_BadEchoBounce>::withId);
} // namespace

extern "C" MP_EXPORT int brokenkit_destroyed()
{
    return g_destroyed;
}
