// How the status window names a poll block, e.g. "HREG100-LEN21".
#pragma once

#include <cstdint>
#include <string>

namespace vorn::ui {

std::string blockLabel(uint8_t kind, uint16_t start, uint16_t length);

} // namespace vorn::ui
