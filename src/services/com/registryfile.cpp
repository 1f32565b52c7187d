#include "services/com/registryfile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace torvel::reg {

namespace {

bool equalNoCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool makeFolders(const std::string &filePath, std::string *error)
{
    for (size_t pos = filePath.find('/', 1); pos != std::string::npos; pos = filePath.find('/', pos + 1)) {
        const std::string dir = filePath.substr(0, pos);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error)
                *error = "cannot create " + dir + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

std::string registryPath()
{
    if (const std::string explicitPath = env("TORVEL_REGISTRY"); !explicitPath.empty())
        return explicitPath;
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty())
        config = env("HOME") + "/.config";
    return config + "/torvel/registry.ini";
}

std::string guidToString(const TvGuid &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.data1),
                  unsigned(g.data2), unsigned(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return buf;
}

bool guidFromString(const std::string &text, TvGuid *guid)
{
    const std::string t = trim(text);
    if (t.size() != 38 || t.front() != '{' || t.back() != '}')
        return false;
    unsigned d1, d2, d3, b[8];
    char tail;
    if (std::sscanf(t.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%c", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                    &b[4], &b[5], &b[6], &b[7], &tail)
        != 11)
        return false;
    guid->data1 = d1;
    guid->data2 = uint16_t(d2);
    guid->data3 = uint16_t(d3);
    for (int i = 0; i < 8; ++i)
        guid->data4[i] = uint8_t(b[i]);
    return true;
}

bool RegistryFile::load(const std::string &path, std::string *error)
{
    m_path = path;
    m_sections.clear();
    std::ifstream in(path);
    if (!in) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 && errno == ENOENT)
            return true;   // nothing registered yet
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::string line;
    Section *current = nullptr;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';')
            continue;
        if (t.front() == '[' && t.back() == ']') {
            const std::string name = trim(t.substr(1, t.size() - 2));
            current = find(name);
            if (!current) {
                m_sections.push_back({name, {}});
                current = &m_sections.back();
            }
            continue;
        }
        const size_t eq = t.find('=');
        if (!current || eq == std::string::npos)
            continue;   // stray lines are ignored, as readers of such files do
        current->entries.emplace_back(trim(t.substr(0, eq)), trim(t.substr(eq + 1)));
    }
    return true;
}

bool RegistryFile::save(std::string *error) const
{
    if (!makeFolders(m_path, error))
        return false;
    std::ostringstream out;
    out << "# TORVEL component registry: ProgID -> class id -> library.\n";
    for (const auto &s : m_sections) {
        out << '\n' << '[' << s.name << "]\n";
        for (const auto &[k, v] : s.entries)
            out << k << '=' << v << '\n';
    }
    const std::string temp = m_path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream f(temp, std::ios::trunc);
        f << out.str();
        if (!f.flush()) {
            if (error)
                *error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), m_path.c_str()) != 0) {
        if (error)
            *error = "cannot replace " + m_path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

RegistryFile::Section *RegistryFile::find(const std::string &name)
{
    for (auto &s : m_sections) {
        if (equalNoCase(s.name, name))
            return &s;
    }
    return nullptr;
}

const RegistryFile::Section *RegistryFile::find(const std::string &name) const
{
    return const_cast<RegistryFile *>(this)->find(name);
}

std::string RegistryFile::value(const std::string &section, const std::string &key) const
{
    if (const Section *s = find(section)) {
        for (const auto &[k, v] : s->entries) {
            if (equalNoCase(k, key))
                return v;
        }
    }
    return {};
}

void RegistryFile::set(const std::string &section, const std::string &key, const std::string &value)
{
    Section *s = find(section);
    if (!s) {
        m_sections.push_back({section, {}});
        s = &m_sections.back();
    }
    for (auto &[k, v] : s->entries) {
        if (equalNoCase(k, key)) {
            v = value;
            return;
        }
    }
    s->entries.emplace_back(key, value);
}

void RegistryFile::removeSection(const std::string &section)
{
    std::erase_if(m_sections, [&](const Section &s) { return equalNoCase(s.name, section); });
}

bool RegistryFile::hasSection(const std::string &section) const
{
    return find(section) != nullptr;
}

bool RegistryFile::resolve(const std::string &progId, TvGuid *clsid, std::string *library, std::string *error) const
{
    const std::string id = value(progId, "CLSID");
    if (id.empty() || !guidFromString(id, clsid)) {
        if (error)
            *error = "class not registered: " + progId + " (registry " + m_path + ")";
        return false;
    }
    *library = value("CLSID\\" + guidToString(*clsid), "InprocServer");
    if (library->empty()) {
        if (error)
            *error = "no library registered for " + progId + " " + id;
        return false;
    }
    return true;
}

} // namespace torvel::reg
