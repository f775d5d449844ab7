// Looks over a server's configuration for what loads but will not work as its writer most
// likely meant: misspelt or lower-case datatype tokens, access rights the server does not know,
// register kinds without function codes, a Tarnvale device written in the Rennick form and the
// other way round, elements and attributes the server never reads, serial settings it does not
// accept. Each finding is one "CFG" warning with the file's line number. The check changes
// nothing: the loader reads the document exactly as before.
#pragma once

#include "config/ServerProfile.h"
#include "fileformat/DeviceSettings.h"
#include "platform/XmlDom.h"

#include <cstdint>
#include <set>
#include <string>

namespace vorn {

class ConfigCheck {
public:
    // Warnings traced one by one; a generated file with the same mistake in every tag must
    // not bury the rest of the trace. The count goes on.
    static constexpr size_t kMaxWarningsShown = 500;

    ConfigCheck(ServerKind kind, const DomDocument& document);

    // Checks the whole document: its root, then the configuration below it. Returns the
    // number of warnings traced.
    size_t check();

private:
    void checkRoot(const DomNode& root);
    void checkModbus(const DomNode& modbus);
    void checkDevices(const DomNode& opcDa);
    void checkTcpDevice(const DomNode& plc);
    void checkSerialDevice(const DomNode& plc);
    // A device's communication setting: a bad value warns, and the device keeps the default.
    void checkDeviceNumber(const DomNode& at, const std::string& what,
                           const format::DeviceNumberSetting& setting, const std::string& text);
    void checkSerialText(const DomNode& setting, const char* const* accepted,
                         const std::string& consequence);
    // `depth`: branch levels below the device, as the loader counts them.
    void checkTagContent(const DomNode& parent, const std::string& path, unsigned depth);
    void checkTag(const DomNode& tag, const std::string& path);
    void checkDatatype(const DomNode& at, const std::string& what, const std::string& datatype);
    void checkFunctionCodes(const DomNode& at, uint8_t kind);
    // One warning for the attributes of `element` not in `known` (a null-ended list).
    void checkAttributes(const DomNode& element, const std::string& what, const char* const* known);
    void warn(const DomNode& at, const std::string& text);

    ServerKind kind_;
    const DomDocument& document_;
    std::set<uint8_t> kindsWithRow_;
    std::set<uint8_t> kindsReported_;
    size_t warnings_ = 0;
};

} // namespace vorn
