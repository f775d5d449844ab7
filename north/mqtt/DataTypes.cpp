#include "DataTypes.h"

namespace vorn::north::mqtt {
namespace {

using enum ValueField;
namespace T = SparkplugType;

// Arrays are packed little-endian into bytes_value, as Sparkplug B 3.0 defines them.
constexpr DataTypeRow kRows[] = {
    {VT_I1, T::kInt8, intValue, 0},
    {VT_I2, T::kInt16, intValue, 0},
    {VT_I4, T::kInt32, intValue, 0},
    {VT_UI1, T::kUInt8, intValue, 0},
    {VT_UI2, T::kUInt16, intValue, 0},
    {VT_UI4, T::kUInt32, longValue, 0},
    {VT_I8, T::kInt64, longValue, 0},
    {VT_UI8, T::kUInt64, longValue, 0},
    {VT_R4, T::kFloat, floatValue, 0},
    {VT_R8, T::kDouble, doubleValue, 0},
    {VT_BOOL, T::kBoolean, booleanValue, 0},
    {VT_BSTR, T::kString, stringValue, 0},
    {VT_ARRAY | VT_I1, T::kInt8Array, bytesValue, 1},
    {VT_ARRAY | VT_I2, T::kInt16Array, bytesValue, 2},
    {VT_ARRAY | VT_I4, T::kInt32Array, bytesValue, 4},
    {VT_ARRAY | VT_UI1, T::kUInt8Array, bytesValue, 1},
    {VT_ARRAY | VT_UI2, T::kUInt16Array, bytesValue, 2},
    {VT_ARRAY | VT_UI4, T::kUInt32Array, bytesValue, 4},
    {VT_ARRAY | VT_R4, T::kFloatArray, bytesValue, 4},
    {VT_ARRAY | VT_I8, T::kInt64Array, bytesValue, 8},
    {VT_ARRAY | VT_UI8, T::kUInt64Array, bytesValue, 8},
    {VT_ARRAY | VT_R8, T::kDoubleArray, bytesValue, 8},
    {VT_ARRAY | VT_BOOL, T::kBooleanArray, bytesValue, 0},
    {VT_ARRAY | VT_BSTR, T::kStringArray, bytesValue, 0},
};

} // namespace

const DataTypeRow* dataTypeOf(VARTYPE nativeType) {
    for (const DataTypeRow& row : kRows)
        if (row.nativeType == nativeType)
            return &row;
    return nullptr;
}

} // namespace vorn::north::mqtt
