#include "TimerManager.h"

#include <algorithm>

namespace
{
bool managerDestroyed = false;

void timerCallback(CFRunLoopTimerRef timer, void* /*info*/)
{
    // Looked up by handle: a timer that is gone is never touched.
    if (TimerManager::alive())
        TimerManager::Instance().OnTimer(timer);
}
} // namespace

// ---------------------------------------------------------------- TimerClient

TimerClient::~TimerClient()
{
    if (TimerManager::alive())
        TimerManager::Instance().UnRegisterClient(this);
}

void TimerClient::StartTimer(int32_t intervalMs)
{
    if (TimerManager::alive())
        TimerManager::Instance().RegisterClient(this, intervalMs);
}

void TimerClient::StartTimer()
{
    if (TimerManager::alive())
        TimerManager::Instance().RegisterClient(this, TimerManager::Instance().defaultInterval());
}

void TimerClient::SetTimerIntervalMs(int32_t intervalMs)
{
    if (TimerManager::alive())
        TimerManager::Instance().SetInterval(intervalMs);
}

void TimerClient::StopTimer()
{
    if (TimerManager::alive())
        TimerManager::Instance().UnRegisterClient(this);
}

// ---------------------------------------------------------------- Timer

namespace mp_sdk_timers
{
bool Timer::has(const TimerClient* client) const
{
    return std::any_of(clients_.begin(), clients_.end(), [client](const Entry& e) { return e.client == client; });
}

void Timer::Start()
{
    Stop();
    if (clients_.empty())
        return;
    // A host without run-loop services runs no timers; the handle stays null.
    if (!platformRunLoopPresent())
        return;
    // A repeating platform timer needs a positive interval.
    const int32_t ms = intervalMs_ < 1 ? 1 : intervalMs_;
    const float seconds = static_cast<float>(ms) * 0.001f;
    const CFTimeInterval interval = seconds;
    CFRunLoopTimerContext context = {0, this, nullptr, nullptr, nullptr};
    handle_ = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + interval, interval, 0, 0,
                                   &timerCallback, &context);
    if (handle_)
        CFRunLoopAddTimer(CFRunLoopGetCurrent(), handle_, kCFRunLoopCommonModes);
}

void Timer::Stop()
{
    if (!handle_)
        return;
    CFRunLoopRemoveTimer(CFRunLoopGetCurrent(), handle_, kCFRunLoopCommonModes);
    CFRunLoopTimerInvalidate(handle_);
    CFRelease(handle_);
    handle_ = nullptr;
}

void Timer::OnTimer()
{
    ++tickDepth_;
    const std::vector<Entry> snapshot = clients_;
    for (const Entry& e : snapshot)
    {
        // A client that left (or was destroyed) since the tick began is skipped;
        // one that joined meanwhile waits for the next tick.
        const bool stillHere = std::any_of(clients_.begin(), clients_.end(), [&e](const Entry& live) {
            return live.client == e.client && live.serial == e.serial;
        });
        if (!stillHere)
            continue;
        if (!e.client->OnTimer())
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                          [&e](const Entry& live) { return live.client == e.client; }),
                           clients_.end());
    }
    // Emptied by its clients' answers: the timer stops but stays known, to be
    // started again by the next client of its interval.
    if (clients_.empty())
        Stop();
    --tickDepth_;
}
} // namespace mp_sdk_timers

// ---------------------------------------------------------------- TimerManager

TimerManager& TimerManager::Instance()
{
    static TimerManager instance;
    return instance;
}

bool TimerManager::alive()
{
    return !managerDestroyed;
}

TimerManager::~TimerManager()
{
    for (auto& t : timers_)
        t->Stop();
    timers_.clear();
    retired_.clear();
    managerDestroyed = true;
}

void TimerManager::RegisterClient(TimerClient* client, int32_t intervalMs)
{
    if (!client)
        return;
    for (auto& t : timers_)
    {
        if (t->intervalMs_ != intervalMs)
            continue;
        if (t->has(client))
            return;
        t->clients_.push_back({client, nextSerial_++});
        if (!t->isRunning())
            t->Start();
        return;
    }
    timers_.push_back(std::make_unique<mp_sdk_timers::Timer>(intervalMs));
    timers_.back()->clients_.push_back({client, nextSerial_++});
    timers_.back()->Start();
}

void TimerManager::UnRegisterClient(TimerClient* client)
{
    for (size_t i = 0; i < timers_.size();)
    {
        mp_sdk_timers::Timer& t = *timers_[i];
        auto& c = t.clients_;
        const auto end = std::remove_if(c.begin(), c.end(), [client](const auto& e) { return e.client == client; });
        const bool had = end != c.end();
        c.erase(end, c.end());
        if (had && c.empty())
        {
            t.Stop();
            // A timer whose tick is running is freed when the tick is over.
            if (t.ticking())
                retired_.push_back(std::move(timers_[i]));
            timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
}

void TimerManager::OnTimer(void* handle)
{
    if (!handle)
        return;
    mp_sdk_timers::Timer* timer = nullptr;
    for (auto& t : timers_)
        if (t->handle_ == handle)
            timer = t.get();
    if (!timer || timer->ticking())
        return;
    ++tickDepth_;
    timer->OnTimer();
    --tickDepth_;
    if (tickDepth_ == 0)
        retired_.clear();
}
