// A unit's advanced communication settings (read limits, reduced rate, pauses, backup address;
// fileformat/DeviceSettings.h names them) as the "Advanced..." dialog shows them and the file
// holds them. Only settings that differ from their default are kept and written, so a file
// without them re-saves unchanged.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct AdvancedSetting {
    std::string name;  // in the file
    std::string title; // in the dialog
    std::string defaultText;
};

class DeviceAdvanced {
public:
    // The settings a unit of `serverKind` takes, in the dialog's and the file's order.
    static std::vector<AdvancedSetting> settingsFor(const std::string& serverKind);

    // The setting's text: its value, else its default ("" for no backup address).
    std::string text(const std::string& name) const;
    // Takes a setting read from the file; false for a name that is none of these.
    bool take(const std::string& name, const std::string& text);
    // Takes the texts typed in the dialog (by name) when every one is good; else changes
    // nothing and returns the first problem, worded for the dialog.
    std::optional<std::string> setFromDialog(const std::map<std::string, std::string>& texts,
                                             const std::string& serverKind);

    // Tarnvale: ` maxregisters="32"` for each setting set; Rennick: one element line each.
    std::string attributesText() const;
    std::string elementLines(const std::string& indentText, const std::string& lineEnd) const;

    bool operator==(const DeviceAdvanced&) const = default;

private:
    std::map<std::string, std::string> values_; // settings that differ from their default
};

} // namespace vorn::editor
