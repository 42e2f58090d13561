// Module with a variable number of inputs: it counts the host's pins in
// open() and adds one integer input per pin the host made.
#include "mp_sdk_audio.h"

#include <memory>
#include <vector>

class QW_TestPins : public MpBase2
{
public:
    QW_TestPins() { initializePin(sum_); }

    int32_t open() override
    {
        PinIterator it(this);
        for (int r = it.first(); r == 0; r = it.next())
            if (it.getDirection() == gmpi::MP_IN && it.getDatatype() == gmpi::MP_INT32)
            {
                terms_.push_back(std::make_unique<IntInPin>());
                initializePin(*terms_.back());
            }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        int total = 0;
        for (auto& t : terms_)
            total += t->getValue();
        sum_ = total;
    }

private:
    IntOutPin sum_;
    std::vector<std::unique_ptr<IntInPin>> terms_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestPins", &gmpi::Register<QW_TestPins>::withId);
}
