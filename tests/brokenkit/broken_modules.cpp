// Modules that misbehave on purpose, to show how the factory and the host
// stand-in cope with them.
#include "mp_sdk_audio.h"

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
    void subProcessAlloc(int sampleFrames)
    {
        auto* scratch = new float[static_cast<size_t>(sampleFrames) + 1];
        scratch[0] = 0.0f;
        output_.getBuffer()[getBlockPosition()] = scratch[0];
        delete[] scratch;
    }

private:
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
auto r8 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Twice", &gmpi::Register<QW_Twice<3>>::withId);
} // namespace

extern "C" MP_EXPORT int brokenkit_destroyed()
{
    return g_destroyed;
}
