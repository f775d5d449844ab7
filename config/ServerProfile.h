// What the two server kinds differ by besides the file format: their registry key and captions.
#pragma once

#include "fileformat/ConfigFormat.h"

namespace vorn {

using format::ServerKind;

struct ServerProfile {
    ServerKind kind;
    const char* rootElement;   // root of the configuration file
    const char* registryKey;   // key holding "ConfigFile"
    const char* serverCaption; // caption of the server's own start-up messages
};

const ServerProfile& profileOf(ServerKind kind);

// Caption of the configuration loader's syntax messages (the same for both kinds).
inline constexpr const char* kLoaderCaption = "OPC ModBus Server";

} // namespace vorn
