// The texts of the servers' window that depend on the server kind.
#pragma once

#include "config/ServerProfile.h"

namespace vorn::ui {

struct ServerTexts {
    const char* windowTitle;
    const char* aboutCaption;
    const char* aboutProductLine;
};

const ServerTexts& textsOf(ServerKind kind);

// The maker's details shown in the about box, one static line each.
struct MakerDetails {
    const char* name;
    const char* street;
    const char* city;
    const char* phone;
    const char* fax;
    const char* web;
};

const MakerDetails& makerDetails();

// Caption and text of the message shown when the configuration names no device.
inline constexpr const char* kNoDevicesCaption = "OPC ModBus Server";
inline constexpr const char* kNoDevicesText = "No ModBus PLC configured. OPC Server being closed.";

} // namespace vorn::ui
