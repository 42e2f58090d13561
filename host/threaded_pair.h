// Both halves of one module on two threads, as a host runs them: the
// processing half block after block on one thread, the user-interface half on
// a thread of its own, and the messages between the halves through queues
// that either thread may fill.
//
//   qwhost::ThreadedPair pair;                  // settings: pair.processing, pair.gui
//   pair.add(bundle, L"QW_Name");               // both halves, started as a patch starts them
//   qwhost::ThreadedPair::Hooks hooks;
//   hooks.beforeBlock = [](Processor& p, int64_t block) { ... };  // inputs of the block
//   hooks.afterBlock = [](Processor& p) { ... };                  // what the block sent
//   hooks.onGui = [](GuiModule& g) { ... };                       // after each round of deliveries
//   pair.run(std::chrono::seconds(2), 64, hooks);
//
// Before each block the processing half gets the messages that have come from
// the user-interface half (and wakes for them); the user-interface half gets
// each message of the processing half as soon as its thread takes it, after
// the block that sent it. What each half told the host is dropped after its
// hook has seen it, so a long run keeps little. The user-interface thread
// stops once the processing thread has stopped and every message it sent has
// been delivered.
#pragma once

#include "processing_host.h"
#include "ui_host.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qwhost
{
// Messages from one thread to another, in order.
class MessageQueue
{
public:
    void push(int id, const void* data, int size);
    // Every message waiting now; when there is none, waits up to `wait` for one.
    std::vector<MessageToAudio> take(std::chrono::microseconds wait = std::chrono::microseconds(0));

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<MessageToAudio> messages_;
};

class ThreadedPair
{
public:
    ProcessingHost processing;
    GuiHost gui;

    struct Hooks
    {
        std::function<void(Processor&, int64_t block)> beforeBlock; // processing thread
        std::function<void(Processor&)> afterBlock;                 // processing thread
        std::function<void(GuiModule&)> onGui;                      // user-interface thread
    };

    ThreadedPair() = default;
    ThreadedPair(const ThreadedPair&) = delete;
    ThreadedPair& operator=(const ThreadedPair&) = delete;
    ~ThreadedPair();

    // Creates both halves of `id`: the processing half with every input at
    // its default and graph start due in its first block, the user-interface
    // half with every pin's default, then initialize. Throws Error when
    // either half is not described.
    void add(std::shared_ptr<Bundle> bundle, const std::wstring& id);
    // Runs blocks of n samples for `duration` of wall-clock time (at least
    // one block). Rethrows on this thread what either thread threw.
    void run(std::chrono::milliseconds duration, int n, const Hooks& hooks);

    Processor& processor() const { return *processor_; }
    GuiModule& guiModule() const { return *gui_; }
    int64_t blocksRun() const { return blocks_; }
    int64_t messagesToGui() const { return toGuiCount_; }
    int64_t messagesToAudio() const { return toAudioCount_; }

private:
    std::unique_ptr<Processor> processor_;
    std::unique_ptr<GuiModule> gui_;
    MessageQueue toGui_;
    MessageQueue toAudio_;
    int64_t blocks_ = 0;
    int64_t toGuiCount_ = 0;
    int64_t toAudioCount_ = 0;
};
} // namespace qwhost
