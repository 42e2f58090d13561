#include "signal_run.h"

#include "fourier.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>

namespace qwtest
{
namespace
{
constexpr double kTwoPi = 6.283185307179586476925;
}

Signal sine(double f, double rate, double amplitude)
{
    return [=](int64_t t) { return static_cast<float>(amplitude * std::sin(kTwoPi * f * double(t) / rate)); };
}

Signal impulse(int64_t at)
{
    return [at](int64_t t) { return t == at ? 1.0f : 0.0f; };
}

Signal noise(uint32_t seed, double amplitude)
{
    return [=](int64_t t) {
        uint64_t x = static_cast<uint64_t>(t) * 0x9E3779B97F4A7C15ULL + (uint64_t(seed) + 1) * 0xBF58476D1CE4E5B9ULL;
        x ^= x >> 31;
        x *= 0xD6E8FEB86659FD93ULL;
        x ^= x >> 32;
        return static_cast<float>(amplitude * (double(x & 0xFFFFFF) / 8388608.0 - 1.0));
    };
}

// --- Recording ---

const std::vector<float>& Recording::out(const std::string& name) const
{
    auto p = pins.find(name);
    if (p == pins.end())
        throw std::runtime_error("no audio output named " + name);
    return outputs.at(p->second);
}

std::vector<StreamingChange> Recording::changes(const std::string& name) const
{
    const int id = pins.at(name);
    std::vector<StreamingChange> r;
    for (auto& c : streaming)
        if (c.pin == id)
            r.push_back(c);
    return r;
}

int64_t Recording::lastChange(const std::string& name, bool state) const
{
    int64_t t = -1;
    for (auto& c : changes(name))
        if (c.streaming == state)
            t = c.time;
    return t;
}

std::vector<float> Recording::seen(const std::string& name) const
{
    const std::vector<float>& raw = out(name);
    std::vector<float> s(raw);
    const int64_t start = startTime;
    std::vector<StreamingChange> ch;
    for (auto& c : reports)
        if (c.pin == pins.at(name))
            ch.push_back(c);
    for (size_t k = 0; k < ch.size(); ++k)
    {
        if (ch[k].streaming)
            continue;
        const int64_t at = ch[k].time - start;
        const int64_t until = k + 1 < ch.size() ? ch[k + 1].time - start : static_cast<int64_t>(raw.size());
        if (at < 0 || at >= static_cast<int64_t>(raw.size()))
            continue;
        for (int64_t t = at; t < std::min<int64_t>(until, static_cast<int64_t>(raw.size())); ++t)
            s[static_cast<size_t>(t)] = raw[static_cast<size_t>(at)];
    }
    return s;
}

// --- SignalRun ---

SignalRun::SignalRun(const std::wstring& id, float rate, int block, const std::string& bundleName)
    : host_(std::make_unique<qwhost::ProcessingHost>()), block_(block)
{
    host_->sampleRate = rate;
    host_->blockSize = std::max(block, 256);
    p_ = host_->create(bundle(bundleName), id);
    p_->startGraph(0);
    for (int i = 0; i < p_->pinCount(); ++i)
        if (p_->pinInfo(i).direction == gmpi::MP_IN && p_->pinInfo(i).datatype == gmpi::MP_AUDIO)
            audioIn_[i].push_back({0, nullptr});
}

SignalRun::~SignalRun() = default;

void SignalRun::queueAt(int64_t at, const std::function<void(int)>& send)
{
    const int64_t offset = at - p_->now();
    if (offset < 0)
        throw std::runtime_error("a value for a time already run");
    send(static_cast<int>(offset));
}

SignalRun& SignalRun::set(const std::string& name, double value, int64_t at)
{
    const int id = pin(name);
    queueAt(at, [&](int offset) {
        switch (p_->pinInfo(id).datatype)
        {
        case gmpi::MP_FLOAT32:
            p_->setFloat(id, static_cast<float>(value), offset);
            break;
        case gmpi::MP_BOOL:
            p_->setBool(id, value != 0.0, offset);
            break;
        case gmpi::MP_INT32:
        case gmpi::MP_ENUM:
            p_->setInt(id, static_cast<int32_t>(value), offset);
            break;
        default:
            throw std::runtime_error("set: pin " + name + " takes no number");
        }
    });
    return *this;
}

SignalRun& SignalRun::blob(const std::string& name, const std::vector<uint8_t>& bytes, int64_t at)
{
    const int id = pin(name);
    queueAt(at, [&](int offset) { p_->setBlob(id, bytes, offset); });
    return *this;
}

SignalRun& SignalRun::midi(const std::string& name, const std::vector<uint8_t>& bytes, int64_t at)
{
    const int id = pin(name);
    queueAt(at, [&](int offset) { p_->sendMidi(id, bytes, offset); });
    return *this;
}

SignalRun& SignalRun::constant(const std::string& name, float value, int64_t at)
{
    const int id = pin(name);
    queueAt(at, [&](int offset) { p_->setConstant(id, value, offset); });
    audioIn_[id].push_back({at, nullptr});
    return *this;
}

SignalRun& SignalRun::stream(const std::string& name, Signal signal, int64_t at)
{
    const int id = pin(name);
    queueAt(at, [&](int offset) { p_->setStreaming(id, true, offset); });
    audioIn_[id].push_back({at, std::move(signal)});
    return *this;
}

Recording SignalRun::run(int64_t samples)
{
    Recording r;
    r.startTime = p_->now();
    std::map<int, bool> state; // the last reported state of each output
    for (int i = 0; i < p_->pinCount(); ++i)
        if (p_->pinInfo(i).direction == gmpi::MP_OUT && p_->pinInfo(i).datatype == gmpi::MP_AUDIO)
        {
            r.outputs[i].reserve(static_cast<size_t>(samples));
            r.pins[p_->pinInfo(i).name] = i;
        }
    for (auto& s : p_->streamingReports)
        state[s.pin] = s.streaming;
    const size_t reportsBefore = p_->streamingReports.size();
    const size_t sleepsBefore = p_->sleepRequests.size();

    for (int64_t done = 0; done < samples;)
    {
        const int n = static_cast<int>(std::min<int64_t>(block_, samples - done));
        const int64_t now = p_->now();
        for (auto& [id, pieces] : audioIn_)
        {
            float* b = p_->input(id);
            for (int i = 0; i < n; ++i)
            {
                const int64_t t = now + i;
                // The last piece given that has begun by t.
                const Piece* piece = nullptr;
                for (auto& pc : pieces)
                    if (pc.from <= t)
                        piece = &pc;
                if (piece && piece->signal)
                    b[i] = piece->signal(t);
            }
        }
        const size_t latency = p_->latencyReports.size();
        p_->run(n);
        for (size_t l = latency; l < p_->latencyReports.size(); ++l)
            r.latencyReports.emplace_back(now, p_->latencyReports[l]);
        for (auto& [id, v] : r.outputs)
            v.insert(v.end(), p_->output(id), p_->output(id) + n);
        done += n;
    }
    for (size_t k = reportsBefore; k < p_->streamingReports.size(); ++k)
    {
        const auto& s = p_->streamingReports[k];
        r.reports.push_back({s.time, s.pin, s.streaming});
        auto it = state.find(s.pin);
        if (it != state.end() && it->second == s.streaming)
            continue;
        state[s.pin] = s.streaming;
        r.streaming.push_back({s.time, s.pin, s.streaming});
    }
    for (size_t k = sleepsBefore; k < p_->sleepRequests.size(); ++k)
        r.sleepRequests.push_back(p_->sleepRequests[k]);
    return r;
}

Recording sameAtBlocks(const std::function<Recording(int)>& scenario, std::initializer_list<int> blocks)
{
    Recording first;
    bool haveFirst = false;
    for (int block : blocks)
    {
        Recording r = scenario(block);
        if (!haveFirst)
        {
            first = std::move(r);
            haveFirst = true;
            continue;
        }
        for (auto& [name, id] : first.pins)
        {
            const auto a = first.seen(name), b = r.seen(name);
            EXPECT_EQ(a.size(), b.size()) << name << " at blocks of " << block;
            for (size_t t = 0; t < std::min(a.size(), b.size()); ++t)
                if (!(a[t] == b[t] || (std::isnan(a[t]) && std::isnan(b[t]))))
                {
                    ADD_FAILURE() << name << " sample " << t << ": " << a[t] << " at blocks of " << *blocks.begin()
                                  << ", " << b[t] << " at blocks of " << block;
                    break;
                }
        }
        EXPECT_TRUE(first.streaming == r.streaming) << "streaming changes differ at blocks of " << block;
    }
    return first;
}

// --- measurements ---

SineFit fitSine(const std::vector<float>& y, double f, double rate, int64_t from, int64_t to, double amplitude)
{
    // Normal equations of y ~ a sin + b cos + c.
    double m[3][3] = {}, v[3] = {};
    for (int64_t t = from; t < to; ++t)
    {
        const double w = kTwoPi * f * double(t) / rate;
        const double basis[3] = {std::sin(w), std::cos(w), 1.0};
        const double yt = y[static_cast<size_t>(t)];
        for (int i = 0; i < 3; ++i)
        {
            v[i] += basis[i] * yt;
            for (int j = 0; j < 3; ++j)
                m[i][j] += basis[i] * basis[j];
        }
    }
    // Gaussian elimination with partial pivoting.
    for (int c = 0; c < 3; ++c)
    {
        int best = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[best][c]))
                best = r;
        std::swap(m[c], m[best]);
        std::swap(v[c], v[best]);
        for (int r = c + 1; r < 3; ++r)
        {
            const double k = m[r][c] / m[c][c];
            for (int j = c; j < 3; ++j)
                m[r][j] -= k * m[c][j];
            v[r] -= k * v[c];
        }
    }
    double x[3];
    for (int c = 2; c >= 0; --c)
    {
        double s = v[c];
        for (int j = c + 1; j < 3; ++j)
            s -= m[c][j] * x[j];
        x[c] = s / m[c][c];
    }
    SineFit fit;
    fit.gain = std::hypot(x[0], x[1]) / amplitude;
    fit.phase = std::atan2(x[1], x[0]);
    fit.offset = x[2];
    double e = 0;
    for (int64_t t = from; t < to; ++t)
    {
        const double w = kTwoPi * f * double(t) / rate;
        const double d = y[static_cast<size_t>(t)] - (x[0] * std::sin(w) + x[1] * std::cos(w) + x[2]);
        e += d * d;
    }
    fit.residual = to > from ? std::sqrt(e / double(to - from)) : 0.0;
    return fit;
}

