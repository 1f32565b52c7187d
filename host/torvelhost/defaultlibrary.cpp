#include "defaultlibrary.h"

#include <climits>

#include <unistd.h>

namespace torvel::host {

std::string defaultLibrary()
{
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string installed(exe, size_t(n));
        installed = installed.substr(0, installed.rfind('/') + 1) + TORVEL_INSTALLED_LIBRARY;
        if (::access(installed.c_str(), R_OK) == 0)
            return installed;
    }
    return TORVEL_LIBRARY_PATH;
}

} // namespace torvel::host
