// The folder DeviceHealth under Objects: one object per device with what the engine knows of
// its communication (Connected, LastErrorCode, LastErrorText, ErrorCount, RequestCount,
// LastGoodTime, RoundTripMs). Read-only variables sampled from the engine's counters, so
// clients watching them cause no device traffic. Browse names live in a namespace of their
// own: no device or tag name can collide with them.
#pragma once

#include "engine/CommThread.h"
#include "toolkit/ua/AddressSpace.h"

#include <string>
#include <vector>

namespace vorn {

inline constexpr const char* kDeviceHealthFolder = "DeviceHealth";

// The nodes of the devices of `engines` (one, or one per connection; they outlive the OPC UA
// server). The namespace URI is `applicationUri` + ":health".
ua::ExtraNodes deviceHealthNodes(std::vector<const modbus::CommThread*> engines,
                                 const std::string& applicationUri);

} // namespace vorn
