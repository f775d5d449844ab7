// The folders of an installation (`cmake --install --prefix P`, or the Debian package with
// P = /usr): the programs in P/bin, the configuration in P/etc/vorn (/etc/vorn for /usr), the
// plant files the services read in its "plant" folder. A program run from a build tree
// belongs to no installation and keeps its files beside it and in the user's folders.
#pragma once

#include <optional>
#include <string>

namespace vorn {

// The configuration folder of the installation whose bin folder holds `programPath`, whether
// or not it exists; none when the program does not lie in a folder named "bin".
std::optional<std::string> configFolderOf(const std::string& programPath);

// The installed registry (<configuration folder>/registry.ini) of the running program, when
// that file exists.
std::optional<std::string> installedRegistryFile();

// The installed folder for plant configurations (<configuration folder>/plant) of the running
// program, when it exists.
std::optional<std::string> installedPlantFolder();

// The folder for the logs of an installed program (one with an installed registry):
// /var/log/vorn, the folder systemd gives the services whatever the prefix.
std::optional<std::string> installedLogFolder();

} // namespace vorn
