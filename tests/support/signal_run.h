// Runs of a processing module through the built bundle over generated input
// signals, and measurements of what it gives back: for filters, delays,
// reverbs, oscillators and any other module with audio pins.
//
//   qwtest::SignalRun run(L"QW_LPF2", 48000.0f, 64);      // module, rate, block
//   run.set("Mode", 0);                                    // control value at time 0
//   run.constant("Cutoff", 100.0f);                        // audio input held
//   run.stream("Signal", qwtest::sine(1000.0, 48000.0));   // audio input streaming
//   run.set("Reset", 1.0, 480);                            // timed value
//   qwtest::Recording r = run.run(48000);                        // outputs and timeline
//   double g = qwtest::fitSine(r.out("Output"), 1000.0, 48000.0, 24000, 48000).gain;
//
// sameAtBlocks runs one scenario at several block sizes and checks that the
// outputs and the streaming timeline do not depend on them.
#pragma once

#include "processing_host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
// An input signal: its sample at time t (samples since the run's start).
using Signal = std::function<float(int64_t t)>;

// sin(2 pi f t / rate) x amplitude.
Signal sine(double f, double rate, double amplitude = 1.0);
// 1 at time `at`, 0 elsewhere.
Signal impulse(int64_t at = 0);
// Repeatable white noise in [-amplitude, amplitude).
Signal noise(uint32_t seed = 1, double amplitude = 1.0);

struct StreamingChange
{
    int64_t time;
    int pin;
    bool streaming;
    bool operator==(const StreamingChange& o) const
    {
        return time == o.time && pin == o.pin && streaming == o.streaming;
    }
};

// What a run gave back.
struct Recording
{
    std::map<int, std::vector<float>> outputs; // audio outputs by pin id: the samples the module wrote
    // The timeline of streaming reports, in order, without those that repeat
    // the pin's state (a repeated report changes nothing for a reader).
    std::vector<StreamingChange> streaming;
    // Every report, repeats included: a static report that repeats the state
    // still says that the output holds its value at that time from there on.
    std::vector<StreamingChange> reports;
    std::vector<int64_t> sleepRequests;                      // time of the block in which each came
    std::vector<std::pair<int64_t, int32_t>> latencyReports; // time of the block, samples
    std::map<std::string, int> pins;                         // audio output pins by name
    int64_t startTime = 0;                                   // time of the run's first sample

    const std::vector<float>& out(const std::string& name) const;
    // The output as a reader sees it: while the pin is reported static, the
    // value at the report holds (the buffer after it is not read).
    std::vector<float> seen(const std::string& name) const;
    // Time of the last change of the output to this state; -1 when none.
    int64_t lastChange(const std::string& name, bool streaming) const;
    // Every change of that output's state.
    std::vector<StreamingChange> changes(const std::string& name) const;
};

class SignalRun
{
public:
    // A module of `bundle`, opened at this rate, run in blocks of `block`;
    // graph start and every input at its default at time 0.
    SignalRun(const std::wstring& id, float rate, int block, const std::string& bundle = "signalkit");
    ~SignalRun();

    qwhost::Processor& processor() { return *p_; }
    int pin(const std::string& name) const { return p_->pin(name); }

    // A control value (float, int, enum or bool pin, by its datatype) from time `at` on.
    SignalRun& set(const std::string& pin, double value, int64_t at = 0);
    // A blob input's bytes from time `at` on.
    SignalRun& blob(const std::string& pin, const std::vector<uint8_t>& bytes, int64_t at = 0);
    // A MIDI message to a MIDI input at time `at`, its bytes as given.
    SignalRun& midi(const std::string& pin, const std::vector<uint8_t>& bytes, int64_t at = 0);
    // An audio input held at a value from `at` on (reported static).
    SignalRun& constant(const std::string& pin, float value, int64_t at = 0);
    // An audio input streaming `signal` from `at` on (sampled at run time).
    SignalRun& stream(const std::string& pin, Signal signal, int64_t at = 0);

    // Runs `samples` more samples; the result covers this call only, with
    // times counted from the first run.
    Recording run(int64_t samples);

private:
    struct Piece
    {
        int64_t from;
        Signal signal; // null: held
    };
    void queueAt(int64_t at, const std::function<void(int offset)>& send);

    std::unique_ptr<qwhost::ProcessingHost> host_;
    std::unique_ptr<qwhost::Processor> p_;
    int block_;
    std::map<int, std::vector<Piece>> audioIn_;
};

// Runs scenario(block) at each block size and adds a test failure where the
// outputs or the streaming timeline differ from the first's; answers the
// first run.
Recording sameAtBlocks(const std::function<Recording(int block)>& scenario,
                       std::initializer_list<int> blocks = {1, 7, 64});

// --- measurements ---

struct SineFit
{
    double gain = 0;  // amplitude of the fitted sine over the input's
    double phase = 0; // radians, the output's lead over sin(2 pi f t / rate)
    double offset = 0;
    double residual = 0; // root mean square of what the fit leaves
};
// Least-squares fit of a sin + b cos + c to y over [from, to), in double;
// `amplitude` is the input sine's, t counted as indices into y.
SineFit fitSine(const std::vector<float>& y, double f, double rate, int64_t from, int64_t to, double amplitude = 1.0);

// The frequency of the strongest spectral peak of y over [from, to), in Hz:
// Hann window, transform zero-padded to at least four times the length, the
// peak bin refined by a parabola through the log magnitudes around it. In
// double; 0 for fewer than 4 samples.
double peakFrequency(const std::vector<float>& y, double rate, int64_t from, int64_t to);

// The fit of a module's response at f: a sine of amplitude `amplitude` into
// `input` for `settle` samples, then fitted over `measure` more. `setup` gives
// the other pins their values. Run at each of `blocks` (sameAtBlocks).
SineFit responseAt(const std::wstring& id, float rate, const std::string& input, const std::string& output, double f,
                   const std::function<void(SignalRun&)>& setup, int64_t settle, int64_t measure,
                   double amplitude = 0.5, std::initializer_list<int> blocks = {1, 7, 64});

// The first `length` samples of `output` after a unit impulse into `input`
// (streaming from time 0, impulse at 0), run at each of `blocks`.
std::vector<float> impulseResponse(const std::wstring& id, float rate, const std::string& input,
                                   const std::string& output, int64_t length,
                                   const std::function<void(SignalRun&)>& setup,
                                   std::initializer_list<int> blocks = {1, 7, 64});

// Where a delayed unit impulse comes out: the one sample equal to 1 among
// zeros; -1 when there is none, more than one, or any other value.
int64_t unitImpulseAt(const std::vector<float>& y);

// --- over a processor driven directly ---

// Runs `samples` samples in blocks of `block` and returns the output pin's
// samples as a reader sees them: while the pin is reported static, the value
// at the report holds.
std::vector<float> play(qwhost::Processor& p, int outPin, int64_t samples, int block);
// The time of the last streaming report of a pin in that state, -1 when none.
int64_t lastReport(const qwhost::Processor& p, int pin, bool streaming);
} // namespace qwtest