double peakFrequency(const std::vector<float>& y, double rate, int64_t from, int64_t to)
{
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, static_cast<int64_t>(y.size()));
    const int64_t len = to - from;
    if (len < 4)
        return 0.0;
    size_t n = 1;
    while (n < static_cast<size_t>(4 * len))
        n <<= 1;
    std::vector<std::complex<double>> a(n);
    for (int64_t i = 0; i < len; ++i)
        a[size_t(i)] = y[size_t(from + i)] * 0.5 * (1.0 - std::cos(kTwoPi * double(i) / double(len)));
    fft(a);
    size_t peak = 1;
    for (size_t k = 1; k < n / 2; ++k)
        if (std::abs(a[k]) > std::abs(a[peak]))
            peak = k;
    double offset = 0.0;
    if (peak + 1 < n / 2)
    {
        const double l = std::log(std::abs(a[peak - 1]) + 1e-300), c = std::log(std::abs(a[peak]) + 1e-300),
                     r = std::log(std::abs(a[peak + 1]) + 1e-300);
        const double d = l - 2.0 * c + r;
        if (d < 0.0)
            offset = 0.5 * (l - r) / d;
    }
    return (double(peak) + offset) * rate / double(n);
}

SineFit responseAt(const std::wstring& id, float rate, const std::string& input, const std::string& output, double f,
                   const std::function<void(SignalRun&)>& setup, int64_t settle, int64_t measure, double amplitude,
                   std::initializer_list<int> blocks)
{
    const Recording r = sameAtBlocks(
        [&](int block) {
            SignalRun run(id, rate, block);
            if (setup)
                setup(run);
            run.stream(input, sine(f, rate, amplitude));
            return run.run(settle + measure);
        },
        blocks);
    return fitSine(r.out(output), f, rate, settle, settle + measure, amplitude);
}

