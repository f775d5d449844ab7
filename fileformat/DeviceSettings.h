// A device's communication settings as the configuration file names them: how much one read
// may take, which holes it reads along, pauses, a reduced rate while it fails, a backup address.
// Each is optional and its default is the behaviour of
// a file without it. The servers' loader and Quillmar's Advanced dialog take these names,
// ranges and messages, so that a value one of them accepts the other reads the same way.
// Header only, like ConfigFormat.h.
#pragma once

#include "fileformat/ValueSettings.h"

#include <arpa/inet.h>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::format {

struct DeviceNumberSetting {
    const char* name;  // attribute of a Tarnvale PLC, element of a Rennick PLC
    const char* title; // in Quillmar's Advanced dialog
    uint32_t minimum;
    uint32_t maximum;
    uint32_t defaultValue;
    bool tcpOnly = false; // Tarnvale devices only
};

inline constexpr DeviceNumberSetting kMaxRegistersSetting{"maxregisters", "Registers per read", 1,
                                                          123, 123};
inline constexpr DeviceNumberSetting kMaxBitsSetting{"maxbits", "Bits per read", 1, 1968, 1968};
inline constexpr DeviceNumberSetting kMaxRegisterHoleSetting{
    "maxregisterhole", "Largest hole in registers", 0, 121, 25};
inline constexpr DeviceNumberSetting kMaxBitHoleSetting{"maxbithole", "Largest hole in bits", 0,
                                                        1966, 400};
inline constexpr DeviceNumberSetting kReducedAfterSetting{
    "reducedafter", "Failed transfers before the reduced rate (0 = off)", 0, 1000, 0};
inline constexpr DeviceNumberSetting kReducedIntervalSetting{
    "reducedinterval", "Reduced rate: one try every (s)", 1, 3600, 10};
inline constexpr DeviceNumberSetting kConnectPauseSetting{
    "connectpause", "Pause after connecting (ms)", 0, 60000, 0, true};
inline constexpr DeviceNumberSetting kRequestPauseSetting{
    "requestpause", "Pause between requests (ms)", 0, 60000, 0, true};
inline constexpr DeviceNumberSetting kBackupPortSetting{"backupport", "Backup port", 1,
                                                        65535,        502,           true};
inline constexpr DeviceNumberSetting kBackupAfterSetting{
    "backupafter", "Failed connects before the other address", 1, 100, 3, true};

// In the order the file and the dialog show them.
inline constexpr std::array<const DeviceNumberSetting*, 10> kDeviceNumberSettings{{
    &kMaxRegistersSetting,
    &kMaxBitsSetting,
    &kMaxRegisterHoleSetting,
    &kMaxBitHoleSetting,
    &kReducedAfterSetting,
    &kReducedIntervalSetting,
    &kConnectPauseSetting,
    &kRequestPauseSetting,
    &kBackupPortSetting,
    &kBackupAfterSetting,
}};

// One of the settings a Rennick device takes (the others are for TCP connections).
inline bool isSerialDeviceSetting(std::string_view name) {
    for (const DeviceNumberSetting* setting : kDeviceNumberSettings)
        if (name == setting->name)
            return !setting->tcpOnly;
    return false;
}

// A Tarnvale device's second IP address, tried after "backupafter" failed connects to the
// first (and the first again after as many to the second).
inline constexpr const char* kBackupAddressSetting = "backupaddress";
inline constexpr const char* kBackupAddressTitle = "Backup IP address";

// Dotted IPv4 of at most 15 characters, read as the servers' transport reads it.
inline bool isBackupAddress(const std::string& text) {
    in_addr ignored{};
    return !text.empty() && text.size() <= 15 && ::inet_aton(text.c_str(), &ignored) != 0;
}

inline std::string backupAddressMessage(std::string_view text, Wording wording) {
    if (wording == Wording::file)
        return std::string(kBackupAddressSetting) + " \"" + std::string(text) +
               "\" is no IPv4 address (host names are not looked up)";
    return std::string(kBackupAddressTitle) + " must be an IPv4 address such as 192.168.0.2.";
}

// A whole decimal number within the setting's range, blanks around it allowed; none for any
// other text.
inline std::optional<uint32_t> deviceNumber(std::string_view text,
                                            const DeviceNumberSetting& setting) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < setting.minimum || value > setting.maximum)
        return std::nullopt;
    return value;
}

inline std::string deviceNumberMessage(const DeviceNumberSetting& setting, std::string_view text,
                                       Wording wording) {
    const std::string range = "a whole number from " + std::to_string(setting.minimum) + " to " +
                              std::to_string(setting.maximum);
    if (wording == Wording::file)
        return std::string(setting.name) + " \"" + std::string(text) + "\" is not " + range;
    return std::string(setting.title) + " must be " + range + ".";
}

} // namespace vorn::format
