#include "threaded_pair.h"

#include "mp_api.h"
#include "mp_sdk_common.h"

#include <atomic>
#include <exception>
#include <thread>

namespace qwhost
{
void MessageQueue::push(int id, const void* data, int size)
{
    MessageToAudio m{id, {}};
    if (data && size > 0)
        m.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(std::move(m));
    }
    arrived_.notify_one();
}

std::vector<MessageToAudio> MessageQueue::take(std::chrono::microseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (messages_.empty() && wait.count() > 0)
        arrived_.wait_for(lock, wait, [this] { return !messages_.empty(); });
    std::vector<MessageToAudio> out;
    out.swap(messages_);
    return out;
}

ThreadedPair::~ThreadedPair()
{
    // Nothing either half does while it is destroyed reaches a queue.
    if (gui_)
        gui_->onMessageToAudio = nullptr;
    if (processor_)
        processor_->onMessageToGui = nullptr;
    gui_.reset();
    processor_.reset();
}

void ThreadedPair::add(std::shared_ptr<Bundle> bundle, const std::wstring& id)
{
    processor_ = processing.create(bundle, id);
    gui_ = gui.create(bundle, id, false);
    processor_->onMessageToGui = [this](int messageId, int size, const void* data) {
        toGui_.push(messageId, data, size);
    };
    gui_->onMessageToAudio = [this](int messageId, int size, const void* data) {
        toAudio_.push(messageId, data, size);
    };
    processor_->startGraph();
    gui_->setDefaults();
    gui_->initialize();
}

void ThreadedPair::run(std::chrono::milliseconds duration, int n, const Hooks& hooks)
{
    std::atomic<bool> processingDone{false};
    std::exception_ptr failure[2];
    Processor& p = *processor_;
    GuiModule& g = *gui_;

    std::thread audio([&] {
        try
        {
            const auto end = std::chrono::steady_clock::now() + duration;
            do
            {
                auto messages = toAudio_.take();
                if (!messages.empty())
                    p.wake();
                for (auto& m : messages)
                {
                    p.plugin()->receiveMessageFromGui(m.id, static_cast<int32_t>(m.data.size()),
                                                      m.data.empty() ? nullptr : m.data.data());
                    ++toAudioCount_;
                }
                if (hooks.beforeBlock)
                    hooks.beforeBlock(p, blocks_);
                p.run(n);
                ++blocks_;
                if (hooks.afterBlock)
                    hooks.afterBlock(p);
                p.updates.clear();
                p.streamingReports.clear();
                p.sleepRequests.clear();
                p.messages.clear();
            } while (std::chrono::steady_clock::now() < end);
        }
        catch (...)
        {
            failure[0] = std::current_exception();
        }
        processingDone.store(true, std::memory_order_release);
    });

    std::thread ui([&] {
        try
        {
            for (;;)
            {
                // Read before the queue: once the processing thread is done,
                // what it sent is in the queue.
                const bool last = processingDone.load(std::memory_order_acquire);
                for (auto& m : toGui_.take(std::chrono::milliseconds(1)))
                    g.messageFromAudio(m.id, m.data.empty() ? nullptr : m.data.data(), static_cast<int>(m.data.size()));
                if (hooks.onGui)
                    hooks.onGui(g);
                g.transmits.clear();
                g.messagesToAudio.clear();
                if (last)
                    break;
            }
        }
        catch (...)
        {
            failure[1] = std::current_exception();
        }
    });

    audio.join();
    ui.join();
    toGuiCount_ = p.messageCount;
    for (auto& f : failure)
        if (f)
            std::rethrow_exception(f);
}
} // namespace qwhost
