// The folder Mqtt under Objects: how publishing goes (Connected, State, BufferedRecords,
// BufferedBytes, BufferCapacity, DroppedCount, PublishedMessages, PublishedValues,
// ConnectAttempts), read-only variables over the publisher's status, in a namespace of their own.
#pragma once

#include "north/mqtt/MqttStatus.h"
#include "toolkit/ua/AddressSpace.h"

#include <string>

namespace vorn::north::mqtt {

inline constexpr const char* kMqttFolder = "Mqtt";

// `status` outlives the OPC UA server. The namespace URI is `applicationUri` + ":mqtt".
ua::ExtraNodes mqttStatusNodes(const MqttStatus& status, const std::string& applicationUri);

} // namespace vorn::north::mqtt
