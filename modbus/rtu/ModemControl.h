// The modem-control calls a serial port makes on its line: the kernel's RS-485 direction
// control, the DTR and RTS lines, and the bytes still waiting to leave. One seam so that tests
// can record the calls (pseudo-terminals have no modem lines).
#pragma once

namespace vorn::modbus {

class ModemControl {
public:
    virtual ~ModemControl() = default;
    // Turns on the driver's RS-485 mode with RTS raised while sending; false when the driver
    // does not offer it.
    virtual bool enableRs485(int fd) = 0;
    virtual void setDtr(int fd, bool on) = 0;
    virtual void setRts(int fd, bool on) = 0;
    // Bytes written but not yet sent by the driver; 0 when it cannot tell.
    virtual int pendingOutput(int fd) = 0;
};

// The calls as the kernel offers them (ioctl).
ModemControl& systemModemControl();

} // namespace vorn::modbus
