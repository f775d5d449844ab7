// The registry stand-in: an INI-style text file with one section per key path
// ("[SOFTWARE\VornAutomation\Tarnvale]") and raw "name=value" lines. Key and value names are
// matched without regard to case. Every write replaces the file atomically.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn {

class Registry {
public:
    // $VORN_REGISTRY if set, else ${XDG_CONFIG_HOME:-$HOME/.config}/VornAutomation/registry.ini.
    static std::string defaultPath();

    explicit Registry(std::string path = defaultPath()) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    bool keyExists(const std::string& key) const;
    std::optional<std::string> readString(const std::string& key, const std::string& name) const;
    // The names of the key's values, in file order (none when the key is missing).
    std::vector<std::string> valueNames(const std::string& key) const;
    // Creates the key (and the file and its folder) when needed. False when the file cannot
    // be written; the old file is then unchanged.
    bool writeString(const std::string& key, const std::string& name, const std::string& value);
    bool deleteValue(const std::string& key, const std::string& name);
    bool deleteKey(const std::string& key);

private:
    std::string path_;
};

} // namespace vorn
