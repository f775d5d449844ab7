// The registry stand-in: an INI-style text file with one section per key path
// ("[SOFTWARE\VornAutomation\Tarnvale]") and raw "name=value" lines. Key and value names are
// matched without regard to case, so sections whose paths differ only in case are one key:
// their values are merged, a later line winning over an earlier one. Every write replaces the
// file atomically, keeping its owner, group and mode; a new file is its owner's only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn {

class Registry {
public:
    // $VORN_REGISTRY if set; else, for a program of an installation that has one, the
    // installed registry (/etc/vorn/registry.ini for the package); else
    // ${XDG_CONFIG_HOME:-$HOME/.config}/VornAutomation/registry.ini.
    static std::string defaultPath();

    explicit Registry(std::string path = defaultPath()) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    // Why the file cannot be read ("/etc/vorn/registry.ini: Permission denied"); none when it
    // can, or when it does not exist (a missing file is a registry without keys). The reads
    // below see an unreadable file as an empty one: callers that must tell the two apart ask
    // here first.
    std::optional<std::string> readProblem() const;

    bool keyExists(const std::string& key) const;
    std::optional<std::string> readString(const std::string& key, const std::string& name) const;
    // The names of the key's values, in file order (none when the key is missing).
    std::vector<std::string> valueNames(const std::string& key) const;
    // Creates the key (and the file and its folder) when needed. False when the file cannot
    // be read or written; the old file is then unchanged and writeError() says why.
    bool writeString(const std::string& key, const std::string& name, const std::string& value);
    bool deleteValue(const std::string& key, const std::string& name);
    bool deleteKey(const std::string& key);
    // Why the last write failed; empty after one that worked.
    const std::string& writeError() const { return writeError_; }

private:
    bool write(const std::vector<std::string>& lines);

    std::string path_;
    std::string writeError_;
};

} // namespace vorn
