#include "metadata.h"

#include "mp_sdk_common.h"

#include <fstream>
#include <sstream>

namespace qwhost
{
namespace
{
const std::pair<const char*, int> kDatatypes[] = {
    {"enum", 0}, {"text", 1}, {"midi", 2}, {"bool", 4}, {"audio", 5}, {"float", 6}, {"int", 8}, {"blob", 10},
};

struct Token
{
    std::string text;
    bool quoted = false;
};

// Splits a line into words; a double-quoted run may hold blanks and escapes.
// key="value" stays one token with the quotes taken off the value.
std::vector<Token> tokenize(const std::string& line, const std::string& where)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size())
    {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')
        {
            ++i;
            continue;
        }
        Token t;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        {
            if (line[i] != '"')
            {
                t.text += line[i++];
                continue;
            }
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size())
            {
                char c = line[i++];
                if (c == '"')
                {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size())
                    c = line[i++];
                t.text += c;
            }
            if (!closed)
                throw Error(where + ": unterminated quoted text");
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

int parseInt(const std::string& s, const std::string& where, const char* what)
{
    try
    {
        size_t used = 0;
        const int v = std::stoi(s, &used, 10);
        if (used == s.size())
            return v;
    }
    catch (const std::exception&)
    {}
    throw Error(where + ": " + what + " is not a whole number: '" + s + "'");
}
} // namespace

int datatypeFromName(const std::string& name)
{
    for (auto& [n, code] : kDatatypes)
        if (name == n)
            return code;
    return -1;
}

std::string datatypeName(int datatype)
{
    for (auto& [n, code] : kDatatypes)
        if (datatype == code)
            return n;
    return {};
}

std::string PinInfo::attribute(const std::string& key, const std::string& otherwise) const
{
    auto it = attributes.find(key);
    return it == attributes.end() ? otherwise : it->second;
}

int ModuleInfo::pinIndex(const std::string& name) const
{
    for (size_t i = 0; i < pins.size(); ++i)
        if (pins[i].name == name)
            return static_cast<int>(i);
    return -1;
}

Metadata Metadata::parse(const std::string& text, const std::string& sourceName)
{
    Metadata meta;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    std::map<std::pair<std::wstring, int>, std::string> seen;
    while (std::getline(in, line))
    {
        ++lineNo;
        const std::string where = sourceName + ":" + std::to_string(lineNo);
        auto tokens = tokenize(line, where);
        if (tokens.empty() || (!tokens[0].quoted && tokens[0].text[0] == '#'))
            continue;
        const std::string& keyword = tokens[0].text;
        if (keyword == "module")
        {
            if (tokens.size() != 3)
                throw Error(where + ": expected 'module IDENTIFIER SUBTYPE'");
            ModuleInfo m;
            m.id = gmpi_sdk::fromUtf8(tokens[1].text);
            m.subtype = parseInt(tokens[2].text, where, "subtype");
            if (m.subtype != 0 && m.subtype != 2)
                throw Error(where + ": subtype must be 0 or 2");
            m.source = where;
            auto key = std::make_pair(m.id, m.subtype);
            if (seen.count(key))
                throw Error(where + ": module " + tokens[1].text + " already described at " + seen[key]);
            seen[key] = where;
            meta.modules_.push_back(std::move(m));
        }
        else if (keyword == "pin")
        {
            if (meta.modules_.empty())
                throw Error(where + ": pin before any module");
            if (tokens.size() < 4)
                throw Error(where + ": expected 'pin DIRECTION DATATYPE NAME [key=value ...]'");
            PinInfo p;
            if (tokens[1].text == "in")
                p.direction = 0;
            else if (tokens[1].text == "out")
                p.direction = 1;
            else
                throw Error(where + ": direction must be 'in' or 'out', not '" + tokens[1].text + "'");
            p.datatype = datatypeFromName(tokens[2].text);
            if (p.datatype < 0)
                throw Error(where + ": unknown datatype '" + tokens[2].text + "'");
            p.name = tokens[3].text;
            for (size_t i = 4; i < tokens.size(); ++i)
            {
                const std::string& t = tokens[i].text;
                const auto eq = t.find('=');
                const std::string key = t.substr(0, eq);
                const std::string value = eq == std::string::npos ? std::string() : t.substr(eq + 1);
                static const char* known[] = {"default", "list", "min", "max", "dup", "param", "descriptor"};
                bool ok = false;
                for (auto k : known)
                    ok |= key == k;
                if (!ok)
                    throw Error(where + ": unknown attribute '" + key + "'");
                p.attributes[key] = value;
            }
            if (p.has("descriptor") && p.datatype != gmpi::MP_BLOB)
                throw Error(where + ": only a blob pin carries a sample descriptor");
            p.defaultValue = p.attribute("default");
            p.autoDuplicate = p.has("dup");
            p.parameter = p.has("param");
            meta.modules_.back().pins.push_back(std::move(p));
        }
        else
            throw Error(where + ": expected 'module' or 'pin', found '" + keyword + "'");
    }
    return meta;
}

Metadata Metadata::load(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw Error("cannot read module description '" + path + "'");
    std::ostringstream s;
    s << f.rdbuf();
    return parse(s.str(), path);
}

const ModuleInfo* Metadata::find(const std::wstring& id, int subtype) const
{
    for (auto& m : modules_)
        if (m.id == id && m.subtype == subtype)
            return &m;
    return nullptr;
}
} // namespace qwhost
