// The frame of the arithmetic interface modules that also run backwards. The
// result is offered on two copies, a left and a right one; with the
// bidirectional switch on, a value arriving on either copy is converted back
// into the input, so that a control wired to the result drives the input.
// One frame for every value type, and for results of N values (a point:
// magnitude and angle in, X and Y out):
//
// - the forward run (onSetIn, from every input pin): unless the echo guard is
//   raised, the guard is raised, the results are computed, each is written
//   to the right copy and then, with the value the right copy now holds, to
//   the left copy; the guard is lowered;
// - the inverse (onSetOutL, onSetOutR): only with the switch on; the left
//   copy's handler does nothing while the guard is raised, the right copy's
//   acts then too (a connected module correcting the value the module is
//   writing gets its correction converted back). Under the guard the input
//   pins are computed from the copy's values and written; the copies are not
//   rewritten.
//
// The module's own values coming back from the host, inside the write or
// later, are its echoes (echo_record.h): they are stored and run nothing.
//
// A module derives from the frame, registers the frame's pins among its own
// in its pin order and supplies the two conversions:
//
//   class QW_GUIIntInvert : public qw::Bidirectional<int>
//   {
//   public:
//       QW_GUIIntInvert()
//       {
//           registerInputs();  // pin 0, onSetIn
//           registerCopies();  // pins 1 (left) and 2 (right)
//           registerSwitch();  // pin 3
//       }
//
//   private:
//       Values forward() override { return {-in(0)}; }
//       Values inverse(const Values& r) override { return {-r[0]}; }
//   };
//
// Further inputs of its own (a second operand, a mode) are registered between
// with the frame's onSetIn as handler, or none.
//
// A converter between two units is the frame with one result pin per value
// and neither left copies nor switch (registerInputs, then registerRight,
// then convertsBothWays): each side converts into the other, always. The
// results may be of another type than the inputs (a note number in, a pitch
// out): Bidirectional<int, 1, float>.
#pragma once

#include "../logic/family.h"

#include <array>
#include <cstddef>
#include <type_traits>

