// The value a client writes, in the tag's native type. Clients such as Node-RED send numbers
// as Double or Int32 whatever the variable's DataType, so a scalar (or an array) of another
// numeric, Boolean or String type is converted by the toolkit's type change rules: floating
// values round half to even, text is parsed as a decimal number, and the result must fit the
// tag's type. Booleans become VARIANT_TRUE (-1) truncated to the target's width, as the
// type change does (true written to a UInt16 tag is 65535).
#pragma once

#include "platform/Variant.h"
#include "toolkit/ua/UaTypes.h"

namespace vorn::ua {

// Good with `out` set; BadOutOfRange when a value does not fit the tag's type (nothing is
// written); BadTypeMismatch when it cannot be converted at all (text that is not a number,
// an array for a scalar tag, a DateTime, ...).
StatusCode convertWrittenValue(const Variant& value, VARTYPE native, vorn::Variant& out);

} // namespace vorn::ua
