// The host's own description of the modules of a bundle: what the real host
// keeps outside the bundles (pin names, directions, datatypes, defaults).
//
// Text format, one file or several per bundle (*.meta, gathered beside the
// built bundle as NAME.meta):
//
//   # comment
//   module QW_Name 0                      identifier, subtype (0 processing, 2 interface)
//   pin in float "Cutoff" default=0.5     direction, datatype, name, attributes
//   pin in enum "Mode" default=1 list="Off,On"
//   pin out audio "Output"
//
// Datatypes: enum text midi bool audio float int blob. Attributes are
// key=value with the value bare or in double quotes (\" and \\ escape):
//   default=   value at graph start (text for text and blob pins)
//   list=      the pin's enumeration list text
//   min= max=  range a patch can reasonably give the pin (for random tests)
//   dup        the host instantiates the pin several times (auto-duplicating)
//   param      the pin is a parameter, seen by both halves of the module
//   descriptor a blob pin that carries a second-generation sample descriptor
//              (test hosts give such an input a real sample from a loader)
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace qwhost
{
struct Error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct PinInfo
{
    std::string name;
    int direction = 0;
    int datatype = 0;
    std::string defaultValue; // as written; empty = zero or empty
    std::map<std::string, std::string> attributes;
    bool autoDuplicate = false;
    bool parameter = false;

    bool has(const std::string& key) const { return attributes.count(key) != 0; }
    std::string attribute(const std::string& key, const std::string& otherwise = {}) const;
};

struct ModuleInfo
{
    std::wstring id;
    int subtype = 0;
    std::vector<PinInfo> pins;
    std::string source; // file:line of the module line

    // Index of the pin of that name, -1 when none.
    int pinIndex(const std::string& name) const;
};

class Metadata
{
public:
    // Throws Error naming the file and line of the first fault.
    static Metadata parse(const std::string& text, const std::string& sourceName);
    static Metadata load(const std::string& path);

    const ModuleInfo* find(const std::wstring& id, int subtype) const;
    const std::vector<ModuleInfo>& modules() const { return modules_; }

private:
    std::vector<ModuleInfo> modules_;
};

// Datatype codes by name and back; -1 / "" when unknown.
int datatypeFromName(const std::string& name);
std::string datatypeName(int datatype);
} // namespace qwhost
