// Frames of the control-rate maths modules (float and integer): no audio
// pins, every result computed in onSetPins from the current inputs and
// assigned to the outputs in pin order, so an unchanged result sends nothing.
// The framework's do-nothing routine runs behind its sleep countdown, so the
// host may put a module to sleep between events.
//
// Each frame is a template over the value type, its pin datatype and the
// operation; a module is a class derived from one of them.
#pragma once

#include "maths_ops.h"
#include "mp_sdk_audio.h"

#include <memory>
#include <vector>

namespace qw::maths
{
// Registers a processing module class under its identifier.
template <class T> void registerModule(const wchar_t* id)
{
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, id, &gmpi::Register<T>::withId);
}

template <class T, int Datatype> using InPin = MpControlPin<T, gmpi::MP_IN, Datatype>;
template <class T, int Datatype> using OutPin = MpControlPin<T, gmpi::MP_OUT, Datatype>;

// 0 in x; 1 out.
template <class T, int Datatype, T (*Op)(T)> class Unary : public MpBase2
{
public:
    Unary()
    {
        initializePin(x_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = Op(x_); }

private:
    InPin<T, Datatype> x_;
    OutPin<T, Datatype> out_;
};

// 0 in x; 1 enum option; 2 out.
template <class T, int Datatype, T (*Op)(T, int)> class UnaryOption : public MpBase2
{
public:
    UnaryOption()
    {
        initializePin(x_);
        initializePin(option_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = Op(x_, option_); }

private:
    InPin<T, Datatype> x_;
    EnumInPin option_;
    OutPin<T, Datatype> out_;
};

// 0 in a; 1 in b; 2 out.
template <class T, int Datatype, T (*Op)(T, T)> class Binary : public MpBase2
{
public:
    Binary()
    {
        initializePin(a_);
        initializePin(b_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = Op(a_, b_); }

private:
    InPin<T, Datatype> a_;
    InPin<T, Datatype> b_;
    OutPin<T, Datatype> out_;
};

// 0 in a; 1 in b; 2 enum option; 3 out.
template <class T, int Datatype, T (*Op)(T, T, int)> class BinaryOption : public MpBase2
{
public:
    BinaryOption()
    {
        initializePin(a_);
        initializePin(b_);
        initializePin(option_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = Op(a_, b_, option_); }

private:
    InPin<T, Datatype> a_;
    InPin<T, Datatype> b_;
    EnumInPin option_;
    OutPin<T, Datatype> out_;
};

// 0 in x; 1 in lower bound; 2 in upper bound; 3 enum clip; 4 out.
template <class T, int Datatype, T (*Op)(T, T, T, int)> class Clip : public MpBase2
{
public:
    Clip()
    {
        initializePin(x_);
        initializePin(lower_);
        initializePin(upper_);
        initializePin(mode_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = Op(x_, lower_, upper_, mode_); }

private:
    InPin<T, Datatype> x_;
    InPin<T, Datatype> lower_;
    InPin<T, Datatype> upper_;
    EnumInPin mode_;
    OutPin<T, Datatype> out_;
};

// 0 in x; 1 bool in reset; 2 out minimum; 3 out maximum: the running minimum
// and maximum of x since the last reset (or graph start).
template <class T, int Datatype> class MinMax : public MpBase2
{
public:
    MinMax()
    {
        initializePin(x_);
        initializePin(reset_);
        initializePin(min_);
        initializePin(max_);
    }

    void onSetPins() override
    {
        const T x = x_;
        if (reset_.isUpdated() && reset_)
            lowest_ = highest_ = x;
        if (x_.isUpdated())
        {
            if (!(lowest_ < x))
                lowest_ = x;
            if (!(x < highest_))
                highest_ = x;
        }
        min_ = lowest_;
        max_ = highest_;
    }

    void onGraphStart() override
    {
        lowest_ = highest_ = x_;
        MpBase2::onGraphStart();
    }

private:
    InPin<T, Datatype> x_;
    BoolInPin reset_;
    OutPin<T, Datatype> min_;
    OutPin<T, Datatype> max_;
    T lowest_{};
    T highest_{};
};

// 0 out; 1..N in, one per input pin of the datatype the host has: the sum of
// the inputs in the host's order, 0 with none. Pins of other datatypes in
// the host's list are skipped.
template <class T, int Datatype, T (*Add)(T, T)> class AddMany : public MpBase2
{
public:
    int32_t open() override
    {
        initializePin(out_);
        const std::vector<int> ids = hostPinIds(gmpi::MP_IN, Datatype);
        inputs_.reserve(ids.size());
        for (int id : ids)
        {
            inputs_.push_back(std::make_unique<InPin<T, Datatype>>());
            initializePin(id, *inputs_.back());
        }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        T sum{};
        for (auto& in : inputs_)
            sum = Add(sum, *in);
        out_ = sum;
    }

private:
    OutPin<T, Datatype> out_;
    std::vector<std::unique_ptr<InPin<T, Datatype>>> inputs_;
};
} // namespace qw::maths
