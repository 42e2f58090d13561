// A scratch folder per test for the file modules, with two folders in it:
// `work`, the working folder while the test runs (where a name taken as it
// stands is found), and `res`, the host's resource folder (where the host
// resolves names). Helpers to put, read and list files, and to run a module
// of panelkit once per echo mode of the host.
#pragma once

#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qwtest
{
// Pins of the savers and loaders.
constexpr int kData = 0, kTrigger = 1, kMode = 2, kFileL = 3, kFileR = 4;

class FileModules : public CommandTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::string work(const std::string& name = "") const { return join(work_, name); }
    std::string res(const std::string& name = "") const { return join(res_, name); }

    // Writes a file whole; the test fails when it cannot.
    static void put(const std::string& path, const std::string& bytes);
    // A file's bytes; "<absent>" when it cannot be read.
    static std::string bytesOf(const std::string& path);
    // The names in a folder, sorted.
    static std::vector<std::string> listing(const std::string& folder);
    // Empties the working and resource folders.
    void clearFolders() const;

    // A table on a panelkit module whose host resolves names in `res`.
    UiTable table(const std::wstring& id) const;
    // Runs `body` once per echo mode on a new module (with every pin's default
    // and initialize when `start`), its host resolving names in `res`; the
    // folders are emptied and `prepare` runs before each.
    void eachEcho(const std::wstring& id, const std::function<void()>& prepare,
                  const std::function<void(qwhost::GuiModule&)>& body, bool start = true) const;

private:
    static std::string join(const std::string& folder, const std::string& name)
    {
        return name.empty() ? folder : folder + "/" + name;
    }

    std::string work_, res_, before_;
};

// Wide text of an ASCII name (the scratch folders' paths).
std::wstring wide(const std::string& ascii);
} // namespace qwtest
