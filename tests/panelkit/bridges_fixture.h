// The processing half of a panelkit module through the built bundle, run in
// blocks of one size with pin values at given samples and trigger messages
// before given blocks, and what it told the host: its control updates, its
// audio output as a reader downstream sees it (the value at a static report
// holds until the next report), its streaming reports and sleep requests.
//
//   bridgetest::DspRun r(L"QW_GUIAudioTrigger", 64);
//   r.set("Level", 5.0, 0).set("Length", 100, 0).message(bridgetest::kCommon);
//   r.run(4000);
//   r.seen()                                       // 0.5 over [1792, 1892)
//
// sameAtEveryBlock runs one scenario at block sizes 1, 7, 64, 128 and 256 and
// fails where what a reader sees differs from the first.
#pragma once

#include "processing_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace bridgetest
{
constexpr int kBlocks[] = {1, 7, 64, 128, 256};
// A sample at which every block size above starts a block (7 x 256).
constexpr int64_t kCommon = 1792;

// A value sent on a control output: its sample and its value as a number
// (a bool as 0 or 1); texts and blobs by their bytes.
struct Update
{
    int64_t time;
    double value;
    std::vector<uint8_t> bytes;
    bool operator==(const Update& o) const { return time == o.time && value == o.value && bytes == o.bytes; }
};
inline std::ostream& operator<<(std::ostream& os, const Update& u)
{
    return os << "(" << u.time << ", " << u.value << ", " << u.bytes.size() << " bytes)";
}

struct Report
{
    int64_t time;
    bool streaming;
    bool operator==(const Report& o) const { return time == o.time && streaming == o.streaming; }
};
inline std::ostream& operator<<(std::ostream& os, const Report& r)
{
    return os << "(" << r.time << (r.streaming ? ", streaming)" : ", static)");
}

// Every streaming report of a pin, repeats included.
inline std::vector<Report> reportsOf(const qwhost::Processor& p, int pin)
{
    std::vector<Report> out;
    for (auto& r : p.streamingReports)
        if (r.pin == pin)
            out.push_back({r.time, r.streaming});
    return out;
}

// An audio output's samples from sample 0 as a reader sees them: while the
// output is reported static, the value at the report holds.
inline std::vector<float> seenOf(const std::vector<float>& raw, const std::vector<Report>& reports)
{
    std::vector<float> s(raw);
    bool hold = false;
    float held = 0.0f;
    size_t k = 0;
    for (size_t t = 0; t < s.size(); ++t)
    {
        for (; k < reports.size() && reports[k].time <= static_cast<int64_t>(t); ++k)
        {
            hold = !reports[k].streaming;
            if (hold && reports[k].time == static_cast<int64_t>(t))
                held = raw[t];
        }
        if (hold)
            s[t] = held;
    }
    return s;
}

class DspRun
{
public:
    // Graph start at sample 0; with `defaults` every input also takes its
    // described default there, else the inputs keep what the module holds.
    DspRun(const std::wstring& id, int block, float rate = 44100.0f, bool defaults = false) : block_(block)
    {
        host_.blockSize = 256;
        host_.sampleRate = rate;
        p_ = host_.create(qwtest::bundle("panelkit"), id);
        if (defaults)
            p_->startGraph();
        else
            p_->graphStart();
    }

    qwhost::Processor& processor() const { return *p_; }
    int block() const { return block_; }

    // A control value at sample `at`, by the pin's datatype.
    DspRun& set(const std::string& name, double v, int64_t at)
    {
        const int pin = p_->pin(name);
        const int offset = static_cast<int>(at - p_->now());
        switch (p_->pinInfo(pin).datatype)
        {
        case gmpi::MP_BOOL:
            p_->setBool(pin, v != 0.0, offset);
            break;
        case gmpi::MP_FLOAT32:
            p_->setFloat(pin, static_cast<float>(v), offset);
            break;
        default:
            p_->setInt(pin, static_cast<int32_t>(v), offset);
        }
        return *this;
    }
    DspRun& setRaw(const std::string& name, const std::vector<uint8_t>& bytes, int64_t at)
    {
        p_->setRaw(p_->pin(name), bytes.data(), static_cast<int>(bytes.size()), static_cast<int>(at - p_->now()));
        return *this;
    }
    // A message from the interface half, delivered as the host does between
    // blocks: before the block that starts at `at`.
    DspRun& message(int64_t at, int32_t id = 0, int32_t size = 0, const void* data = nullptr)
    {
        messages_.push_back({at, id, size, data});
        std::stable_sort(messages_.begin(), messages_.end(),
                         [](const Message& a, const Message& b) { return a.at < b.at; });
        return *this;
    }

    // Runs on to sample `until`.
    void run(int64_t until)
    {
        const int out = audioOut();
        while (p_->now() < until)
        {
            while (next_ < messages_.size() && messages_[next_].at <= p_->now())
            {
                const Message& m = messages_[next_++];
                EXPECT_EQ(m.at, p_->now()) << "a message between blocks must fall on a block start";
                p_->wake();
                p_->plugin()->receiveMessageFromGui(m.id, m.size, m.data);
            }
            const int n = static_cast<int>(std::min<int64_t>(block_, until - p_->now()));
            p_->run(n);
            if (out >= 0)
                raw_.insert(raw_.end(), p_->output(out), p_->output(out) + n);
        }
    }

    // Every value sent on a control output, in order (graph start's first).
    std::vector<Update> updates(const std::string& name) const
    {
        const int pin = p_->pin(name);
        const int type = p_->pinInfo(pin).datatype;
        std::vector<Update> out;
        for (auto& u : p_->updates)
        {
            if (u.pin != pin)
                continue;
            const double v = type == gmpi::MP_BOOL                             ? (u.asBool() ? 1.0 : 0.0)
                             : type == gmpi::MP_FLOAT32                        ? static_cast<double>(u.asFloat())
                             : type == gmpi::MP_INT32 || type == gmpi::MP_ENUM ? static_cast<double>(u.asInt())
                                                                               : 0.0;
            out.push_back({u.time, v, u.data});
        }
        return out;
    }

    // Every streaming report of the audio output, repeats included.
    std::vector<Report> reports() const { return reportsOf(*p_, audioOut()); }

    // The audio output as a reader sees it.
    std::vector<float> seen() const { return seenOf(raw_, reports()); }

    // Samples at which the blocks that asked the host for sleep started.
    std::vector<int64_t> sleeps() const
    {
        std::vector<int64_t> out;
        for (int64_t b : p_->sleepRequests)
            out.push_back(b * block_);
        return out;
    }

private:
    struct Message
    {
        int64_t at;
        int32_t id, size;
        const void* data;
    };
    int audioOut() const
    {
        for (int i = 0; i < p_->pinCount(); ++i)
            if (p_->pinInfo(i).direction == gmpi::MP_OUT && p_->pinInfo(i).datatype == gmpi::MP_AUDIO)
                return i;
        return -1;
    }

    qwhost::ProcessingHost host_;
    std::unique_ptr<qwhost::Processor> p_;
    int block_;
    std::vector<Message> messages_;
    size_t next_ = 0;
    std::vector<float> raw_;
};

// A module set up and run to sample `until` in blocks of `block`.
inline std::unique_ptr<DspRun> runOf(const std::wstring& id, int block, const std::function<void(DspRun&)>& setup,
                                     int64_t until)
{
    auto r = std::make_unique<DspRun>(id, block);
    setup(*r);
    r->run(until);
    return r;
}

// What a reader downstream gets from a run.
struct Outcome
{
    std::vector<Update> updates; // of the control output, when the module has one
    std::vector<float> seen;     // of the audio output, when the module has one
    std::vector<Report> reports;
};

// Runs scenario(block) at each block size of kBlocks; adds a failure where
// the outcome differs from the first one's. Answers the first.
inline Outcome sameAtEveryBlock(const std::function<Outcome(int block)>& scenario)
{
    Outcome first;
    for (int block : kBlocks)
    {
        Outcome o = scenario(block);
        if (block == kBlocks[0])
        {
            first = std::move(o);
            continue;
        }
        EXPECT_EQ(o.updates, first.updates) << "blocks of " << block;
        EXPECT_EQ(o.reports, first.reports) << "blocks of " << block;
        EXPECT_EQ(o.seen.size(), first.seen.size()) << "blocks of " << block;
        for (size_t t = 0; t < std::min(o.seen.size(), first.seen.size()); ++t)
            if (o.seen[t] != first.seen[t])
            {
                ADD_FAILURE() << "blocks of " << block << ": sample " << t << " is " << o.seen[t] << ", not "
                              << first.seen[t];
                break;
            }
    }
    return first;
}

// Pulses [start, end) of a seen output that rests at `rest`.
inline std::vector<std::pair<int64_t, int64_t>> pulses(const std::vector<float>& seen, float rest)
{
    std::vector<std::pair<int64_t, int64_t>> out;
    for (size_t t = 0; t < seen.size(); ++t)
    {
        const bool on = seen[t] != rest;
        const bool wasOn = t > 0 && seen[t - 1] != rest;
        if (on && !wasOn)
            out.push_back({static_cast<int64_t>(t), static_cast<int64_t>(seen.size())});
        if (!on && wasOn)
            out.back().second = static_cast<int64_t>(t);
    }
    return out;
}

// After each pulse [start, end) the module asks the host for sleep once,
// before the next pulse starts: in a block that ends after the pulse has
// ended, and within one host block of countdown after it. It sleeps at the end.
inline void expectSleepAfterEachPulse(const DspRun& r, const std::vector<std::pair<int64_t, int64_t>>& spans)
{
    const auto sleeps = r.sleeps();
    for (size_t k = 0; k < spans.size(); ++k)
    {
        const int64_t from = spans[k].first;
        const int64_t to = k + 1 < spans.size() ? spans[k + 1].first : INT64_MAX;
        std::vector<int64_t> in;
        for (int64_t s : sleeps)
            if (s >= from && s < to)
                in.push_back(s);
        ASSERT_EQ(in.size(), 1u) << "blocks of " << r.block() << ": pulse " << k << " from " << from;
        EXPECT_GT(in[0] + r.block(), spans[k].second) << "blocks of " << r.block() << ": asleep during pulse " << k;
        EXPECT_LE(in[0], spans[k].second + 256 + r.block()) << "blocks of " << r.block() << ": pulse " << k;
    }
    EXPECT_TRUE(r.processor().asleep()) << "blocks of " << r.block();
}
} // namespace bridgetest
