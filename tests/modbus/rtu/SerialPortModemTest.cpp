// "HARDWARE" flow control keys RTS around each transmission for RS-485 converters: through the
// driver's RS-485 mode where it has one, else by hand around the write, never by RTS/CTS
// handshaking. The modem-control calls are recorded (pseudo-terminals have no modem lines).
#include "FarEnd.h"
#include "PtyPair.h"
#include "ScratchDir.h"
#include "modbus/rtu/SerialPort.h"

#include <deque>
#include <gtest/gtest.h>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

class RecordingModemControl : public modbus::ModemControl {
public:
    explicit RecordingModemControl(bool driverHasRs485) : driverHasRs485_(driverHasRs485) {}
    bool enableRs485(int) override {
        calls.push_back("rs485");
        return driverHasRs485_;
    }
    void setDtr(int, bool on) override { calls.push_back(on ? "dtr+" : "dtr-"); }
    void setRts(int, bool on) override { calls.push_back(on ? "rts+" : "rts-"); }
    int pendingOutput(int) override {
        const int pending = queued.empty() ? 0 : queued.front();
        if (!queued.empty())
            queued.pop_front();
        calls.push_back("queued " + std::to_string(pending));
        return pending;
    }

    Calls calls;
    std::deque<int> queued; // what pendingOutput() answers, in turn; then 0
private:
    bool driverHasRs485_;
};

modbus::LineSettings lineWith(bool hardware) {
    modbus::LineSettings line;
    line.hardwareFlowControl = hardware;
    return line;
}

const std::vector<uint8_t> kFrame = {0x11, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC6, 0x9B};

} // namespace

TEST(SerialPortModemLines, WithoutDriverSupportRtsIsRaisedForTheWriteAndDroppedOnceDrained) {
    ScratchDir dir;
    PtyPair pty(dir.path());
    FarEnd device(pty.endB());
    RecordingModemControl modem(false);
    modem.queued = {8, 3}; // the driver still holds bytes twice before the line is empty
    modbus::SerialPort port("COM1", lineWith(true), nullptr, modem);
    ASSERT_TRUE(port.open(pty.endA()));
    EXPECT_EQ(modem.calls, (Calls{"dtr+", "rs485", "rts-"})) << "receiving: RTS low";
    modem.calls.clear();
    ASSERT_TRUE(port.write(kFrame));
    EXPECT_EQ(modem.calls, (Calls{"rts+", "queued 8", "queued 3", "queued 0", "rts-"}));
    EXPECT_EQ(device.receive(8, 2s), kFrame);
}

TEST(SerialPortModemLines, TheDriversRs485ModeKeysRtsByItselfAndNoFlowControlLeavesItLow) {
    ScratchDir dir;
    PtyPair pty(dir.path());
    FarEnd device(pty.endB());
    {
        RecordingModemControl modem(true);
        modbus::SerialPort port("COM1", lineWith(true), nullptr, modem);
        ASSERT_TRUE(port.open(pty.endA()));
        ASSERT_TRUE(port.write(kFrame));
        EXPECT_EQ(modem.calls, (Calls{"dtr+", "rs485", "rts-"}));
        EXPECT_EQ(device.receive(8, 2s), kFrame);
    }
    RecordingModemControl modem(false);
    modbus::SerialPort port("COM1", lineWith(false), nullptr, modem);
    ASSERT_TRUE(port.open(pty.endA()));
    ASSERT_TRUE(port.write(kFrame));
    EXPECT_EQ(modem.calls, (Calls{"dtr-", "rts-"}));
    EXPECT_EQ(device.receive(8, 2s), kFrame);
}

} // namespace vorn::test