namespace qw
{
template <class T, size_t N = 1, class R = T> class Bidirectional : public MpGuiInvisibleBase
{
public:
    using Values = std::array<T, N>;  // inputs
    using Results = std::array<R, N>; // results

    void onSetIn()
    {
        if (!guard_.raised())
            updateOutputs();
    }
    void onSetOutL()
    {
        if (!guard_.raised() && bidirectional_)
            updateInput(valuesOf(left_));
    }
    void onSetOutR()
    {
        if (bidirectional_ || bothWays_)
            updateInput(valuesOf(right_));
    }

protected:
    Bidirectional() { expectOwnEchoes(); }

    // Input k from the values the host or the inverse left there.
    T in(size_t k) const { return in_[k]; }
    bool guardRaised() const { return guard_.raised(); }

    void registerInputs()
    {
        for (auto& p : in_)
            initializePin(p, &Bidirectional::onSetIn);
    }
    void registerCopies()
    {
        for (auto& p : left_)
            initializePin(p, &Bidirectional::onSetOutL);
        for (auto& p : right_)
            initializePin(p, &Bidirectional::onSetOutR);
    }
    void registerSwitch() { initializePin(bidirectional_); }
    // The right copies alone and the left ones alone, for a module that
    // orders its copies otherwise.
    void registerLeft(size_t k) { initializePin(left_[k], &Bidirectional::onSetOutL); }
    void registerRight(size_t k) { initializePin(right_[k], &Bidirectional::onSetOutR); }
    // No left copies and no switch: a value on a result pin always converts
    // back.
    void convertsBothWays() { bothWays_ = true; }

    // Results to both copies under the guard; the guard is not tested.
    void updateOutputs()
    {
        EchoGuard::Raise raise(guard_);
        const Results r = forward();
        for (size_t k = 0; k < N; ++k)
        {
            right_[k] = r[k];
            if (!bothWays_)
                left_[k] = right_[k].getValue();
        }
    }
    // Inputs from result values under the guard; the guard is not tested.
    void updateInput(const Results& r)
    {
        EchoGuard::Raise raise(guard_);
        const Values v = inverse(r);
        for (size_t k = 0; k < N; ++k)
            in_[k] = v[k];
    }
    // The input from the left copy's value, or from the right copy's when the
    // left one holds 0 (a left copy that nothing drives).
    void updateInputFromCopies()
    {
        Results r;
        for (size_t k = 0; k < N; ++k)
            r[k] = left_[k].getValue() != R{} ? left_[k].getValue() : right_[k].getValue();
        updateInput(r);
    }
    // A range or limit changed: mode 1 recomputes the result, 2 the input from
    // the copies, any other mode does nothing.
    void onRangeChange(int32_t mode)
    {
        if (mode == 1)
            updateOutputs();
        else if (mode == 2)
            updateInputFromCopies();
    }

    virtual Results forward() = 0;
    virtual Values inverse(const Results& r) = 0;

    MpGuiPin<T> in_[N];
    MpGuiPin<R> left_[N];
    MpGuiPin<R> right_[N];
    MpGuiPin<bool> bidirectional_;
    EchoGuard guard_;

private:
    template <class V> static std::array<V, N> valuesOf(const MpGuiPin<V> (&pins)[N])
    {
        std::array<V, N> v;
        for (size_t k = 0; k < N; ++k)
            v[k] = pins[k];
        return v;
    }

    bool bothWays_ = false;
};

// A result that only runs forward, offered on two copies: written to the
// second copy, then to the first.
template <class T> void writeCopies(MpGuiPin<T>& first, MpGuiPin<T>& second, const T& v)
{
    second = v;
    first = v;
}

// The usual layouts on the frame, for every value type.

// A function of one value: operand, result left and right, [mode,] switch.
template <class T> class Function : public Bidirectional<T>
{
protected:
    explicit Function(bool withMode)
    {
        this->registerInputs();
        this->registerCopies();
        if (withMode)
            this->initializePin(mode_);
        this->registerSwitch();
    }
    T x() const { return this->in(0); }

    MpGuiPin<int> mode_;
};

// An operation on two values: first operand, second operand, result left and
// right, switch. The inverse rewrites the first operand.
template <class T> class Operation : public Bidirectional<T>
{
protected:
    Operation()
    {
        this->registerInputs();
        this->initializePin(b_, &Operation::onSetIn);
        this->registerCopies();
        this->registerSwitch();
    }
    T x() const { return this->in(0); }
    T b() const { return b_; }

    MpGuiPin<T> b_;
};

// A value clipped by the clip mode: value, lower and upper limit, result
// left and right, clip mode, switch, range-change mode. Mode 0 clips to the
// lower limit, 1 to the upper, any other value to both; a NaN passes. Back:
// a result clipped the same way. A change of a limit acts by the
// range-change mode (onRangeChange).
template <class T> class Clip : public Bidirectional<T>
{
protected:
    Clip()
    {
        this->registerInputs();
        this->initializePin(lower_, &Clip::onSetRng);
        this->initializePin(upper_, &Clip::onSetRng);
        this->registerCopies();
        this->initializePin(clipMode_);
        this->registerSwitch();
        this->initializePin(mode_);
    }

private:
    using typename Bidirectional<T>::Values;

    void onSetRng() { this->onRangeChange(mode_); }

    T clipped(T v) const
    {
        const T lo = lower_, hi = upper_;
        if (clipMode_ == 0)
            return lo > v ? lo : v;
        if (clipMode_ == 1)
            return v > hi ? hi : v;
        // Crossed limits: integers take the lower limit first, so every value
        // gives the upper one; floats give the lower limit below it and the
        // upper one otherwise.
        if constexpr (std::is_integral_v<T>)
        {
            const T t = lo > v ? lo : v;
            return t > hi ? hi : t;
        }
        else
            return lo > v ? lo : v > hi ? hi : v;
    }

    Values forward() override { return {clipped(this->in(0))}; }
    Values inverse(const Values& r) override { return {clipped(r[0])}; }

    MpGuiPin<T> lower_, upper_;
    MpGuiPin<int> clipMode_, mode_;
};

// A result of two operands that only runs forward, on two copies: operands a
// and b, the first and the second copy (written second copy first), then the
// module's own pins.
template <class T> class OfTwo : public MpGuiInvisibleBase
{
protected:
    OfTwo()
    {
        initializePin(a_, &OfTwo::onSetIn);
        initializePin(b_, &OfTwo::onSetIn);
        initializePin(first_);
        initializePin(second_);
    }
    virtual T compute() const = 0;

    MpGuiPin<T> a_, b_;

private:
    void onSetIn() { writeCopies(first_, second_, compute()); }

    MpGuiPin<T> first_, second_;
};
} // namespace qw
