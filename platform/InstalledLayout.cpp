#include "InstalledLayout.h"

#include "ProgramPath.h"

#include <filesystem>

namespace vorn {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> existing(const std::optional<std::string>& folder, const char* name) {
    if (!folder)
        return std::nullopt;
    const std::string path = *folder + "/" + name;
    std::error_code ec;
    if (!fs::exists(path, ec))
        return std::nullopt;
    return path;
}

} // namespace

std::optional<std::string> configFolderOf(const std::string& programPath) {
    const fs::path bin = fs::path(programPath).parent_path();
    if (bin.filename() != "bin")
        return std::nullopt;
    const fs::path prefix = bin.parent_path();
    // The system's configuration lives in /etc, not /usr/etc (as the install rules put it).
    if (prefix == "/usr")
        return std::string("/etc/vorn");
    return (prefix / "etc" / "vorn").string();
}

std::optional<std::string> installedRegistryFile() {
    return existing(configFolderOf(programPath()), "registry.ini");
}

std::optional<std::string> installedPlantFolder() {
    return existing(configFolderOf(programPath()), "plant");
}

std::optional<std::string> installedLogFolder() {
    if (!installedRegistryFile())
        return std::nullopt;
    return std::string("/var/log/vorn");
}

} // namespace vorn