int64_t unitImpulseAt(const std::vector<float>& y)
{
    int64_t at = -1;
    for (size_t t = 0; t < y.size(); ++t)
        if (y[t] != 0.0f)
        {
            if (y[t] != 1.0f || at >= 0)
                return -1;
            at = int64_t(t);
        }
    return at;
}

std::vector<float> impulseResponse(const std::wstring& id, float rate, const std::string& input,
                                   const std::string& output, int64_t length,
                                   const std::function<void(SignalRun&)>& setup, std::initializer_list<int> blocks)
{
    return sameAtBlocks(
               [&](int block) {
                   SignalRun run(id, rate, block);
                   if (setup)
                       setup(run);
                   run.stream(input, impulse(0));
                   return run.run(length);
               },
               blocks)
        .out(output);
}

// --- over a processor driven directly ---

std::vector<float> play(qwhost::Processor& p, int outPin, int64_t samples, int block)
{
    std::vector<float> raw;
    const int64_t start = p.now();
    const size_t reportsBefore = p.streamingReports.size();
    for (int64_t done = 0; done < samples;)
    {
        const int n = static_cast<int>(std::min<int64_t>(block, samples - done));
        p.run(n);
        raw.insert(raw.end(), p.output(outPin), p.output(outPin) + n);
        done += n;
    }
    std::vector<float> seen(raw);
    for (size_t r = reportsBefore; r < p.streamingReports.size(); ++r)
    {
        const auto& rep = p.streamingReports[r];
        if (rep.pin != outPin || rep.streaming)
            continue;
        const int64_t at = rep.time - start;
        if (at < 0 || at >= samples)
            continue;
        // Static from here until the next report of this pin.
        int64_t until = samples;
        for (size_t q = r + 1; q < p.streamingReports.size(); ++q)
            if (p.streamingReports[q].pin == outPin)
            {
                until = std::min<int64_t>(until, p.streamingReports[q].time - start);
                break;
            }
        for (int64_t t = at; t < until; ++t)
            seen[static_cast<size_t>(t)] = raw[static_cast<size_t>(at)];
    }
    return seen;
}

int64_t lastReport(const qwhost::Processor& p, int pin, bool streaming)
{
    int64_t t = -1;
    for (auto& r : p.streamingReports)
        if (r.pin == pin && r.streaming == streaming)
            t = r.time;
    return t;
}
} // namespace qwtest
