// How configured line settings become termios flags, and how port names become device paths.
#include "modbus/rtu/LineSettings.h"

#include "ScratchDir.h"
#include "modbus/rtu/PortPath.h"

#include <gtest/gtest.h>

namespace vorn::test {
namespace {

termios cookedTerminal() {
    termios tio{};
    tio.c_iflag = ICRNL | IXON | ISTRIP | BRKINT;
    tio.c_oflag = OPOST;
    tio.c_lflag = ICANON | ECHO | ISIG;
    tio.c_cflag = CS8 | PARENB | CSTOPB | CRTSCTS;
    return tio;
}

termios mapped(const modbus::SerialPortSettings& port) {
    termios tio = cookedTerminal();
    EXPECT_TRUE(modbus::applyLineSettings(tio, modbus::lineSettingsOf(port))) << port.name;
    return tio;
}

TEST(LineSettings, ParityStopBitsDataBitsAndFlowControlMapOntoTermios) {
    const termios even = mapped({"COM1", 19200, "EVEN", 1, 7, "NONE"});
    EXPECT_EQ(even.c_cflag & (PARENB | PARODD), tcflag_t{PARENB});
    EXPECT_TRUE(even.c_iflag & INPCK);
    EXPECT_EQ(even.c_cflag & CSIZE, tcflag_t{CS7});
    EXPECT_FALSE(even.c_cflag & CSTOPB);
    EXPECT_FALSE(even.c_cflag & CRTSCTS);
    EXPECT_EQ(cfgetospeed(&even), B19200);
    EXPECT_EQ(cfgetispeed(&even), B19200);

    const termios odd = mapped({"COM1", 9600, "ODD", 2, 8, "HARDWARE"});
    EXPECT_EQ(odd.c_cflag & (PARENB | PARODD), tcflag_t{PARENB | PARODD});
    EXPECT_TRUE(odd.c_cflag & CSTOPB);
    EXPECT_FALSE(odd.c_cflag & CRTSCTS) << "RS-485 direction control, not RTS/CTS handshaking";
    EXPECT_EQ(odd.c_cflag & CSIZE, tcflag_t{CS8});

    // Unknown texts and stop bits other than 2 fall back to none and one.
    for (const auto& [parity, stop] :
         {std::pair{"NO", 1}, std::pair{"MARK", 0}, std::pair{"", 3}}) {
        const termios plain =
            mapped({"COM1", 115200, parity, static_cast<uint8_t>(stop), 5, "XON"});
        EXPECT_FALSE(plain.c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS)) << parity;
        EXPECT_FALSE(plain.c_iflag & INPCK) << parity;
        EXPECT_EQ(plain.c_cflag & CSIZE, tcflag_t{CS5}) << parity;
    }

    // Raw: no echo, line editing, translation or software flow control; reads never block.
    EXPECT_FALSE(even.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(even.c_iflag & (ICRNL | IXON | ISTRIP | BRKINT));
    EXPECT_FALSE(even.c_oflag & OPOST);
    EXPECT_TRUE(even.c_cflag & CREAD);
    EXPECT_TRUE(even.c_cflag & CLOCAL);
    EXPECT_EQ(even.c_cc[VMIN], 0);
}

TEST(LineSettings, UnusableSettingsAreRefused) {
    termios tio = cookedTerminal();
    EXPECT_FALSE(modbus::applyLineSettings(tio, {12345, modbus::Parity::none, false, 8, false}));
    EXPECT_FALSE(modbus::applyLineSettings(tio, {9600, modbus::Parity::none, false, 9, false}));
    EXPECT_FALSE(modbus::applyLineSettings(tio, {9600, modbus::Parity::none, false, 4, false}));
}

TEST(PortPath, TheRegistryMapsAPortElseComNIsTheNthSerialDevice) {
    ScratchDir scratch;
    Registry registry(scratch.file("registry.ini"));
    registry.writeString(modbus::portsRegistryKey, "COM1", "/dev/ttyUSB0");
    EXPECT_EQ(modbus::portDevicePath(registry, "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(modbus::portDevicePath(registry, "COM3"), "/dev/ttyS2");
    EXPECT_EQ(modbus::portDevicePath(registry, "COM12"), "/dev/ttyS11");
    for (const char* unusable : {"COM0", "COM", "LPT1", "COM1x", "", "COM-1", "COM999999"})
        EXPECT_EQ(modbus::portDevicePath(registry, unusable), "") << unusable;
}

} // namespace
} // namespace vorn::test
