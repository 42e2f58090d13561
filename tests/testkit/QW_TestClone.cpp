// Finds the other voices of its polyphonic module through the host's clone
// iterator, the way modules that share one table across voices do.
#include "mp_sdk_audio.h"

class QW_TestClone : public MpBase2
{
public:
    QW_TestClone()
    {
        initializePin(clones_);
        initializePin(isFirst_);
    }

    int32_t open() override
    {
        gmpi_sdk::mp_shared_ptr<gmpi::IMpUnknown> object;
        getHost()->createCloneIterator(object.getAddressOf());
        gmpi_sdk::mp_shared_ptr<gmpi::IMpCloneIterator> it;
        if (object)
            object->queryInterface(gmpi::MP_IID_CLONE_ITERATOR, it.asIMpUnknownPtr());
        if (it)
        {
            it->first();
            gmpi::IMpUnknown* clone = nullptr;
            for (bool firstOne = true; it->next(&clone) == gmpi::MP_OK; firstOne = false)
            {
                auto* module = dynamic_cast<QW_TestClone*>(clone);
                if (!module)
                    continue;
                ++count_;
                if (firstOne)
                    first_ = module;
            }
        }
        return MpBase2::open();
    }

    // No inputs, so no onSetPins: the values go out at graph start.
    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        clones_ = count_;
        isFirst_ = first_ == this;
    }

private:
    IntOutPin clones_;
    BoolOutPin isFirst_;
    int count_ = 0;
    QW_TestClone* first_ = nullptr;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestClone", &gmpi::Register<QW_TestClone>::withId);
}
