#include "DeviceAdvanced.h"

#include "FileText.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/DeviceSettings.h"

namespace vorn::editor {
namespace {

// Every setting's name in the file's order, for writing.
std::vector<AdvancedSetting> allSettings() {
    std::vector<AdvancedSetting> settings;
    for (const format::DeviceNumberSetting* setting : format::kDeviceNumberSettings) {
        if (setting == &format::kBackupPortSetting)
            settings.push_back({format::kBackupAddressSetting, format::kBackupAddressTitle, ""});
        settings.push_back({setting->name, setting->title, std::to_string(setting->defaultValue)});
    }
    return settings;
}

const format::DeviceNumberSetting* numberSetting(const std::string& name) {
    for (const format::DeviceNumberSetting* setting : format::kDeviceNumberSettings)
        if (name == setting->name)
            return setting;
    return nullptr;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::vector<AdvancedSetting> DeviceAdvanced::settingsFor(const std::string& serverKind) {
    std::vector<AdvancedSetting> settings;
    for (AdvancedSetting& setting : allSettings())
        if (serverKind == format::kTarnvaleName || format::isSerialDeviceSetting(setting.name))
            settings.push_back(std::move(setting));
    return settings;
}

std::string DeviceAdvanced::text(const std::string& name) const {
    if (auto found = values_.find(name); found != values_.end())
        return found->second;
    if (const format::DeviceNumberSetting* setting = numberSetting(name))
        return std::to_string(setting->defaultValue);
    return {};
}

bool DeviceAdvanced::take(const std::string& name, const std::string& text) {
    for (const AdvancedSetting& setting : allSettings())
        if (setting.name == name) {
            if (text != setting.defaultText) // kept as written, good or not: the server says
                values_[name] = text;
            return true;
        }
    return false;
}

std::optional<std::string>
DeviceAdvanced::setFromDialog(const std::map<std::string, std::string>& texts,
                              const std::string& serverKind) {
    std::map<std::string, std::string> values;
    for (const AdvancedSetting& setting : settingsFor(serverKind)) {
        const auto typed = texts.find(setting.name);
        const std::string text =
            typed == texts.end() ? setting.defaultText : trimmed(typed->second);
        if (const format::DeviceNumberSetting* number = numberSetting(setting.name)) {
            const std::optional<uint32_t> value = format::deviceNumber(text, *number);
            if (!value)
                return format::deviceNumberMessage(*number, text, format::Wording::dialog);
            if (*value != number->defaultValue)
                values[setting.name] = std::to_string(*value);
        } else if (!text.empty()) {
            if (!format::isBackupAddress(text))
                return format::backupAddressMessage(text, format::Wording::dialog);
            values[setting.name] = text;
        }
    }
    values_ = std::move(values);
    return std::nullopt;
}

std::string DeviceAdvanced::attributesText() const {
    std::string text;
    for (const AdvancedSetting& setting : allSettings())
        if (auto found = values_.find(setting.name); found != values_.end())
            text += " " + setting.name + "=\"" + fileAttribute(found->second) + "\"";
    return text;
}

std::string DeviceAdvanced::elementLines(const std::string& indentText,
                                         const std::string& lineEnd) const {
    std::string text;
    for (const AdvancedSetting& setting : allSettings())
        if (auto found = values_.find(setting.name); found != values_.end())
            text += indentText + "<" + setting.name + ">" + fileText(found->second) + "</" +
                    setting.name + ">" + lineEnd;
    return text;
}

} // namespace vorn::editor
