#pragma once

// The per-user component registry: which library serves which ProgID.
// Plain C++ (no Qt), so the host support library can read it without the
// library it describes.
//
// The file is INI text, one section per ProgID and one per class id:
//   [TORVEL.BomInfo]
//   CLSID={A393DEF0-0E5A-46C5-9CE0-A31C74597005}
//   [CLSID\{A393DEF0-0E5A-46C5-9CE0-A31C74597005}]
//   ProgID=TORVEL.BomInfo
//   InprocServer=/usr/lib/libtorvel.so
// Section and key names compare case-insensitively.

#include "torvel/torvel.h"

#include <string>
#include <utility>
#include <vector>

namespace torvel::reg {

// $TORVEL_REGISTRY, else $XDG_CONFIG_HOME/torvel/registry.ini, else
// $HOME/.config/torvel/registry.ini.
std::string registryPath();

std::string guidToString(const TvGuid &guid);             // "{XXXXXXXX-XXXX-...}"
bool guidFromString(const std::string &text, TvGuid *guid);

class RegistryFile
{
public:
    // A missing file reads as empty; an unreadable one fails.
    bool load(const std::string &path, std::string *error);
    // Writes through a temporary file renamed into place, creating folders.
    bool save(std::string *error) const;

    std::string value(const std::string &section, const std::string &key) const;   // "" when absent
    void set(const std::string &section, const std::string &key, const std::string &value);
    void removeSection(const std::string &section);
    bool hasSection(const std::string &section) const;
    const std::string &path() const { return m_path; }

    // The library file and class id registered for a ProgID; false with a
    // message when the ProgID, its class or its library is not recorded.
    bool resolve(const std::string &progId, TvGuid *clsid, std::string *library, std::string *error) const;

private:
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Section {
        std::string name;
        Entries entries;
    };
    Section *find(const std::string &name);
    const Section *find(const std::string &name) const;

    std::string m_path;
    std::vector<Section> m_sections;
};

} // namespace torvel::reg
