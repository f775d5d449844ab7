// Builders of configuration file text for tests, in the layout the editor writes.
#pragma once

#include <string>

namespace vorn::test {

inline std::string tcpConfig(const std::string& modbus, const std::string& devices) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusTcpIpCfg>\r\n"
           "\t<MODBUS>\r\n" +
           modbus + "\t</MODBUS>\r\n\t<OPC_DA>\r\n" + devices +
           "\t</OPC_DA>\r\n</VornModBusTcpIpCfg>\r\n";
}

inline std::string rtuConfig(const std::string& modbus, const std::string& devices) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusRTUCfg>\r\n"
           "\t<MODBUS>\r\n" +
           modbus + "\t</MODBUS>\r\n\t<OPC_DA>\r\n" + devices +
           "\t</OPC_DA>\r\n</VornModBusRTUCfg>\r\n";
}

inline std::string datatypeRow(const std::string& name, int read, int write, int single) {
    return "\t\t<DATATYPE name=\"" + name + "\" readcode = \"" + std::to_string(read) +
           "\" writecode=\"" + std::to_string(write) + "\" singlewrcode=\"" +
           std::to_string(single) + "\"/>\r\n";
}

// The four rows Quillmar writes, with the standard function codes.
inline std::string editorDatatypeRows() {
    return datatypeRow("INPUTSTATUS", 2, 0, 0) + datatypeRow("IREGISTER", 4, 0, 0) +
           datatypeRow("COIL", 1, 15, 5) + datatypeRow("HREGISTER", 3, 16, 6);
}

inline std::string tagElement(const std::string& name, const std::string& datatype,
                              const std::string& address, const std::string& more = {},
                              const std::string& access = "READWRITE") {
    return "<tag><name>" + name + "</name><comment>about " + name + "</comment><address>" +
           address + "</address><datatype>" + datatype + "</datatype><accessrights>" + access +
           "</accessrights>" + more + "</tag>\r\n";
}

inline std::string tcpDevice(const std::string& name, const std::string& address,
                             const std::string& tags, const std::string& attributes = {}) {
    return "\t\t<PLC name=\"" + name + "\" address = \"" + address + "\"" + attributes +
           ">\r\n\t\t\t<tags>\r\n" + tags + "\t\t\t</tags>\r\n\t\t</PLC>\r\n";
}

// A serial device; `settings` are the setting elements, e.g. "<com>COM1</com>".
inline std::string rtuDevice(const std::string& settings, const std::string& tags = {}) {
    return "\t\t<PLC>" + settings + "<tags>" + tags + "</tags></PLC>\r\n";
}

inline std::string rtuSettings(const std::string& name, const std::string& port, int baud,
                               int id = 1) {
    return "<name>" + name + "</name><id>" + std::to_string(id) + "</id><com>" + port +
           "</com><baudrate>" + std::to_string(baud) +
           "</baudrate><parity>NO</parity><stopbits>1</stopbits><databits>8</databits>"
           "<flowcontrol>NONE</flowcontrol><timeout>500</timeout><silent>5</silent>";
}

} // namespace vorn::test
