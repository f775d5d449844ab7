#include "GeneratedPlant.h"

namespace vorn::bench {
namespace {

const char* const kTypes[] = {
    "HREGISTER VT_I2", "HREGISTER VT_R4",       "IREGISTER VT_UI2",  "COIL",
    "INPUTSTATUS",     "HREGISTER VT_I4 ARRAY", "HREGISTER VT_BSTR", "HREGISTER VT_BOOL"};

std::string deviceAttributes(const PlantShape& shape, int d) {
    if (shape.firstPort == 0)
        return "address = \"127.0.0." + std::to_string(d % 250 + 1) + "\" id=\"1\"";
    return "address = \"" + shape.address + "\" port=\"" + std::to_string(shape.firstPort + d) +
           "\" id=\"" + std::to_string(d + 1) + "\"";
}

} // namespace

std::string generatePlant(const PlantShape& shape) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusTcpIpCfg>\r\n"
                      "\t<MODBUS>\r\n\t\t<DATATYPE name=\"HREGISTER\" readcode = \"3\" "
                      "writecode=\"16\" singlewrcode=\"6\"/>\r\n\t</MODBUS>\r\n\t<OPC_DA>\r\n";
    for (int d = 0; d < shape.devices; ++d) {
        xml += "\t\t<PLC name=\"PLC" + std::to_string(d) + "\" " + deviceAttributes(shape, d) +
               " timeout=\"" + std::to_string(shape.timeoutMs) + "\">\r\n\t\t\t<tags>\r\n";
        for (int t = 0; t < shape.tagsPerDevice; ++t) {
            if (t % 100 == 0)
                xml += "\t\t\t\t<Area" + std::to_string(t / 100) + ">\r\n";
            xml += "\t\t\t\t\t<tag>\r\n\t\t\t\t\t\t<name>Tag" + std::to_string(t) +
                   "</name>\r\n\t\t\t\t\t\t<comment>generated tag</comment>\r\n"
                   "\t\t\t\t\t\t<address>" +
                   std::to_string(t * 2) +
                   "</address>\r\n"
                   "\t\t\t\t\t\t<datatype>" +
                   kTypes[t % 8] +
                   "</datatype>\r\n"
                   "\t\t\t\t\t\t<accessrights>READWRITE</accessrights>\r\n"
                   "\t\t\t\t\t\t<databit>3</databit>\r\n\t\t\t\t\t\t<elements>4</elements>\r\n"
                   "\t\t\t\t\t</tag>\r\n";
            if (t % 100 == 99 || t + 1 == shape.tagsPerDevice)
                xml += "\t\t\t\t</Area" + std::to_string(t / 100) + ">\r\n";
        }
        xml += "\t\t\t</tags>\r\n\t\t</PLC>\r\n";
    }
    return xml + "\t</OPC_DA>\r\n</VornModBusTcpIpCfg>\r\n";
}

} // namespace vorn::bench
