#include "ProgramPath.h"

#include <climits>
#include <unistd.h>

namespace vorn {

std::string programPath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string besideProgram(const std::string& fileName) {
    std::string path = programPath();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1) + fileName;
}

} // namespace vorn
