// The unit dialog without its widgets: the texts of its fields, their defaults and choice
// lists, the checks run on OK in their order with their messages, and the device they make.
#pragma once

#include "clsPLC.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;

// The dialog's fields as typed (txtName, txtAddress, txtTcpPort, txtUI, txtPort, cmbBaud,
// cmbParity, cmbData, cmbStop, cmbFlow, txtTimeout, txtSilent, cmbDevice, cmbByteOrder).
struct DeviceFields {
    std::string name;
    std::string address;
    std::string tcpPort;
    std::string ui;
    std::string com;
    std::string baud;
    std::string parity;
    std::string dataBits;
    std::string stopBits;
    std::string flow;
    std::string timeout;
    std::string silent;
    // The device the port stands for (/dev/ttyUSB0): kept in the registry, not in the file,
    // which names the port only. Empty leaves the port's device as it is.
    std::string device;
    std::string byteOrder;   // an entry of byteOrderChoices(false): "CDAB - low word first"
    DeviceAdvanced advanced; // checked by its own dialog, "Advanced..."
};

const std::vector<std::string>& baudChoices();
const std::vector<std::string>& parityChoices();
const std::vector<std::string>& dataBitsChoices();
const std::vector<std::string>& stopBitsChoices();
const std::vector<std::string>& flowChoices();

// A new unit: "New Plc " and the device counter, identifier 1, 2000 ms, byte order ABCD, and
// per kind 192.168.0.1 port 502, or COM1 9600 NO 8 1 NONE with 10 ms silence.
DeviceFields newDeviceFields(const std::string& serverKind, int32_t deviceCounter);
DeviceFields fieldsOf(const clsPLC& device, const std::string& serverKind);

// The first check that fails, with its message; none when the fields make a device that both
// the servers and the editor read back. `edited` is the device being edited (null for a new
// one). Unit identifiers are unique per connection: the same address and TCP port for
// Tarnvale, the same COM port for Rennick.
std::optional<std::string> deviceFieldsProblem(const DeviceFields& fields,
                                               const std::string& serverKind,
                                               const EditorState& state, const clsPLC* edited);

// SetByForm: the device the checked fields describe.
std::shared_ptr<clsPLC> deviceFromFields(const DeviceFields& fields, const std::string& serverKind);

} // namespace vorn::editor
