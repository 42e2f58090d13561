// Logic gates on user-interface bools: one over two inputs and one over any
// number of auto-duplicating inputs. Both compute nothing before initialize,
// once there, and after it at every value the host delivers.
#include "family.h"

#include <vector>

// What both gates share: the operation and invert pins first, and no
// computation before initialize.
class LogicGateBase : public MpGuiInvisibleBase
{
public:
    LogicGateBase()
    {
        initializePin(operation_);
        initializePin(invert_);
    }

    int32_t initialize() override
    {
        notInitialized_ = false;
        computeOutput();
        return MpGuiInvisibleBase::initialize();
    }

protected:
    virtual void computeOutput() = 0;

    MpGuiPin<int> operation_;
    MpGuiPin<bool> invert_;
    bool notInitialized_ = true;
};

class QW_GUILogicGate : public LogicGateBase
{
public:
    QW_GUILogicGate()
    {
        initializePin(a_);
        initializePin(b_);
        initializePin(resultL_);
        initializePin(resultR_);
    }

    // A value the host writes into the first result copy stays there until
    // the next recomputation; one written into the second is recomputed.
    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (!notInitialized_ && pinId != kResultL)
            computeOutput();
        return r;
    }

private:
    enum Operation
    {
        AND = 0,
        OR = 1,
        XOR = 2, // any other value: false
    };
    static constexpr int32_t kResultL = 4;

    void computeOutput() override
    {
        const bool a = a_, b = b_;
        bool r = false;
        switch (operation_)
        {
        case AND:
            r = a && b;
            break;
        case OR:
            r = a || b;
            break;
        case XOR:
            r = a != b;
            break;
        default:
            break;
        }
        resultL_ = (resultR_ = r != invert_);
    }

    MpGuiPin<bool> a_;
    MpGuiPin<bool> b_;
    MpGuiPin<bool> resultL_;
    MpGuiPin<bool> resultR_;
};

// The inputs are not registered pins: the gate learns their number from the
// highest input id the host delivers before initialize and keeps it.
class QW_GUILogicGateMultiIn : public LogicGateBase
{
public:
    QW_GUILogicGateMultiIn() { initializePin(result_); }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (!qw::takenPinId(pinId))
            return r;
        if (pinId >= kFirstInput)
        {
            const size_t k = static_cast<size_t>(pinId - kFirstInput);
            if (notInitialized_ && k >= inputs_.size())
                inputs_.resize(k + 1, false);
            // An input beyond the count learnt before initialize is ignored.
            if (k < inputs_.size())
                inputs_[k] = qw::fromBytes<bool>(size, data);
        }
        if (!notInitialized_)
            computeOutput();
        return r;
    }

private:
    enum Operation
    {
        AND = 0, // any other value: OR
    };
    static constexpr int32_t kFirstInput = 3;

    void computeOutput() override
    {
        bool r;
        if (operation_ == AND)
            r = std::find(inputs_.begin(), inputs_.end(), false) == inputs_.end();
        else
            r = std::find(inputs_.begin(), inputs_.end(), true) != inputs_.end();
        result_ = r != invert_;
    }

    MpGuiPin<bool> result_;
    std::vector<bool> inputs_; // one per input, false until set
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUILogicGate", &gmpi::Register<QW_GUILogicGate>::withId);
auto r2 =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUILogicGateMultiIn", &gmpi::Register<QW_GUILogicGateMultiIn>::withId);
} // namespace
