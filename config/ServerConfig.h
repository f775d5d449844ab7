// What a server holds after reading its configuration: function codes per register kind,
// the devices in file order and, for serial servers, the ports. Filled once before the
// communication thread starts, read-only afterwards.
#pragma once

#include "config/PlcDevice.h"
#include "modbus/ModbusTypeTable.h"
#include "modbus/SerialPortSettings.h"

namespace vorn {

struct ServerConfig {
    modbus::ModbusTypeTable modbusTypes;
    DeviceList devices;
    modbus::SerialPortList serialPorts;
};

} // namespace vorn
