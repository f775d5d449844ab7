// How the "datatype" and "accessrights" texts of the configuration file become a register
// kind, a native data type and access rights. Substring tests in a fixed order, first hit wins.
#pragma once

#include "platform/Variant.h"

#include <cstdint>
#include <string>

namespace vorn {

// "COIL" -> 4, "INPUTSTATUS" -> 2, "HREGISTER" -> 5, "IREGISTER" -> 3, otherwise 5.
uint8_t registerKindOf(const std::string& datatype);
// Array forms before scalar forms: "VT_I2 ARRAY" is an array, never a VT_I2.
VARTYPE nativeTypeOf(const std::string& datatype);
// Whole-text comparison: "WRITE" -> 2, "READ" -> 1, "READWRITE" -> 3, anything else 0.
uint32_t accessRightsOf(const std::string& text);

} // namespace vorn
