// No bundle refers to a platform run-loop service strongly: a host without
// the platform could not load it. Read from each built bundle's dynamic
// symbol table, so it holds in every build (the sanitizer runtime's own
// undefined names are no platform names).
#include "test_support.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
struct DynamicSymbol
{
    std::string name;
    bool undefined;
    bool weak;
};

// The dynamic symbols of a 64-bit ELF file; a failure and none when the file
// is not one.
std::vector<DynamicSymbol> dynamicSymbols(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf64_Ehdr head;
    if (file.size() < sizeof head)
        return ADD_FAILURE() << path << " is no ELF file", std::vector<DynamicSymbol>{};
    std::memcpy(&head, file.data(), sizeof head);
    if (std::memcmp(head.e_ident, ELFMAG, SELFMAG) != 0 || head.e_ident[EI_CLASS] != ELFCLASS64 ||
        head.e_shentsize != sizeof(Elf64_Shdr) || head.e_shoff + head.e_shnum * sizeof(Elf64_Shdr) > file.size())
        return ADD_FAILURE() << path << " is no 64-bit ELF file", std::vector<DynamicSymbol>{};
    auto section = [&](size_t i) {
        Elf64_Shdr s;
        std::memcpy(&s, file.data() + head.e_shoff + i * sizeof s, sizeof s);
        return s;
    };
    std::vector<DynamicSymbol> out;
    for (size_t i = 0; i < head.e_shnum; ++i)
    {
        const Elf64_Shdr table = section(i);
        if (table.sh_type != SHT_DYNSYM || table.sh_link >= head.e_shnum)
            continue;
        const Elf64_Shdr names = section(table.sh_link);
        if (table.sh_offset + table.sh_size > file.size() || names.sh_offset + names.sh_size > file.size())
            return ADD_FAILURE() << path << ": symbol table past the end of the file", out;
        for (size_t k = 1; k < table.sh_size / sizeof(Elf64_Sym); ++k)
        {
            Elf64_Sym sym;
            std::memcpy(&sym, file.data() + table.sh_offset + k * sizeof sym, sizeof sym);
            if (sym.st_name >= names.sh_size)
                continue;
            const char* name = file.data() + names.sh_offset + sym.st_name;
            out.push_back({std::string(name, strnlen(name, names.sh_size - sym.st_name)), sym.st_shndx == SHN_UNDEF,
                           ELF64_ST_BIND(sym.st_info) == STB_WEAK});
        }
    }
    return out;
}

const std::set<std::string>& platformNames()
{
    static const std::set<std::string> names = [] {
        std::set<std::string> s;
        std::istringstream list(QW_PLATFORM_NAMES);
        for (std::string name; std::getline(list, name, ',');)
            s.insert(name);
        return s;
    }();
    return names;
}

// The platform names a bundle leaves undefined, strongly and weakly.
struct PlatformReferences
{
    std::set<std::string> strong, weak;
};

PlatformReferences platformReferences(const std::string& path)
{
    PlatformReferences r;
    for (auto& s : dynamicSymbols(path))
        if (s.undefined && platformNames().count(s.name))
            (s.weak ? r.weak : r.strong).insert(s.name);
    return r;
}

std::string joined(const std::set<std::string>& names)
{
    std::string out;
    for (auto& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}
} // namespace

TEST(PlatformNames, NoBundleRefersToThePlatformStrongly)
{
    ASSERT_GE(platformNames().size(), 9u);
    std::vector<std::string> paths;
    for (auto& name : qwtest::productBundles())
        paths.push_back(std::string(QW_BUNDLE_DIR) + "/" + name + ".so");
    for (const char* name : {"testkit", "brokenkit"})
        paths.push_back(std::string(QW_TEST_BUNDLE_DIR) + "/" + name + ".so");
    for (auto& path : paths)
    {
        const PlatformReferences r = platformReferences(path);
        EXPECT_TRUE(r.strong.empty()) << path << " refers strongly to " << joined(r.strong);
        // The framework's timers are in every bundle, and refer to the platform weakly.
        EXPECT_TRUE(r.weak.count("CFRunLoopTimerCreate")) << path << " refers weakly only to " << joined(r.weak);
    }
}

// A probe bundle that calls one service through a declaration of its own.
TEST(PlatformNames, AStrongReferenceIsNamed)
{
    const PlatformReferences r = platformReferences(std::string(QW_TEST_BUNDLE_DIR) + "/platformprobe.so");
    EXPECT_EQ(r.strong, std::set<std::string>{"CFRunLoopGetCurrent"});
    EXPECT_TRUE(r.weak.count("CFRunLoopTimerCreate"));
}
