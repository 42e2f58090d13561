// Waveform display and editor of a first-generation sample. The pin keeps a
// copy of each sample; the pencil draws into that copy, and on release its
// frames are published on the same pin as a raw sample blob.
#include "SamplePins.h"
#include "WaveformView.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>

namespace
{
// The sample pin. Each blob the module publishes is expected back once: a
// value of the same length and bytes (by their hash) is its echo whenever the
// host hands it back. The framework's echo record keeps the handler from
// running for it; the pin also keeps it out of its frames, which hold what
// the pencil has drawn since. A value from outside ends every expectation.
class EditSamplePin final : public qw::SampleGuiPin
{
public:
    bool set(int32_t voice, int32_t size, const void* data) override
    {
        echo_ = false;
        bool hashed = false;
        uint64_t hash = 0;
        for (auto it = awaited_.begin(); it != awaited_.end() && data && size > 0; ++it)
        {
            if (it->size != size)
                continue;
            if (!hashed)
                hash = EchoRecord::hashOf(data, static_cast<size_t>(size)), hashed = true;
            if (it->hash == hash)
            {
                // Sends before it whose echo never came are not waited for any more.
                awaited_.erase(awaited_.begin(), it + 1);
                echo_ = true;
                return false;
            }
        }
        awaited_.clear();
        return qw::SampleGuiPin::set(voice, size, data);
    }

    // Sends the frames as they stand.
    void publish()
    {
        const int32_t size = rawSize();
        if (awaited_.size() == kAwaited)
            awaited_.pop_front();
        awaited_.push_back({size, EchoRecord::hashOf(rawData(), static_cast<size_t>(size))});
        transmit();
    }

    // The value last handed to the pin was the module's own.
    bool echo() const { return echo_; }

private:
    struct Sent
    {
        int32_t size;
        uint64_t hash;
    };
    // Sends further back whose echo never came are forgotten.
    static constexpr size_t kAwaited = 8;
    std::deque<Sent> awaited_;
    bool echo_ = false;
};
} // namespace

class QW_SampleDisplayEdit final : public qw::WaveformView
{
public:
    QW_SampleDisplayEdit() : WaveformView(Kind::Editor)
    {
        initializePin(pinSample_, &QW_SampleDisplayEdit::onSetData);
        registerViewPins();
    }

private:
    Frames shownFrames() const override
    {
        const auto& f = pinSample_.frames;
        return {f.empty() ? nullptr : f.data(), static_cast<int64_t>(f.size())};
    }
    float* pencilFrames() override { return pinSample_.frames.empty() ? nullptr : pinSample_.frames.data(); }
    void publishStroke() override { pinSample_.publish(); }

    void onSetData()
    {
        if (!pinSample_.echo())
            newSample();
    }

    EditSamplePin pinSample_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SampleDisplayEdit", &gmpi::Register<QW_SampleDisplayEdit>::withId);
auto rc =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SampleDisplayEditC", &gmpi::Register<QW_SampleDisplayEdit>::withId);
} // namespace
