#include "ModemControl.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace vorn::modbus {
namespace {

class KernelModemControl final : public ModemControl {
public:
    bool enableRs485(int fd) override {
        serial_rs485 rs485{};
        rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        return ::ioctl(fd, TIOCSRS485, &rs485) == 0;
    }
    void setDtr(int fd, bool on) override { setLine(fd, TIOCM_DTR, on); }
    void setRts(int fd, bool on) override { setLine(fd, TIOCM_RTS, on); }
    int pendingOutput(int fd) override {
        int queued = 0;
        return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : 0;
    }

private:
    // Lines without modem signals (pseudo-terminals) refuse this, which is harmless.
    static void setLine(int fd, int line, bool on) { ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line); }
};

} // namespace

ModemControl& systemModemControl() {
    static KernelModemControl control;
    return control;
}

} // namespace vorn::modbus
