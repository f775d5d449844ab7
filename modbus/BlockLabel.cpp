#include "BlockLabel.h"

#include "RegisterKind.h"

namespace vorn::modbus {

std::string blockLabel(uint8_t kind, uint16_t start, uint16_t length) {
    const char* prefix = "";
    switch (kind) {
    case RegisterKind::inputStatus:
        prefix = "INPUT";
        break;
    case RegisterKind::inputRegister:
        prefix = "IREG";
        break;
    case RegisterKind::coil:
        prefix = "COIL";
        break;
    case RegisterKind::holdingRegister:
        prefix = "HREG";
        break;
    }
    return prefix + std::to_string(start) + "-LEN" + std::to_string(length);
}

} // namespace vorn::modbus
