#include "file_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace qwtest
{
void FileModules::SetUp()
{
    CommandTest::SetUp();
    work_ = (dir_ / "work").string();
    res_ = (dir_ / "res").string();
    std::filesystem::create_directories(work_);
    std::filesystem::create_directories(res_);
    before_ = std::filesystem::current_path().string();
    std::filesystem::current_path(work_);
}

void FileModules::TearDown()
{
    std::filesystem::current_path(before_);
    // A test may have taken permissions away.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    CommandTest::TearDown();
}

void FileModules::put(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
}

std::string FileModules::bytesOf(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return "<absent>";
    return slurp(path);
}

std::vector<std::string> FileModules::listing(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void FileModules::clearFolders() const
{
    for (const std::string& folder : {work_, res_})
        for (const std::string& name : listing(folder))
            std::filesystem::remove_all(folder + "/" + name);
}

UiTable FileModules::table(const std::wstring& id) const
{
    UiTable t{id};
    const std::string folder = res_;
    t.prepareHost = [folder](qwhost::GuiHost& host) { host.resourceFolder = folder; };
    return t;
}

void FileModules::eachEcho(const std::wstring& id, const std::function<void()>& prepare,
                           const std::function<void(qwhost::GuiModule&)>& body, bool start) const
{
    for (qwhost::Echo echo : kEchoModes)
    {
        SCOPED_TRACE(std::string("echo ") + echoName(echo));
        clearFolders();
        if (prepare)
            prepare();
        qwhost::GuiHost host;
        host.echo = echo;
        host.resourceFolder = res_;
        auto g = host.create(bundle("panelkit"), id, start);
        body(*g);
        g->deliverEchoes();
    }
}

std::wstring wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}
} // namespace qwtest
