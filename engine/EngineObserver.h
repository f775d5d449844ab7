// Who hears about the engine's communication status: the server's main window, a log, a test.
// The engine calls on its own thread and waits for the call to return; an observer that hands
// the call to another thread must give up waiting once CommThread::isStopping() is true.
#pragma once

#include "config/PlcDevice.h"

namespace vorn::modbus {

// Window messages the engine's notifications stand for.
constexpr unsigned MSG_COMM_STATUS = 1025;
constexpr unsigned MSG_NO_DEVICES = 1026;

class EngineObserver {
public:
    virtual ~EngineObserver() = default;
    // MSG_COMM_STATUS: `code` on `device` (0 when an error has cleared).
    virtual void onCommStatus(int code, PlcDevice& device) = 0;
    // MSG_NO_DEVICES: the configuration has no device; the engine has ended.
    virtual void onNoDevices() = 0;
};

} // namespace vorn::modbus
