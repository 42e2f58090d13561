// Second-generation samples on the command line: a channel of a WAV file
// given to a sample pin, as the bundle's own file loader publishes it, and
// the samples a module sends, as text or written to a WAV file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qwhost
{
class Bundle;
class GuiHost;
class GuiModule;
class ProcessingHost;
class Processor;
} // namespace qwhost

namespace qwtool
{
// "FILE.wav[:CHANNEL]": the channel (from 0) when the text after the last ':'
// is a whole number. Throws UsageError, its message starting with `what`,
// for a channel beyond 65535.
struct SampleFile
{
    std::string file;
    int channel = 0;
};
SampleFile parseSampleFile(const std::string& text, const std::string& what);

// The descriptor of one channel of a file, loaded by the bundle's
// QW_S2_SampleLoaderDSP made on `host`; `keep` holds the loader, so the
// frames stay where the descriptor points as long as it lives. Throws Error,
// its message starting with `what`, when the file cannot be opened or read,
// or the bundle has no such loader.
std::vector<uint8_t> loadSample(const std::shared_ptr<qwhost::Bundle>& bundle, const std::string& bundleName,
                                qwhost::ProcessingHost& host, const SampleFile& sample,
                                std::vector<std::unique_ptr<qwhost::Processor>>& keep, const std::string& what);

// The same for an interface pin: the descriptor that the bundle's
// QW_S2_SampleLoaderGUI, made on `host`, publishes for that channel; `keep`
// holds the loader.
std::vector<uint8_t> loadSampleInterface(const std::shared_ptr<qwhost::Bundle>& bundle, const std::string& bundleName,
                                         qwhost::GuiHost& host, const SampleFile& sample,
                                         std::vector<std::unique_ptr<qwhost::GuiModule>>& keep,
                                         const std::string& what);

// One channel of a file as a first-generation sample: its frames as raw
// little-endian floats. Throws Error as loadSample does.
std::vector<uint8_t> rawSample(const SampleFile& sample, const std::string& what);

// A descriptor as text: "empty sample" or "sample of N frames", followed by
// up to `shown` of its frames (read where it points: the sender must be
// alive).
std::string describeSample(const std::vector<uint8_t>& descriptor, int shown = 0);

// Writes the frames a descriptor names as a mono 32-bit float WAV file;
// false with a reason for the empty sample, bytes that are no sample, or a
// file that cannot be written.
bool saveSample(const std::vector<uint8_t>& descriptor, const std::string& path, int rate, std::string& why);
} // namespace qwtool
