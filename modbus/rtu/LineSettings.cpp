#include "LineSettings.h"

#include <array>
#include <utility>

namespace vorn::modbus {
namespace {

constexpr std::array<std::pair<uint32_t, speed_t>, 19> standardSpeeds{{
    {110, B110},         {300, B300},         {600, B600},         {1200, B1200},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},
    {38400, B38400},     {57600, B57600},     {115200, B115200},   {230400, B230400},
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1500000, B1500000}, {2000000, B2000000},
}};

bool speedOf(uint32_t baudRate, speed_t& speed) {
    for (const auto& [rate, code] : standardSpeeds)
        if (rate == baudRate) {
            speed = code;
            return true;
        }
    return false;
}

bool characterSizeOf(uint8_t dataBits, tcflag_t& size) {
    switch (dataBits) {
    case 5:
        size = CS5;
        return true;
    case 6:
        size = CS6;
        return true;
    case 7:
        size = CS7;
        return true;
    case 8:
        size = CS8;
        return true;
    default:
        return false;
    }
}

} // namespace

LineSettings lineSettingsOf(const SerialPortSettings& port) {
    LineSettings line;
    line.baudRate = port.baudRate;
    line.parity = port.parity == "ODD"    ? Parity::odd
                  : port.parity == "EVEN" ? Parity::even
                                          : Parity::none;
    line.twoStopBits = port.stopBits == 2;
    line.dataBits = port.dataBits;
    line.hardwareFlowControl = port.flowControl == "HARDWARE";
    return line;
}

bool applyLineSettings(termios& tio, const LineSettings& line) {
    speed_t speed = 0;
    tcflag_t size = 0;
    if (!speedOf(line.baudRate, speed) || !characterSizeOf(line.dataBits, size))
        return false;

    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= size | CREAD | CLOCAL;
    if (line.parity != Parity::none) {
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK; // a character with a parity error is not taken as data
        if (line.parity == Parity::odd)
            tio.c_cflag |= PARODD;
    }
    if (line.twoStopBits)
        tio.c_cflag |= CSTOPB;
    // Reads never block in the driver: the port waits with poll() and its own deadlines.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

uint32_t lineTimeMs(const LineSettings& line, size_t bytes) {
    if (line.baudRate == 0)
        return 0;
    const uint64_t bitsPerCharacter =
        1 + line.dataBits + (line.parity != Parity::none ? 1 : 0) + (line.twoStopBits ? 2 : 1);
    const uint64_t bits = bitsPerCharacter * bytes * 1000;
    return static_cast<uint32_t>((bits + line.baudRate - 1) / line.baudRate);
}

} // namespace vorn::modbus
