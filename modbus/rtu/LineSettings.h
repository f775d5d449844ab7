// The line settings of a serial port as the configuration gives them, and their mapping onto
// termios flags. Kept free of any open port so the mapping can be checked on its own (pseudo-
// terminals, which the tests use as lines, do not take parity).
#pragma once

#include "modbus/SerialPortSettings.h"

#include <cstdint>
#include <termios.h>

namespace vorn::modbus {

enum class Parity { none, odd, even };

struct LineSettings {
    uint32_t baudRate = 9600;
    Parity parity = Parity::none;
    bool twoStopBits = false;
    uint8_t dataBits = 8;
    bool hardwareFlowControl = false; // RTS keyed around each transmission (RS-485)
};

// "ODD" and "EVEN" give parity, anything else none; stop bits 2 give two, anything else one;
// "HARDWARE" keys RTS around each transmission (see SerialPort), anything else leaves it low.
LineSettings lineSettingsOf(const SerialPortSettings& port);

// Raw mode (no echo, no line editing, no character translation, no flow control) with
// the given speed, character size, parity and stop bits. False, with `tio` unspecified, when
// the baud rate is not a standard one or the data bits are not 5 to 8.
bool applyLineSettings(termios& tio, const LineSettings& line);

// Milliseconds `bytes` characters take on the line (start, data, parity and stop bits), rounded
// up; used to stretch reply deadlines on slow lines.
uint32_t lineTimeMs(const LineSettings& line, size_t bytes);

} // namespace vorn::modbus
