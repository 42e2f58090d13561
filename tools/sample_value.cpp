#include "sample_value.h"

#include "WavFile32.h"
#include "bundle.h"
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "ui_host.h"
#include "usage_error.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace qwtool
{
namespace
{
bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A descriptor's count and frames (count 0: the empty sample); false when
// the bytes are no descriptor.
bool framesOf(const std::vector<uint8_t>& d, int32_t& count, const float*& frames)
{
    count = 0;
    frames = nullptr;
    if (d.empty())
        return true;
    uint32_t magic;
    uint64_t address;
    if (d.size() != 24)
        return false;
    std::memcpy(&magic, d.data(), 4);
    std::memcpy(&count, d.data() + 4, 4);
    std::memcpy(&address, d.data() + 8, 8);
    if (magic != 0x534D504C || count <= 0 || address == 0)
        return false;
    frames = reinterpret_cast<const float*>(static_cast<uintptr_t>(address));
    return true;
}
} // namespace

SampleFile parseSampleFile(const std::string& text, const std::string& what)
{
    SampleFile s{text};
    const auto colon = s.file.rfind(':');
    if (colon != std::string::npos && colon + 1 < s.file.size() &&
        s.file.find_first_not_of("0123456789", colon + 1) == std::string::npos)
    {
        const std::string digits = s.file.substr(colon + 1);
        if (digits.size() > 5 || std::strtol(digits.c_str(), nullptr, 10) > 65535)
            throw UsageError(what + ": channel '" + digits + "' is not a whole number from 0 to 65535");
        s.channel = static_cast<int>(std::strtol(digits.c_str(), nullptr, 10));
        s.file.erase(colon);
    }
    return s;
}

namespace
{
void checkFile(const SampleFile& sample, const std::string& what)
{
    if (!isFile(sample.file))
        throw qwhost::Error(what + ": cannot open '" + sample.file + "'");
}

[[noreturn]] void unreadable(const SampleFile& sample, const std::string& what)
{
    throw qwhost::Error(what + ": '" + sample.file + "' is not a WAV file this host reads, or has no channel " +
                        std::to_string(sample.channel));
}

// The bundle's loader `id`, made on `host` with a channel pin up to the one
// wanted, kept in `keep`.
template <class Host, class Module>
Module& makeLoader(const std::shared_ptr<qwhost::Bundle>& bundle, const std::string& bundleName, Host& host,
                   const SampleFile& sample, std::vector<std::unique_ptr<Module>>& keep, const wchar_t* id, int subtype,
                   const std::string& what)
{
    checkFile(sample, what);
    if (!bundle->metadata().find(id, subtype))
        throw qwhost::Error(what + " needs " + gmpi_sdk::toUtf8(id) + " in " + bundleName);
    const int saved = host.autoDuplicateCount;
    host.autoDuplicateCount = sample.channel + 1;
    keep.push_back(host.create(bundle, id));
    host.autoDuplicateCount = saved;
    return *keep.back();
}
} // namespace

std::vector<uint8_t> loadSample(const std::shared_ptr<qwhost::Bundle>& bundle, const std::string& bundleName,
                                qwhost::ProcessingHost& host, const SampleFile& sample,
                                std::vector<std::unique_ptr<qwhost::Processor>>& keep, const std::string& what)
{
    qwhost::Processor& l =
        makeLoader(bundle, bundleName, host, sample, keep, L"QW_S2_SampleLoaderDSP", gmpi::MP_SUB_TYPE_AUDIO, what);
    l.startGraph();
    l.setText(l.pin("File"), gmpi_sdk::fromUtf8(sample.file));
    l.run(1);
    const int output = l.pin("Channel") + sample.channel;
    std::vector<uint8_t> descriptor;
    for (auto& u : l.updates)
        if (u.pin == output)
            descriptor = u.data;
    if (descriptor.empty())
        unreadable(sample, what);
    return descriptor;
}

std::vector<uint8_t> loadSampleInterface(const std::shared_ptr<qwhost::Bundle>& bundle, const std::string& bundleName,
                                         qwhost::GuiHost& host, const SampleFile& sample,
                                         std::vector<std::unique_ptr<qwhost::GuiModule>>& keep, const std::string& what)
{
    qwhost::GuiModule& l =
        makeLoader(bundle, bundleName, host, sample, keep, L"QW_S2_SampleLoaderGUI", gmpi::MP_SUB_TYPE_GUI2, what);
    // The loader resolves a relative name in the host's resource folder: the
    // name given is relative to where the command runs.
    l.setText(l.pin("File"), gmpi_sdk::fromUtf8(std::filesystem::absolute(sample.file).string()));
    const qwhost::GuiValue* sent = l.lastTransmit(l.pin("Channel") + sample.channel);
    if (!sent || sent->data.empty())
        unreadable(sample, what);
    return sent->data;
}

std::vector<uint8_t> rawSample(const SampleFile& sample, const std::string& what)
{
    checkFile(sample, what);
    qw::WavFile32 wav;
    if (!wav._loadWav(gmpi_sdk::fromUtf8(sample.file)) || sample.channel >= static_cast<int>(wav.data.size()))
        unreadable(sample, what);
    const std::vector<float>& frames = wav.data[static_cast<size_t>(sample.channel)];
    std::vector<uint8_t> bytes(frames.size() * sizeof(float));
    if (!bytes.empty())
        std::memcpy(bytes.data(), frames.data(), bytes.size());
    return bytes;
}

std::string describeSample(const std::vector<uint8_t>& descriptor, int shown)
{
    int32_t count;
    const float* frames;
    if (!framesOf(descriptor, count, frames))
        return "blob of " + std::to_string(descriptor.size()) + " bytes";
    if (count == 0)
        return "empty sample";
    std::string s = "sample of " + std::to_string(count) + " frames";
    for (int32_t i = 0; i < count && i < shown; ++i)
    {
        char b[32];
        std::snprintf(b, sizeof b, "%s %.9g", i ? "" : ":", static_cast<double>(frames[i]));
        s += b;
    }
    if (shown > 0 && count > shown)
        s += " ...";
    return s;
}

bool saveSample(const std::vector<uint8_t>& descriptor, const std::string& path, int rate, std::string& why)
{
    int32_t count;
    const float* frames;
    if (!framesOf(descriptor, count, frames))
    {
        why = "the value is no sample";
        return false;
    }
    if (count == 0)
    {
        why = "the empty sample has no frames to write";
        return false;
    }
    qw::WavFile32 w;
    w.setChannel(0, count, frames);
    w.sampleRate = rate;
    if (!w._saveWav(gmpi_sdk::fromUtf8(path), 32))
    {
        why = "cannot write '" + path + "'";
        return false;
    }
    return true;
}
} // namespace qwtool
