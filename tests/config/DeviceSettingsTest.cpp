#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

const std::string kTag = tagElement("T", "VT_I2", "0");

bool tracedAbout(const LoadedConfig& c, const std::string& what) {
    for (const std::string& line : c.traces)
        if (line.find(what) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(TcpDevices, DefaultsAndTheOptionalPort) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        "", tcpDevice("Plain", "10.0.0.1", kTag) +
                tcpDevice("Full", "10.0.0.2", kTag, " id=\"17\" timeout=\"250\" port=\"1502\"")));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->unitId, 1u);
    EXPECT_EQ(devices[0]->timeoutMs, 1000u);
    EXPECT_EQ(devices[0]->tcpPort, 502);
    EXPECT_EQ(devices[1]->unitId, 17u);
    EXPECT_EQ(devices[1]->timeoutMs, 250u);
    EXPECT_EQ(devices[1]->tcpPort, 1502);
    EXPECT_EQ(devices[1]->address, "10.0.0.2");
}

TEST(TcpDevices, IncompleteOrBadDevicesAreSkippedWithTheirTags) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", "\t\t<PLC name=\"NoAddress\"><tags>" + kTag +
                             "</tags></PLC>\r\n"
                             "\t\t<PLC address=\"10.0.0.9\"><tags>" +
                             kTag + "</tags></PLC>\r\n" + tcpDevice("EmptyAddress", "", kTag) +
                             tcpDevice("BigId", "10.0.0.3", kTag, " id=\"300\"") +
                             tcpDevice("TextTimeout", "10.0.0.4", kTag, " timeout=\"abc\"") +
                             tcpDevice("NegativeId", "10.0.0.5", kTag, " id=\"-1\"") +
                             tcpDevice("PortZero", "10.0.0.6", kTag, " port=\"0\"") +
                             tcpDevice("BigPort", "10.0.0.6", kTag, " port=\"70000\"") +
                             tcpDevice("LongAddress", "192.168.100.1000", kTag) +
                             tcpDevice("Good", "192.168.100.100", kTag)));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->name, "Good");
    EXPECT_EQ(c.root->branchCount(), 1u) << "skipped devices leave no branch";
    for (const char* name :
         {"BigId", "TextTimeout", "NegativeId", "PortZero", "BigPort", "LongAddress"})
        EXPECT_TRUE(tracedAbout(c, std::string("\"") + name + "\"")) << name;
    EXPECT_TRUE(tracedAbout(c, "line 6: PLC \"NoAddress\": without the attribute \"address\""))
        << "a missing address is named with its line";
}

TEST(TcpDevices, AHostNameIsRefusedSinceItWouldNeverBeContacted) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", tcpDevice("Local", "localhost", kTag) +
                             tcpDevice("Named", "plc7.plant", kTag) +
                             tcpDevice("Octal", "127.0.0.001", kTag) +
                             tcpDevice("Blank", "10.000.000.005 ", kTag)));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u) << "the classic IPv4 text forms still load";
    EXPECT_EQ(devices[0]->name, "Octal");
    EXPECT_EQ(devices[1]->name, "Blank");
    EXPECT_TRUE(tracedAbout(c, "PLC \"Local\" skipped with its tags: address \"localhost\" is no "
                               "IPv4 address (host names are not looked up)"));
    EXPECT_TRUE(tracedAbout(c, "PLC \"Named\" skipped with its tags: address \"plc7.plant\""));
}

TEST(TcpDevices, EveryTagsElementIsRead) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", "\t\t<PLC name=\"P1\" address=\"10.0.0.1\"><tags>" +
                             tagElement("A", "VT_I2", "0") + "</tags><other/><tags>" +
                             tagElement("B", "VT_I2", "1") + "</tags></PLC>\r\n"));
    EXPECT_TRUE(c.tag("P1.A"));
    EXPECT_TRUE(c.tag("P1.B"));
}

TEST(SerialDevices, TheFirstDeviceOnAPortSetsItsLine) {
    LoadedConfig c(ServerKind::rennick);
    c.load(rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 19200, 17), kTag) +
                             rtuDevice(rtuSettings("R2", "COM1", 9600, 18), kTag) +
                             rtuDevice("<com>COM2</com><baudrate>38400</baudrate>", kTag) +
                             rtuDevice("<name>NoPort</name><baudrate>38400</baudrate>", kTag)));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->unitId, 17u);
    EXPECT_EQ(devices[0]->timeoutMs, 500u);
    EXPECT_EQ(devices[0]->silentMs, 5u);
    EXPECT_EQ(devices[1]->portName, "COM1");
    const auto& ports = c.config.serialPorts.ports();
    ASSERT_EQ(ports.size(), 2u) << "a port without a device name still counts";
    EXPECT_EQ(ports[0].baudRate, 19200u);
    EXPECT_EQ(ports[0].parity, "NO");
    EXPECT_EQ(ports[1].name, "COM2");
    EXPECT_EQ(ports[1].baudRate, 38400u);
    EXPECT_TRUE(c.tag("R1.T"));
    EXPECT_TRUE(c.tag("R2.T"));
}

