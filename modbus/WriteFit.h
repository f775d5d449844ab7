// Whether a client's value may be written to a tag. A write never reaches units that are not
// the tag's: its configured length is fixed, so a longer string, an array of another length or
// characters a register byte cannot carry are refused before anything goes on the wire, and so
// is a scaled tag's value whose raw value its registers cannot hold.
#pragma once

#include "TagShape.h"
#include "platform/Variant.h"

namespace vorn::modbus {

enum class WriteFit {
    fits,           // a shorter string is written zero-padded to the tag's length
    notConvertible, // the value cannot become the tag's type
    outOfRange,     // another length, a character above U+00FF in a string, or a value (a
                    // scaled tag's raw value) that does not fit the register type
};

WriteFit writeFit(const TagShape& tag, const Variant& written);

} // namespace vorn::modbus
