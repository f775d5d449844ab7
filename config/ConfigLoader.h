// Finds a server's configuration file, reads it and fills the server's model: function codes,
// devices, serial ports, and the address space of branches and tags.
//
// Elements the file gets wrong are skipped with a trace line that names them ("CFG" lines of
// the toolkit trace); the rest of the file still loads. Only the two structural faults of the
// root (no "MODBUS" first, no "OPC_DA" second) are shown as messages.
#pragma once

#include "config/ConfigSummary.h"
#include "config/ServerConfig.h"
#include "config/ServerProfile.h"
#include "config/TagConfig.h"
#include "fileformat/ConfigFormat.h"
#include "platform/Registry.h"
#include "platform/XmlDom.h"
#include "toolkit/SODaSNode.h"
#include "toolkit/SODaSTag.h"

#include <functional>
#include <string>
#include <vector>

namespace vorn {

// Where locateAndLoad looked, in order, each as a line for the trace ("beside the program:
// /opt/vorn/bin/Tarnvale.xml (not found)"), and the file it loaded, empty when none.
struct ConfigSearch {
    std::vector<std::string> tried;
    std::string loaded;
};

class ConfigLoader {
public:
    using TagFactory = std::function<SOCmnPointer<SODaSTag>(const TagConfig&)>;

    // Defaults of a serial device's numeric settings that its file leaves out.
    static constexpr uint32_t kDefaultBaudRate = format::kDefaultBaudRate;
    static constexpr uint8_t kDefaultStopBits = format::kDefaultStopBits;
    static constexpr uint8_t kDefaultDataBits = format::kDefaultDataBits;
    static constexpr uint32_t kDefaultSilentMs = format::kDefaultSilentMs;
    // Branch levels below a device; deeper content is skipped so that no walk of the address
    // space can exhaust the stack.
    static constexpr unsigned kMaxBranchDepth = format::kMaxBranchDepth;

    ConfigLoader(ServerKind kind, ServerConfig& config, TagFactory makeTag,
                 Registry registry = Registry());

    // The program file's path, by default that of the running program.
    void setProgramPath(std::string path) { programPath_ = std::move(path); }
    // A file named for this run (command line): it replaces the search beside the program and
    // in the registry.
    void setConfigPath(std::string path) { configPath_ = std::move(path); }

    // Sets the name space's delimiter to "." with no refused characters, then loads the file
    // beside the program (program path with ".xml"), else the one the registry value
    // "ConfigFile" names. `owner` owns the message boxes. Tells where it looked.
    ConfigSearch locateAndLoad(SODaSNameSpaceRoot& root, void* owner = nullptr);
    // True unless a structural message was shown; what was read before it stays in effect.
    bool loadConfiguration(const std::string& path, SODaSNameSpaceRoot& root,
                           void* owner = nullptr);
    // What the last load gave: the file, devices, tags, skipped elements and warnings.
    const ConfigSummary& summary() const { return summary_; }

private:
    bool readDocument(const DomDocument& document, SODaSNameSpaceRoot& root, void* owner);
    // A "CFG" warning about an element left out, with the element's line when known.
    void warn(const std::string& text, const DomNode& at = DomNode());
    void readModbusTypes(const DomNode& modbus);
    void readDevices(const DomNode& opcDa, SODaSNameSpaceRoot& root);
    void readTcpDevice(const DomNode& plc, SODaSNameSpaceRoot& root);
    void readSerialDevice(const DomNode& plc, SODaSNameSpaceRoot& root);
    // Adds the device to the list and fills its branch from the "tags" elements.
    void addDevice(SOCmnPointer<PlcDevice> device, const std::vector<DomNode>& tagLists,
                   SODaSNameSpaceRoot& root);
    void readTagContent(const DomNode& parentElement, SODaSNode& branch,
                        const SOCmnPointer<PlcDevice>& device, unsigned depth);
    void readTag(const DomNode& tagElement, SODaSNode& branch,
                 const SOCmnPointer<PlcDevice>& device);
    // The branch `name` below `parent`, created when missing; null (and why) when refused.
    SOCmnPointer<SODaSNode> branchFor(SODaSNode& parent, const std::string& name,
                                      std::string& refusal);

    const ServerProfile& profile_;
    ServerConfig& config_;
    TagFactory makeTag_;
    Registry registry_;
    std::string programPath_;
    std::string configPath_;
    ConfigSummary summary_;
    const DomDocument* document_ = nullptr; // while a file is read
};

} // namespace vorn
