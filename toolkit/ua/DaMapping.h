// How the toolkit's DA model looks through OPC UA: native types as DataTypes and value ranks,
// values both ways (UTF-16 strings become UTF-8 at the wire), qualities and request results
// as status codes.
#pragma once

#include "platform/Variant.h"
#include "toolkit/DaClient.h"
#include "toolkit/ua/UaTypes.h"

#include <chrono>
#include <cstdint>

namespace vorn::ua {

// DataType node (namespace 0) of a native type; arrays take their element's DataType.
uint32_t dataTypeOf(VARTYPE native);
// -1 for scalars, 1 for one-dimensional arrays, -2 (any) for VT_EMPTY.
int32_t valueRankOf(VARTYPE native);
// Built-in type id carried on the wire for a DataType of dataTypeOf().
uint8_t builtinTypeOf(VARTYPE native);

Variant toUaVariant(const vorn::Variant& value);
// The toolkit value for a client's value written to a tag of `native` type: the client must
// send that type (arrays as arrays); BadTypeMismatch otherwise.
StatusCode fromUaVariant(const Variant& value, VARTYPE native, vorn::Variant& out);

StatusCode statusOfQuality(uint16_t quality);
StatusCode statusOfWrite(const WriteResult& result);
StatusCode statusOfReadFailure(HRESULT result);

DateTime toDateTime(std::chrono::system_clock::time_point time);

} // namespace vorn::ua
