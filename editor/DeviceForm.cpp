#include "DeviceForm.h"

#include "ByteOrderChoices.h"
#include "ConnectionText.h"
#include "EditorState.h"
#include "NameRules.h"
#include "NumericText.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/SerialPorts.h"
#include "fileformat/ValueSettings.h"

namespace vorn::editor {
namespace {

// Times are 32-bit unsigned numbers of milliseconds in the file, as the servers read them.
constexpr long long kMaxMilliseconds = 4294967295;

std::string decimal(long long value) {
    return std::to_string(value);
}

// Ports are compared as the server opens them: "COM01" and "COM1" are one serial line.
bool samePort(const std::string& a, const std::string& b) {
    const std::string lineA = format::defaultSerialDevice(a);
    return a == b || (!lineA.empty() && lineA == format::defaultSerialDevice(b));
}

// The connection a unit talks on: its address and TCP port, or its serial line.
bool sameConnection(const clsPLC& device, const DeviceFields& fields, const std::string& kind) {
    if (kind == format::kRennickName)
        return samePort(device.getCom(), fields.com);
    return device.getAddress() == fields.address &&
           device.getPort() == static_cast<uint16_t>(leadingNumber(fields.tcpPort));
}

std::optional<std::string> nameProblem(const DeviceFields& fields) {
    // The servers read a name of blanks only as no name and drop the unit.
    if (fields.name.find_first_not_of(' ') == std::string::npos)
        return std::string("Name field is empty.");
    return nameCharsProblem(fields.name, true);
}

// A unit's key is its name: it must not be any other node's key, the "ModBus" folder and the
// Modbus types included.
std::optional<std::string> keyProblem(const DeviceFields& fields, const EditorState& state,
                                      const clsPLC* edited) {
    const TreeNode* self = edited ? state.tree.find(edited->sKey()) : nullptr;
    return keyTakenProblem(state.tree, fields.name, self);
}

std::optional<std::string> identifierProblem(const DeviceFields& fields, const std::string& kind,
                                             const EditorState& state, const clsPLC* edited) {
    if (!isNumeric(fields.ui))
        return std::string("UI identifier is not valid.");
    const std::optional<long long> ui = wholeValueIn(fields.ui, 0, 254);
    if (!ui)
        return std::string("UI identifier must be between 0 and 254.");
    for (const auto& [key, device] : state.devices) {
        if (device.get() != edited && device->getUI() == *ui &&
            sameConnection(*device, fields, kind))
            return std::string("UI already existing. Please use a different one");
    }
    return std::nullopt;
}

std::optional<std::string> tcpProblem(const DeviceFields& fields) {
    if (fields.address.empty())
        return std::string("Address field is empty.");
    if (!isIpv4Address(fields.address))
        return std::string("Address is not a valid IPv4 address.");
    if (!wholeValueIn(fields.tcpPort, 1, 65535))
        return std::string("TCP port must be between 1 and 65535.");
    return std::nullopt;
}

std::optional<std::string> sharedPortProblem(const DeviceFields& fields, const EditorState& state,
                                             const clsPLC* edited) {
    for (const auto& [key, device] : state.devices) {
        if (device.get() == edited || !samePort(device->getCom(), fields.com))
            continue;
        const char* differs = nullptr;
        if (device->getBaud() != static_cast<int32_t>(leadingNumber(fields.baud)))
            differs = "Baud Rate";
        else if (device->getDataBits() != static_cast<uint8_t>(leadingNumber(fields.dataBits)))
            differs = "Data Bits";
        else if (device->getStopBits() != static_cast<uint8_t>(leadingNumber(fields.stopBits)))
            differs = "Stop Bits";
        else if (device->getParity() != fields.parity)
            differs = "Parity";
        else if (device->getFlowCtl() != fields.flow)
            differs = "Flow Control";
        if (differs)
            return "Plc " + device->getName() + " has the same port but different " + differs;
    }
    return std::nullopt;
}

std::optional<std::string> serialProblem(const DeviceFields& fields, const EditorState& state,
                                         const clsPLC* edited) {
    if (fields.com.empty())
        return std::string("Port name field empty.");
    if (fields.com.compare(0, 1, "/") == 0)
        return std::string("Invalid Port name. It must begin with \"COM\"; a device such as "
                           "/dev/ttyUSB0 is chosen under \"Device path\"");
    if (fields.com.compare(0, 3, "COM") != 0)
        return std::string("Invalid Port name. It must begin with \"COM\"");
    if (!isNumeric(fields.com.substr(3)))
        return std::string("Invalid Port name. Missing port number.");
    if (!comPortNumber(fields.com))
        return std::string("Invalid Port name. The port number must be a whole number from 1 to "
                           "255.");
    if (!fields.device.empty() && fields.device[0] != '/')
        return std::string("Invalid device path. It must be a full path such as /dev/ttyUSB0.");
    if (fields.silent.empty())
        return std::string("Silent interval field empty.");
    if (!isNumeric(fields.silent))
        return std::string("Invalid Silent interval.");
    if (!wholeValueIn(fields.silent, 0, kMaxMilliseconds))
        return std::string("Silent interval must be between 0 and 4294967295.");
    if (!wholeValueIn(fields.dataBits, 5, 8))
        return std::string("Data bits must be 5, 6, 7 or 8.");
    if (!wholeValueIn(fields.stopBits, 1, 2))
        return std::string("Stop bits must be 1 or 2.");
    return sharedPortProblem(fields, state, edited);
}

} // namespace

const std::vector<std::string>& baudChoices() {
    static const std::vector<std::string> choices{"2400",  "9600",  "19200",
                                                  "38400", "57600", "115200"};
    return choices;
}

const std::vector<std::string>& parityChoices() {
    static const std::vector<std::string> choices{"NO", "EVEN", "ODD"};
    return choices;
}

const std::vector<std::string>& dataBitsChoices() {
    static const std::vector<std::string> choices{"8", "7", "6", "5"};
    return choices;
}

const std::vector<std::string>& stopBitsChoices() {
    static const std::vector<std::string> choices{"1", "2"};
    return choices;
}

const std::vector<std::string>& flowChoices() {
    static const std::vector<std::string> choices{"NONE", "HARDWARE"};
    return choices;
}

DeviceFields newDeviceFields(const std::string& serverKind, int32_t deviceCounter) {
    DeviceFields fields;
    fields.name = "New Plc " + decimal(deviceCounter);
    fields.ui = "1";
    fields.timeout = "2000";
    fields.byteOrder = choiceOfByteOrder(format::kDefaultByteOrder);
    if (serverKind == format::kRennickName) {
        fields.com = "COM1";
        fields.baud = "9600";
        fields.parity = "NO";
        fields.dataBits = "8";
        fields.stopBits = "1";
        fields.silent = "10";
        fields.flow = "NONE";
    } else {
        fields.address = "192.168.0.1";
        fields.tcpPort = decimal(format::kDefaultModbusTcpPort);
    }
    return fields;
}

DeviceFields fieldsOf(const clsPLC& device, const std::string& serverKind) {
    DeviceFields fields;
    fields.name = device.getName();
    fields.ui = decimal(device.getUI());
    fields.timeout = decimal(device.getTimeout());
    fields.byteOrder = choiceOfByteOrder(device.getByteOrder());
    fields.advanced = device.getAdvanced();
    if (serverKind == format::kRennickName) {
        fields.com = device.getCom();
        fields.baud = decimal(device.getBaud());
        fields.parity = device.getParity();
        fields.dataBits = decimal(device.getDataBits());
        fields.stopBits = decimal(device.getStopBits());
        fields.silent = decimal(device.getSilent());
        fields.flow = device.getFlowCtl();
    } else {
        fields.address = device.getAddress();
        fields.tcpPort = decimal(device.getPort());
    }
    return fields;
}

std::optional<std::string> deviceFieldsProblem(const DeviceFields& fields,
                                               const std::string& serverKind,
                                               const EditorState& state, const clsPLC* edited) {
    if (auto problem = nameProblem(fields))
        return problem;
    if (auto problem = identifierProblem(fields, serverKind, state, edited))
        return problem;
    if (!isNumeric(fields.timeout))
        return std::string("Timeout value is not valid.");
    if (!wholeValueIn(fields.timeout, 0, kMaxMilliseconds))
        return std::string("Timeout must be between 0 and 4294967295.");
    if (byteOrderOfChoice(fields.byteOrder).empty())
        return format::unknownByteOrderMessage(fields.byteOrder, format::Wording::dialog) + ".";
    if (auto problem = serverKind == format::kRennickName ? serialProblem(fields, state, edited)
                                                          : tcpProblem(fields))
        return problem;
    return keyProblem(fields, state, edited);
}

std::shared_ptr<clsPLC> deviceFromFields(const DeviceFields& fields,
                                         const std::string& serverKind) {
    auto device = std::make_shared<clsPLC>();
    device->setName(fields.name);
    device->keyFromName();
    device->setUI(static_cast<uint8_t>(wholeValue(fields.ui).value_or(0)));
    device->setTimeout(static_cast<uint32_t>(wholeValue(fields.timeout).value_or(0)));
    device->setByteOrder(byteOrderOfChoice(fields.byteOrder));
    device->setAdvanced(fields.advanced);
    if (serverKind == format::kRennickName) {
        device->setCom(fields.com);
        device->setBaud(static_cast<int32_t>(leadingNumber(fields.baud)));
        device->setParity(fields.parity);
        device->setDataBits(static_cast<uint8_t>(leadingNumber(fields.dataBits)));
        device->setStopBits(static_cast<uint8_t>(leadingNumber(fields.stopBits)));
        device->setSilent(static_cast<uint32_t>(wholeValue(fields.silent).value_or(0)));
        device->setFlowCtl(fields.flow);
    } else {
        device->setAddress(fields.address);
        device->setPort(static_cast<uint16_t>(
            wholeValue(fields.tcpPort).value_or(format::kDefaultModbusTcpPort)));
    }
    return device;
}

} // namespace vorn::editor
