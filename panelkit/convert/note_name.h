// The frame of the note-name converters: a source value (a MIDI note number
// or pitch volts) both ways, its note index (0 = A, 1 = A# ... 11 = G#) and
// octave both ways, and the two lists a control shows those with:
//
//   pin 0  source     both ways   handler: split into index and octave
//   pin 1  index      both ways   handler: join index and octave
//   pin 2  names      out         "A,A#,B,C,C#,D,D#,E,F,F#,G,G#" at initialize
//   pin 3  octave     both ways   handler: join index and octave
//   pin 4  octaves    out         "range 0,9" at initialize
//
// The split writes the index, then the octave; it does nothing while the
// join writes the source (under the echo guard). The module's own values
// coming back from the host are its echoes and run nothing, so no other note
// is sent between the two writes of a split.
#pragma once

#include "../logic/family.h"

#include <cstdint>

namespace qw
{
template <class Source> class NoteName : public MpGuiInvisibleBase
{
public:
    int32_t initialize() override
    {
        names_ = std::wstring(L"A,A#,B,C,C#,D,D#,E,F,F#,G,G#");
        octaves_ = std::wstring(L"range 0,9");
        return MpGuiInvisibleBase::initialize();
    }

protected:
    NoteName()
    {
        initializePin(source_, &NoteName::onSetSource);
        initializePin(index_, &NoteName::onSetKey);
        initializePin(names_);
        initializePin(octave_, &NoteName::onSetKey);
        initializePin(octaves_);
        expectOwnEchoes();
    }

    struct Key
    {
        int32_t index, octave;
    };
    virtual Key split(Source v) const = 0;
    virtual Source join(int32_t index, int32_t octave) const = 0;

private:
    void onSetSource()
    {
        if (guard_.raised())
            return;
        const Key k = split(source_);
        index_ = k.index;
        octave_ = k.octave;
    }
    void onSetKey()
    {
        EchoGuard::Raise raise(guard_);
        source_ = join(index_, octave_);
    }

    MpGuiPin<Source> source_;
    MpGuiPin<int> index_;
    StringGuiPin names_;
    MpGuiPin<int> octave_;
    StringGuiPin octaves_;
    EchoGuard guard_;
};
} // namespace qw
