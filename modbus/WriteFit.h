// Whether a client's value may be written to a tag. A write never reaches units that are not
// the tag's: its configured length is fixed, so a longer string, an array of another length or
// characters a register byte cannot carry are refused before anything goes on the wire.
#pragma once

#include "TagShape.h"
#include "platform/Variant.h"

namespace vorn::modbus {

enum class WriteFit {
    fits,           // a shorter string is written zero-padded to the tag's length
    notConvertible, // the value cannot become the tag's type
    outOfRange,     // another length, or a character above U+00FF in a string
};

WriteFit writeFit(const TagShape& tag, const Variant& written);

} // namespace vorn::modbus
