// User-interface module that reports every handler the framework runs (as
// messages to its processing half, which the host stand-in records), mirrors
// each input pin to an output pin, and obeys commands that reach the host's
// services. Its auto-duplicated pins are made at the first host value, from
// the host's pin count.
#include "mp_sdk_gui.h"

#include <initializer_list>
#include <memory>
#include <vector>

class QW_TestGuiProbe : public MpGuiInvisibleBase
{
public:
    enum Log : int32_t
    {
        LOG_NOTIFY = 1,     // pin, voice (-1 when the handler takes none)
        LOG_COMMAND = 2,    // command, after it is done
        LOG_INITIALIZE = 3, // pins in the table
        LOG_MESSAGE = 4,    // id, size
    };
    enum Command : int32_t
    {
        TEXT_FROM_UTF8 = 1, // Text Out = the Blob's bytes as UTF-8
        TEXT_TO_UTF8 = 2,   // Blob Out = the Text as UTF-8
        RESOLVE = 3,        // Text Out = the Text resolved as a file name
        FIND = 4,           // Text Out = the resource named by the Text (type "Test")
        REGISTER = 5,       // Text Out = the registered address of the Text (type "Test")
        OPEN = 6,           // Blob Out = content of the resource named by the Text; Int Out = size or -1
        PIN_COUNT = 7,      // Int Out = the host's pin count
        TRANSMIT_RAW = 8,   // the Float's value sent on Float Out's id with voice 3, nothing stored
        MESSAGE = 9,        // the Blob's bytes as message 99 to the processing half
    };

    QW_TestGuiProbe()
    {
        initializePin(int_, &QW_TestGuiProbe::onInput<0>);
        initializePin(float_, &QW_TestGuiProbe::onInput<1>);
        initializePin(bool_, &QW_TestGuiProbe::onInput<2>);
        initializePin(text_, &QW_TestGuiProbe::onInput<3>);
        initializePin(blob_, &QW_TestGuiProbe::onInput<4>);
        initializePin(intOut_, &QW_TestGuiProbe::onOutput<5>);
        initializePin(floatOut_, &QW_TestGuiProbe::onOutput<6>);
        initializePin(boolOut_, &QW_TestGuiProbe::onOutput<7>);
        initializePin(textOut_, &QW_TestGuiProbe::onOutput<8>);
        initializePin(blobOut_, &QW_TestGuiProbe::onOutput<9>);
        initializePin(command_, &QW_TestGuiProbe::onCommand);
        initializePin(11, voice_, &QW_TestGuiProbe::onVoice);
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        if (!extrasMade_)
        {
            // The host's copies of the auto-duplicated last pin.
            extrasMade_ = true;
            const int32_t count = getHostPinCount();
            for (int32_t id = kFixedPins; id < count; ++id)
            {
                extras_.push_back(std::make_unique<MpGuiPin<int>>());
                initializePin(*extras_.back());
            }
        }
        return GuiPinOwner::setPin(pinId, voice, size, data);
    }

    int32_t initialize() override
    {
        log(LOG_INITIALIZE, {static_cast<int32_t>(pins_.size())});
        return MpGuiInvisibleBase::initialize();
    }

    int32_t receiveMessageFromAudio(int32_t id, int32_t size, const void*) override
    {
        log(LOG_MESSAGE, {id, size});
        return gmpi::MP_OK;
    }

private:
    static constexpr int32_t kFixedPins = 12;

    void log(int32_t what, std::initializer_list<int32_t> values)
    {
        std::vector<int32_t> data(values);
        sendMessageToAudio(what, static_cast<int32_t>(data.size() * 4), data.data());
    }

    template <int Pin> void onInput()
    {
        log(LOG_NOTIFY, {Pin, -1});
        switch (Pin)
        {
        case 0:
            intOut_ = int_;
            break;
        case 1:
            floatOut_ = float_;
            break;
        case 2:
            boolOut_ = bool_;
            break;
        case 3:
            textOut_ = text_;
            break;
        default:
            blobOut_ = blob_;
            break;
        }
    }

    template <int Pin> void onOutput() { log(LOG_NOTIFY, {Pin, -1}); }

    void onVoice(int32_t voice) { log(LOG_NOTIFY, {11, voice}); }

    void onCommand()
    {
        log(LOG_NOTIFY, {10, -1});
        const MpBlob& blob = blob_;
        const std::string bytes(blob.getData() ? blob.getData() : "", static_cast<size_t>(blob.getSize()));
        const std::string name = text_;
        switch (command_.getValue())
        {
        case TEXT_FROM_UTF8:
            textOut_ = bytes;
            break;
        case TEXT_TO_UTF8:
        {
            const std::string utf8 = text_;
            blobOut_ = MpBlob(utf8.size(), utf8.data());
            break;
        }
        case RESOLVE:
            textOut_ = getUiHost().resolveFilename(text_.getValue());
            break;
        case FIND:
            textOut_ = getUiHost().FindResourceU(name.c_str(), "Test");
            break;
        case REGISTER:
            textOut_ = getUiHost().RegisterResourceUri(name.c_str(), "Test");
            break;
        case OPEN:
        {
            auto file = getUiHost().OpenUri(getUiHost().FindResourceU(name.c_str(), "Test"));
            int64_t size = -1;
            if (!file || file->getSize(size) != gmpi::MP_OK || size < 0 || size > (1 << 20))
            {
                intOut_ = -1;
                break;
            }
            std::vector<char> content(static_cast<size_t>(size));
            if (size > 0 && file->read(content.data(), size) != gmpi::MP_OK)
            {
                intOut_ = -1;
                break;
            }
            blobOut_ = MpBlob(content.size(), content.data());
            intOut_ = static_cast<int>(size);
            break;
        }
        case PIN_COUNT:
            intOut_ = getHostPinCount();
            break;
        case TRANSMIT_RAW:
        {
            const float v = float_;
            pinTransmit(floatOut_.getId(), 4, &v, 3);
            break;
        }
        case MESSAGE:
            sendMessageToAudio(99, blob.getSize(), blob.getData());
            break;
        default:
            break;
        }
        log(LOG_COMMAND, {command_.getValue()});
    }

    MpGuiPin<int> int_;
    MpGuiPin<float> float_;
    MpGuiPin<bool> bool_;
    StringGuiPin text_;
    MpGuiPin<MpBlob> blob_;
    MpGuiPin<int> intOut_;
    MpGuiPin<float> floatOut_;
    MpGuiPin<bool> boolOut_;
    StringGuiPin textOut_;
    MpGuiPin<MpBlob> blobOut_;
    MpGuiPin<int> command_;
    MpGuiPin<int> voice_;
    std::vector<std::unique_ptr<MpGuiPin<int>>> extras_;
    bool extrasMade_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestGuiProbe", &gmpi::Register<QW_TestGuiProbe>::withId);
}
