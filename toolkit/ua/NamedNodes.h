// Nodes a server program adds in a namespace of its own (ExtraNodes), identified and named by
// strings: the DeviceHealth and MQTT status folders and their variables.
#pragma once

#include "toolkit/ua/AddressSpace.h"

#include <cstdint>
#include <string>

namespace vorn::ua {

// A node `ns;s=id` whose browse and display name is `name`.
Node namedNode(uint16_t ns, const std::string& id, const std::string& name, uint32_t nodeClass,
               uint32_t typeDefinition);

} // namespace vorn::ua
