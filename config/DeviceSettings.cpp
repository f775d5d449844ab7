#include "DeviceSettings.h"

#include <array>
#include <string>

namespace vorn {
namespace {

struct SettingField {
    const format::DeviceNumberSetting* setting;
    uint32_t& (*field)(PlcDevice&);
};

const std::array<SettingField, 10> kFields{{
    {&format::kMaxRegistersSetting,
     [](PlcDevice& d) -> uint32_t& { return d.readLimits.maxRegisters; }},
    {&format::kMaxBitsSetting, [](PlcDevice& d) -> uint32_t& { return d.readLimits.maxBits; }},
    {&format::kMaxRegisterHoleSetting,
     [](PlcDevice& d) -> uint32_t& { return d.readLimits.maxHoleRegisters; }},
    {&format::kMaxBitHoleSetting,
     [](PlcDevice& d) -> uint32_t& { return d.readLimits.maxHoleBits; }},
    {&format::kReducedAfterSetting, [](PlcDevice& d) -> uint32_t& { return d.reducedAfter; }},
    {&format::kReducedIntervalSetting,
     [](PlcDevice& d) -> uint32_t& { return d.reducedIntervalS; }},
    {&format::kConnectPauseSetting, [](PlcDevice& d) -> uint32_t& { return d.connectPauseMs; }},
    {&format::kRequestPauseSetting, [](PlcDevice& d) -> uint32_t& { return d.requestPauseMs; }},
    {&format::kBackupPortSetting, [](PlcDevice& d) -> uint32_t& { return d.backupPort; }},
    {&format::kBackupAfterSetting, [](PlcDevice& d) -> uint32_t& { return d.backupAfter; }},
}};

} // namespace

bool applyDeviceSetting(const std::string& name, const std::string& text, PlcDevice& device) {
    if (name == format::kBackupAddressSetting) {
        if (format::isBackupAddress(text))
            device.backupAddress = text;
        return true;
    }
    for (const SettingField& entry : kFields) {
        if (name != entry.setting->name)
            continue;
        if (const std::optional<uint32_t> value = format::deviceNumber(text, *entry.setting))
            entry.field(device) = *value;
        return true;
    }
    return false;
}

} // namespace vorn
