#pragma once

#include <string>

namespace torvel::host {

// The library torvel-host registers unless told otherwise: the one installed
// beside it when there is one, else the one built with it.
std::string defaultLibrary();

} // namespace torvel::host