TEST(SerialDevices, MissingNumbersTakeStatedDefaultsAndOnlyTheLastTagsCounts) {
    LoadedConfig c(ServerKind::rennick);
    c.load(rtuConfig("", "<PLC><name>R1</name><com>COM3</com><tags>" +
                             tagElement("Old", "VT_I2", "0") + "</tags><tags>" +
                             tagElement("New", "VT_I2", "0") + "</tags></PLC>"));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->unitId, 1u);
    EXPECT_EQ(devices[0]->timeoutMs, 1000u);
    EXPECT_EQ(devices[0]->silentMs, ConfigLoader::kDefaultSilentMs);
    const auto& port = c.config.serialPorts.ports().at(0);
    EXPECT_EQ(port.baudRate, ConfigLoader::kDefaultBaudRate);
    EXPECT_EQ(port.stopBits, ConfigLoader::kDefaultStopBits);
    EXPECT_EQ(port.dataBits, ConfigLoader::kDefaultDataBits);
    EXPECT_FALSE(c.tag("R1.Old"));
    EXPECT_TRUE(c.tag("R1.New"));
}

TEST(SerialDevices, BadNumbersAndLongPortNamesRefuseTheDeviceAndItsPort) {
    LoadedConfig c(ServerKind::rennick);
    c.load(rtuConfig(
        "", rtuDevice("<name>BadBaud</name><com>COM1</com><baudrate>fast</baudrate>", kTag) +
                rtuDevice("<name>BigStop</name><com>COM1</com><stopbits>256</stopbits>", kTag) +
                rtuDevice("<name>LongPort</name><com>COM1234567</com>", kTag) +
                rtuDevice(rtuSettings("Good", "COM123456", 9600), kTag)));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->name, "Good");
    ASSERT_EQ(c.config.serialPorts.ports().size(), 1u);
    EXPECT_EQ(c.config.serialPorts.ports()[0].baudRate, 9600u)
        << "a refused device does not set the port's line";
    for (const char* name : {"BadBaud", "BigStop", "LongPort"})
        EXPECT_TRUE(tracedAbout(c, std::string("\"") + name + "\"")) << name;
}

TEST(DeviceReadLimits, AbsentMeansTodaysLimitsAndBothFormsAreRead) {
    LoadedConfig tcp(ServerKind::tarnvale);
    tcp.load(tcpConfig("", tcpDevice("Plain", "10.0.0.1", kTag) +
                               tcpDevice("Small", "10.0.0.2", kTag,
                                         " maxregisters=\"32\" maxbits=\" 64 \" "
                                         "maxregisterhole=\"0\" maxbithole=\"8\"")));
    auto devices = tcp.devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->readLimits, modbus::ReadLimits{});
    EXPECT_EQ(devices[1]->readLimits, (modbus::ReadLimits{32, 64, 0, 8}));
    EXPECT_FALSE(tracedAbout(tcp, "max")) << "good values give no warning";

    LoadedConfig rtu(ServerKind::rennick);
    rtu.load(
        rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 19200, 17) +
                                    "<maxregisters>16</maxregisters><maxbithole>0</maxbithole>",
                                kTag)));
    ASSERT_EQ(rtu.devices().size(), 1u);
    EXPECT_EQ(rtu.devices()[0]->readLimits, (modbus::ReadLimits{16, 1968, 25, 0}));
}

TEST(DeviceReadLimits, ABadValueWarnsWithItsLineAndTheDeviceKeepsTheDefault) {
    LoadedConfig tcp(ServerKind::tarnvale);
    tcp.load(tcpConfig("", tcpDevice("P1", "10.0.0.1", kTag,
                                     " maxregisters=\"0\" maxbits=\"2000\" maxregisterhole=\"x\" "
                                     "maxbithole=\"12.5\"")));
    ASSERT_EQ(tcp.devices().size(), 1u) << "a bad limit never costs the device";
    EXPECT_EQ(tcp.devices()[0]->readLimits, modbus::ReadLimits{});
    EXPECT_TRUE(tracedAbout(
        tcp, "PLC \"P1\": maxregisters \"0\" is not a whole number from 1 to 123; the device "
             "keeps 123"));
    EXPECT_TRUE(tracedAbout(tcp, "maxbits \"2000\" is not a whole number from 1 to 1968"));
    EXPECT_TRUE(tracedAbout(tcp, "maxregisterhole \"x\" is not a whole number from 0 to 121"));
    EXPECT_TRUE(tracedAbout(tcp, "maxbithole \"12.5\""));
    EXPECT_TRUE(tracedAbout(tcp, "line ")) << "each warning names its line";

    LoadedConfig rtu(ServerKind::rennick);
    rtu.load(rtuConfig(
        "", rtuDevice(rtuSettings("R1", "COM1", 19200, 17) + "\r\n<maxregisters>124</maxregisters>",
                      kTag)));
    ASSERT_EQ(rtu.devices().size(), 1u);
    EXPECT_EQ(rtu.devices()[0]->readLimits.maxRegisters, 123u);
    EXPECT_TRUE(tracedAbout(rtu, "PLC \"R1\": maxregisters \"124\" is not a whole number"));
}
