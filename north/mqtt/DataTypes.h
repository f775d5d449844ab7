// How a tag's native type travels: its Sparkplug B datatype and the payload field that carries
// the value. One row per type; a new toolkit type is one more row.
#pragma once

#include "platform/Variant.h"

#include <cstdint>

namespace vorn::north::mqtt {

// Sparkplug B datatypes (the specification's DataType enumeration) this gateway sends.
namespace SparkplugType {
constexpr uint32_t kInt8 = 1, kInt16 = 2, kInt32 = 3, kInt64 = 4, kUInt8 = 5, kUInt16 = 6,
                   kUInt32 = 7, kUInt64 = 8, kFloat = 9, kDouble = 10, kBoolean = 11, kString = 12,
                   kInt8Array = 22, kInt16Array = 23, kInt32Array = 24, kInt64Array = 25,
                   kUInt8Array = 26, kUInt16Array = 27, kUInt32Array = 28, kUInt64Array = 29,
                   kFloatArray = 30, kDoubleArray = 31, kBooleanArray = 32, kStringArray = 33;
} // namespace SparkplugType

// The Metric field a value goes in. UInt32 goes in long_value, as Sparkplug host applications
// (and the specification's own reference code) read it.
enum class ValueField : uint8_t {
    intValue,
    longValue,
    floatValue,
    doubleValue,
    booleanValue,
    stringValue,
    bytesValue
};

struct DataTypeRow {
    VARTYPE nativeType;     // the tag's type; arrays with VT_ARRAY
    uint32_t sparkplugType; // SparkplugType
    ValueField field;
    uint8_t elementBytes; // arrays: bytes per element in bytes_value (0: not packed)
};

// The row of a native type; null for a type that has none (the tag is then left out, with a
// trace line).
const DataTypeRow* dataTypeOf(VARTYPE nativeType);

} // namespace vorn::north::mqtt
