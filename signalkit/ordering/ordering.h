// Helpers of the ordering modules: pins made from the host's pin list.
#pragma once

#include "../maths/audio_modules.h"

#include <array>
#include <memory>
#include <vector>

namespace qw::ordering
{
// A module that makes pins in open from the host's list of its pins.
class HostPinsModule : public MpBase2
{
protected:
    // One pin per listed pin of the datatype, in the host's order, under the
    // id the host gave it: an input for direction 0, else an output (outs
    // null: outputs are not taken). An id some pin of the module already has
    // is skipped, never registered twice.
    template <class In, class Out>
    void takeHostPins(int datatype, std::vector<std::unique_ptr<In>>& ins, std::vector<std::unique_ptr<Out>>* outs)
    {
        struct Listed
        {
            int id;
            bool input;
        };
        std::vector<Listed> listed;
        PinIterator it(this);
        for (int32_t r = it.first(); r == 0; r = it.next())
            if (it.getDatatype() == datatype && (outs || it.getDirection() == gmpi::MP_IN))
                listed.push_back({it.getUniqueId(), it.getDirection() == gmpi::MP_IN});
        for (const Listed& l : listed)
        {
            if (pins_.count(l.id))
                continue;
            if (l.input)
            {
                ins.push_back(std::make_unique<In>());
                initializePin(l.id, *ins.back());
            }
            else
            {
                outs->push_back(std::make_unique<Out>());
                initializePin(l.id, *outs->back());
            }
        }
    }

    // The position of each listed pin of the datatype and direction 0 as its
    // id (skipping ids already taken).
    template <class In> void takeHostInputsByPosition(int datatype, std::vector<std::unique_ptr<In>>& ins)
    {
        std::vector<int> positions;
        PinIterator it(this);
        int position = 0;
        for (int32_t r = it.first(); r == 0; r = it.next(), ++position)
            if (it.getDatatype() == datatype && it.getDirection() == gmpi::MP_IN)
                positions.push_back(position);
        for (int id : positions)
        {
            if (pins_.count(id))
                continue;
            ins.push_back(std::make_unique<In>());
            initializePin(id, *ins.back());
        }
    }
};
} // namespace qw::ordering
