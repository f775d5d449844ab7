#include "ConfigLoader.h"

#include "config/ConfigCheck.h"
#include "config/ConfigTrace.h"
#include "config/DatatypeRules.h"
#include "config/DeviceSettings.h"
#include "config/ValueReader.h"
#include "config/ValueSettings.h"
#include "fileformat/Utf8Text.h"
#include "modbus/RegisterKind.h"
#include "modbus/TagShape.h"
#include "platform/MessageBox.h"
#include "platform/ProgramPath.h"
#include "toolkit/SOCmnTrace.h"

#include <arpa/inet.h>
#include <fstream>
#include <string_view>

namespace vorn {
namespace {

constexpr const char* kTraceId = "CFG";
// Registers (or bits) of one Modbus table: addresses 0 to 65535.
constexpr size_t kAddressSpaceUnits = 0x10000;
constexpr uint16_t kBitsPerRegister = 16;
// Character references to code points that are no characters (&#xD800;, &#x110000;) would
// reach clients as invalid UTF-8.
constexpr const char* kNotACharacter =
    "its name or comment holds a code point that is no character";

// Names in trace lines are cut short: a hostile file may hold names of megabytes.
std::string quoted(const std::string& text) {
    constexpr size_t kShown = 64;
    return "\"" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "\"";
}

// Reads a number of `bits` from an attribute (isAttribute) or a child element's text. Absent
// leaves `value` alone; invalid is reported by the caller, which skips the element.
struct NumberField {
    const char* name;
    unsigned bits;
    uint32_t* value;
};

bool readNumber(const std::string& text, const NumberField& field, std::string& problem) {
    uint32_t number = 0;
    if (toUnsigned(text, field.bits, number) != ValueState::present) {
        problem = std::string("\"") + field.name + "\" value " + quoted(text) +
                  " is not a number of " + std::to_string(field.bits) + " bits";
        return false;
    }
    *field.value = number;
    return true;
}

const char* refusalText(AddRefusal why) {
    switch (why) {
    case AddRefusal::emptyName:
        return "it has no name";
    case AddRefusal::refusedCharacter:
        return "its name holds a refused character";
    case AddRefusal::duplicateItemId:
        return "its item ID is already that of an earlier element";
    default:
        return "its name is already taken in that branch";
    }
}

// A device's default byte order; an unknown name would make every tag of it wrong.
bool readByteOrder(const std::string& text, PlcDevice& device, std::string& problem) {
    const std::optional<modbus::ByteOrder> order = byteOrderNamed(text);
    if (!order) {
        problem = format::unknownByteOrderMessage(text, format::Wording::file);
        return false;
    }
    device.byteOrder = *order;
    return true;
}

// Only the program's own name loses the suffix; folders named "app.exes" keep theirs.
std::string withoutExeSuffix(std::string path) {
    for (const std::string_view suffix : {".exe", ".EXE"}) {
        if (path.ends_with(suffix)) {
            path.resize(path.size() - suffix.size());
            break;
        }
    }
    return path;
}

} // namespace

ConfigLoader::ConfigLoader(ServerKind kind, ServerConfig& config, TagFactory makeTag,
                           Registry registry)
    : profile_(profileOf(kind)), config_(config), makeTag_(std::move(makeTag)),
      registry_(std::move(registry)), programPath_(programPath()) {}

ConfigSearch ConfigLoader::locateAndLoad(SODaSNameSpaceRoot& root, void* owner) {
    root.setTreeDelimiter('.');
    root.setRefusedChars("");
    ConfigSearch search;
    auto tryFile = [&](const std::string& where, const std::string& path) {
        const bool present = std::ifstream(path).good();
        search.tried.push_back(where + path + (present ? "" : " (not found)"));
        // A missing file still goes through the loader, whose trace line says why it failed.
        if (loadConfiguration(path, root, owner) && present)
            search.loaded = path;
    };
    if (!configPath_.empty()) {
        tryFile("command line: ", configPath_);
        return search;
    }
    if (programPath_.empty())
        return search;

    const std::string besideProgram = withoutExeSuffix(programPath_) + ".xml";
    if (std::ifstream(besideProgram).good()) {
        // A file left beside an installed program would silently replace the plant file the
        // registry names; whoever runs the service must hear of it.
        if (auto registered = registry_.readString(profile_.registryKey, "ConfigFile");
            registered && !registered->empty() && *registered != besideProgram)
            getSOCmnTrace().trace(TraceLevel::warning, "CFG",
                                  besideProgram + " beside the program is served, not " +
                                      *registered + " that the registry value ConfigFile names");
        tryFile("beside the program: ", besideProgram);
        return search;
    }
    search.tried.push_back("beside the program: " + besideProgram + " (not found)");
    const std::string registryPlace = "registry file " + registry_.path() + ", key " +
                                      profile_.registryKey + ", value ConfigFile: ";
    const auto unreadable = registry_.readProblem();
    if (unreadable || !registry_.keyExists(profile_.registryKey)) {
        search.tried.push_back(
            registryPlace + (unreadable ? "(cannot read " + *unreadable + ")" : "(no such key)"));
        showMessage("The configuration file couldn't be loaded !", profile_.serverCaption,
                    MessageIcon::warning, MessageButtons::ok, owner);
        return search;
    }
    if (auto path = registry_.readString(profile_.registryKey, "ConfigFile"))
        tryFile(registryPlace, *path);
    else
        search.tried.push_back(registryPlace + "(no such value)");
    return search;
}

bool ConfigLoader::loadConfiguration(const std::string& path, SODaSNameSpaceRoot& root,
                                     void* owner) {
    summary_ = ConfigSummary();
    summary_.path = path;
    DomDocument document;
    summary_.parsed = document.load(path);
    if (!summary_.parsed) {
        const TextPosition at = document.parseErrorPosition();
        std::string where;
        if (at.line)
            where =
                " (line " + std::to_string(at.line) + ", column " + std::to_string(at.column) + ")";
        getSOCmnTrace().trace(TraceLevel::warning, kTraceId,
                              "configuration " + quoted(path) +
                                  " not loaded: " + document.parseError() + where);
    }
    document_ = &document;
    summary_.warnings = ConfigCheck(profile_.kind, document).check();
    const bool read = readDocument(document, root, owner);
    document_ = nullptr;
    summary_.devices = config_.devices.getCount();
    return read;
}

void ConfigLoader::warn(const std::string& text, const DomNode& at) {
    ++summary_.skipped;
    traceConfigWarning(document_, at, text);
}

bool ConfigLoader::readDocument(const DomDocument& document, SODaSNameSpaceRoot& root,
                                void* owner) {
    for (const DomNode& top : document.topLevelNodes()) {
        if (!top.isElement() || top.name() != profile_.rootElement)
            continue;
        DomNode modbus = top.firstChild();
        if (!modbus.isElement() || modbus.name() != "MODBUS") {
            showMessage("Wrong XML file syntax: no ModBus element\n", kLoaderCaption,
                        MessageIcon::warning, MessageButtons::ok, owner);
            return false;
        }
        readModbusTypes(modbus);
        DomNode opcDa = modbus.nextSibling();
        if (!opcDa.isElement() || opcDa.name() != "OPC_DA") {
            showMessage("Wrong XML file syntax: no devices element\n", kLoaderCaption,
                        MessageIcon::warning, MessageButtons::ok, owner);
            return false;
        }
        readDevices(opcDa, root);
    }
    return true;
}

void ConfigLoader::readModbusTypes(const DomNode& modbus) {
    const size_t children = modbus.childCount();
    if (children == 0)
        return;
    config_.modbusTypes.setCapacity(children);
    for (const DomNode& row : modbus.children()) {
        if (!row.isElement() || row.name() != "DATATYPE")
            continue;
        std::string name;
        if (readAttributeText(row, "name", name) != ValueState::present)
            continue;
        uint32_t read = 0, write = 0, singleWrite = 0;
        std::string problem;
        bool valid = true;
        // A function code is one byte on the wire: a larger number is no code at all.
        for (NumberField field :
             {NumberField{"readcode", 8, &read}, NumberField{"writecode", 8, &write},
              NumberField{"singlewrcode", 8, &singleWrite}}) {
            std::string text;
            if (readAttributeText(row, field.name, text) == ValueState::present)
                valid = valid && readNumber(text, field, problem);
        }
        if (!valid) {
            warn("DATATYPE " + quoted(name) + " skipped: " + problem, row);
            continue;
        }
        config_.modbusTypes.addRow(registerKindOf(name), static_cast<uint8_t>(read),
                                   static_cast<uint8_t>(write), static_cast<uint8_t>(singleWrite));
    }
}

void ConfigLoader::readDevices(const DomNode& opcDa, SODaSNameSpaceRoot& root) {
    for (const DomNode& plc : opcDa.children()) {
        if (!plc.isElement() || plc.name() != "PLC")
            continue;
        if (profile_.kind == ServerKind::tarnvale)
            readTcpDevice(plc, root);
        else
            readSerialDevice(plc, root);
    }
}

void ConfigLoader::readTcpDevice(const DomNode& plc, SODaSNameSpaceRoot& root) {
    auto device = makeObject<PlcDevice>();
    bool hasName = readAttributeText(plc, "name", device->name) == ValueState::present;
    bool hasAddress = readAttributeText(plc, "address", device->address) == ValueState::present;

    uint32_t port = PlcDevice::kDefaultTcpPort;
    std::string problem;
    bool valid = true;
    for (NumberField field :
         {NumberField{"timeout", 32, &device->timeoutMs}, NumberField{"id", 8, &device->unitId},
          NumberField{"port", 16, &port}}) {
        std::string text;
        if (readAttributeText(plc, field.name, text) == ValueState::present)
            valid = valid && readNumber(text, field, problem);
    }
    if (!hasName || !hasAddress)
        return;
    if (valid && port == 0) {
        valid = false;
        problem = "\"port\" must be 1 to 65535";
    }
    if (valid && device->address.size() > PlcDevice::kMaxAddressLength) {
        valid = false;
        problem = "address " + quoted(device->address) + " is longer than 15 characters";
    }
    // The transport reads the address as inet_aton does and never looks up a host name.
    in_addr ipv4{};
    if (valid && ::inet_aton(device->address.c_str(), &ipv4) == 0) {
        valid = false;
        problem = "address " + quoted(device->address) +
                  " is no IPv4 address (host names are not looked up)";
    }
    std::string order;
    if (valid && readAttributeText(plc, format::kByteOrderSetting, order) == ValueState::present)
        valid = readByteOrder(order, *device, problem);
    if (!valid) {
        warn("PLC " + quoted(device->name) + " skipped with its tags: " + problem, plc);
        return;
    }
    device->tcpPort = static_cast<uint16_t>(port);
    for (const format::DeviceNumberSetting* setting : format::kDeviceNumberSettings) {
        std::string text;
        if (readAttributeText(plc, setting->name, text) == ValueState::present)
            applyDeviceSetting(setting->name, text, *device);
    }
    if (std::string text;
        readAttributeText(plc, format::kBackupAddressSetting, text) == ValueState::present)
        applyDeviceSetting(format::kBackupAddressSetting, text, *device);

    std::vector<DomNode> tagLists;
    for (const DomNode& child : plc.children())
        if (child.isElement() && child.name() == "tags")
            tagLists.push_back(child);
    addDevice(std::move(device), tagLists, root);
}

void ConfigLoader::readSerialDevice(const DomNode& plc, SODaSNameSpaceRoot& root) {
    auto device = makeObject<PlcDevice>();
    modbus::SerialPortSettings port;
    bool hasName = false;
    bool hasPort = false;
    uint32_t baudRate = kDefaultBaudRate, stopBits = kDefaultStopBits, dataBits = kDefaultDataBits;
    device->silentMs = kDefaultSilentMs;
    DomNode tags;
    std::string problem;
    bool valid = true;

    for (const DomNode& setting : plc.children()) {
        if (!setting.isElement())
            continue;
        const std::string name = setting.name();
        if (name == "tags") {
            tags = setting; // only the last "tags" counts
            continue;
        }
        std::string text;
        if (readElementText(setting, text) != ValueState::present)
            continue;
        if (name == "name") {
            device->name = text;
            hasName = true;
        } else if (name == "com") {
            port.name = text;
            hasPort = true;
        } else if (name == "parity") {
            port.parity = text;
        } else if (name == "flowcontrol") {
            port.flowControl = text;
        } else if (name == "id") {
            valid = valid && readNumber(text, {"id", 8, &device->unitId}, problem);
        } else if (name == "baudrate") {
            valid = valid && readNumber(text, {"baudrate", 32, &baudRate}, problem);
        } else if (name == "stopbits") {
            valid = valid && readNumber(text, {"stopbits", 8, &stopBits}, problem);
        } else if (name == "databits") {
            valid = valid && readNumber(text, {"databits", 8, &dataBits}, problem);
        } else if (name == "timeout") {
            valid = valid && readNumber(text, {"timeout", 32, &device->timeoutMs}, problem);
        } else if (name == "silent") {
            valid = valid && readNumber(text, {"silent", 32, &device->silentMs}, problem);
        } else if (name == format::kByteOrderSetting) {
            valid = valid && readByteOrder(text, *device, problem);
        } else if (format::isSerialDeviceSetting(name)) {
            applyDeviceSetting(name, text, *device);
        }
    }
    if (!hasPort)
        return;
    const std::string label = hasName ? quoted(device->name) : "on port " + quoted(port.name);
    if (valid && port.name.size() > PlcDevice::kMaxPortNameLength) {
        valid = false;
        problem = "port name " + quoted(port.name) + " is longer than 9 characters";
    }
    if (!valid) {
        warn("PLC " + label + " skipped with its port and tags: " + problem, plc);
        return;
    }
    port.baudRate = baudRate;
    port.stopBits = static_cast<uint8_t>(stopBits);
    port.dataBits = static_cast<uint8_t>(dataBits);
    config_.serialPorts.addIfAbsent(port);
    if (!hasName)
        return;
    device->portName = port.name;
    std::vector<DomNode> tagLists;
    if (!tags.isNull())
        tagLists.push_back(tags);
    addDevice(std::move(device), tagLists, root);
}

void ConfigLoader::addDevice(SOCmnPointer<PlcDevice> device, const std::vector<DomNode>& tagLists,
                             SODaSNameSpaceRoot& root) {
    if (!format::isWellFormedUtf8(device->name)) {
        warn("PLC " + quoted(device->name) + " skipped with its tags: " + kNotACharacter);
        return;
    }
    config_.devices.add(device);
    std::string refusal;
    SOCmnPointer<SODaSNode> branch = branchFor(root, device->name, refusal);
    if (!branch) {
        warn("PLC " + quoted(device->name) + " has no branch, its tags are skipped: " + refusal);
        return;
    }
    for (const DomNode& tags : tagLists)
        readTagContent(tags, *branch, device, 1);
}

SOCmnPointer<SODaSNode> ConfigLoader::branchFor(SODaSNode& parent, const std::string& name,
                                                std::string& refusal) {
    if (SOCmnPointer<SODaSNode> existing = parent.findBranch(name))
        return existing;
    auto branch = makeObject<SODaSNodeDefault>(name);
    AddRefusal why = AddRefusal::none;
    if (parent.addBranch(branch.get(), &why))
        return branch;
    refusal = refusalText(why);
    return nullptr;
}

void ConfigLoader::readTagContent(const DomNode& parentElement, SODaSNode& branch,
                                  const SOCmnPointer<PlcDevice>& device, unsigned depth) {
    for (const DomNode& element : parentElement.children()) {
        if (!element.isElement())
            continue;
        if (element.name() == "tag") {
            readTag(element, branch, device);
            continue;
        }
        auto where = [&] { return quoted(branch.getItemID() + "." + element.name()); };
        if (depth > kMaxBranchDepth) {
            warn("branch " + where() + " skipped with its content: more than " +
                     std::to_string(kMaxBranchDepth) + " branch levels",
                 element);
            continue;
        }
        std::string refusal;
        SOCmnPointer<SODaSNode> child = branchFor(branch, element.name(), refusal);
        if (!child) {
            warn("branch " + where() + " skipped with its content: " + refusal, element);
            continue;
        }
        readTagContent(element, *child, device, depth + 1);
    }
}

void ConfigLoader::readTag(const DomNode& tagElement, SODaSNode& branch,
                           const SOCmnPointer<PlcDevice>& device) {
    TagConfig tag;
    tag.device = device;
    std::string datatype, access;
    uint32_t address = 0, bit = 0, elements = 0;
    TagValueSettings valueSettings;
    std::string problem;
    bool valid = true;
    for (const DomNode& field : tagElement.children()) {
        if (!field.isElement())
            continue;
        const std::string name = field.name();
        std::string text;
        if (readElementText(field, text) != ValueState::present)
            continue;
        if (name == "name")
            tag.name = text;
        else if (name == "comment")
            tag.description = text;
        else if (name == "datatype")
            datatype = text;
        else if (name == "accessrights")
            access = text;
        else if (name == "address")
            valid = valid && readNumber(text, {"address", 16, &address}, problem);
        else if (name == "databit")
            valid = valid && readNumber(text, {"databit", 16, &bit}, problem);
        else if (name == "elements")
            valid = valid && readNumber(text, {"elements", 16, &elements}, problem);
        else
            valueSettings.take(field, name, text);
    }
    auto where = [&] { return quoted(branch.getItemID() + "." + tag.name); };
    if (valid &&
        !(format::isWellFormedUtf8(tag.name) && format::isWellFormedUtf8(tag.description))) {
        valid = false;
        problem = kNotACharacter;
    }
    if (!valid) {
        warn("tag " + where() + " skipped: " + problem, tagElement);
        return;
    }
    tag.address = static_cast<uint16_t>(address);
    tag.bitNumber = static_cast<uint16_t>(bit);
    tag.elements = static_cast<uint16_t>(elements);
    tag.kind = registerKindOf(datatype);
    tag.nativeType = nativeTypeOf(datatype);
    tag.accessRights = accessRightsOf(access);

    const modbus::TagShape shape{tag.nativeType, tag.elements, tag.bitNumber, tag.address,
                                 tag.kind};
    if (size_t{tag.address} + modbus::unitCount(shape) > kAddressSpaceUnits) {
        warn("tag " + where() + " skipped: it runs past the last register or bit (65535)");
        return;
    }
    const bool registerBit =
        modbus::isKnownKind(tag.kind) && !modbus::isBitKind(tag.kind) && tag.nativeType == VT_BOOL;
    if (registerBit && tag.bitNumber >= kBitsPerRegister) {
        warn("tag " + where() + " skipped: databit " + std::to_string(tag.bitNumber) +
             " is not a bit of a register (0 to 15)");
        return;
    }
    if (const std::optional<SettingProblem> bad = valueSettings.applyTo(tag, tagElement)) {
        warn("tag " + where() + " skipped: " + bad->text, bad->at);
        return;
    }

    SOCmnPointer<SODaSTag> leaf = makeTag_(tag);
    AddRefusal why = AddRefusal::none;
    if (!branch.addLeaf(leaf.get(), &why)) {
        warn("tag " + where() + " skipped: " + refusalText(why), tagElement);
        return;
    }
    ++summary_.tags;
}

} // namespace vorn
