#include "BlockLabel.h"

#include "modbus/RegisterKind.h"

namespace vorn::ui {

std::string blockLabel(uint8_t kind, uint16_t start, uint16_t length) {
    const char* prefix = "";
    switch (kind) {
    case modbus::RegisterKind::kInputStatus:
        prefix = "INPUT";
        break;
    case modbus::RegisterKind::kInputRegister:
        prefix = "IREG";
        break;
    case modbus::RegisterKind::kCoil:
        prefix = "COIL";
        break;
    case modbus::RegisterKind::kHoldingRegister:
        prefix = "HREG";
        break;
    }
    return prefix + std::to_string(start) + "-LEN" + std::to_string(length);
}

} // namespace vorn::ui
