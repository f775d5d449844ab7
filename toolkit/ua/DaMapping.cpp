#include "DaMapping.h"

#include "toolkit/SODaSCache.h"
#include "toolkit/ua/UaIds.h"

#include <algorithm>

namespace vorn::ua {
namespace {

constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

struct TypeRow {
    VARTYPE native;
    uint32_t dataType;
    uint8_t builtin;
};

constexpr TypeRow kTypes[] = {
    {VT_BOOL, DataTypeId::kBoolean, BuiltinType::kBoolean},
    {VT_I1, DataTypeId::kSByte, BuiltinType::kSByte},
    {VT_UI1, DataTypeId::kByte, BuiltinType::kByte},
    {VT_I2, DataTypeId::kInt16, BuiltinType::kInt16},
    {VT_UI2, DataTypeId::kUInt16, BuiltinType::kUInt16},
    {VT_I4, DataTypeId::kInt32, BuiltinType::kInt32},
    {VT_UI4, DataTypeId::kUInt32, BuiltinType::kUInt32},
    {VT_I8, DataTypeId::kInt64, BuiltinType::kInt64},
    {VT_UI8, DataTypeId::kUInt64, BuiltinType::kUInt64},
    {VT_R4, DataTypeId::kFloat, BuiltinType::kFloat},
    {VT_R8, DataTypeId::kDouble, BuiltinType::kDouble},
    {VT_BSTR, DataTypeId::kString, BuiltinType::kString},
};

const TypeRow* rowOf(VARTYPE native) {
    for (const TypeRow& row : kTypes)
        if (row.native == (native & ~VT_ARRAY))
            return &row;
    return nullptr;
}

const TypeRow* rowOfBuiltin(uint8_t builtin) {
    for (const TypeRow& row : kTypes)
        if (row.builtin == builtin)
            return &row;
    return nullptr;
}

Scalar scalarOf(const vorn::Variant& v) {
    switch (v.type()) {
    case VT_BOOL:
        return v.asBool();
    case VT_R4:
        return double(v.asFloat());
    case VT_R8:
        return v.asDouble();
    case VT_BSTR: {
        // Devices pad strings with zero bytes; clients get the text up to the first of them.
        std::string text = v.toUtf8();
        text.resize(std::min(text.size(), text.find('\0')));
        return text;
    }
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
        return v.asUInt64();
    default:
        return v.asInt64();
    }
}

// The toolkit scalar of `native` type from a wire element of the matching built-in type.
vorn::Variant toolkitScalar(VARTYPE native, const Scalar& s) {
    auto integer = [&]() -> int64_t {
        if (auto p = std::get_if<int64_t>(&s))
            return *p;
        if (auto p = std::get_if<uint64_t>(&s))
            return static_cast<int64_t>(*p);
        if (auto p = std::get_if<bool>(&s))
            return *p;
        return 0;
    };
    switch (native) {
    case VT_BOOL:
        return vorn::Variant::boolean(integer() != 0);
    case VT_I1:
        return vorn::Variant::i1(static_cast<int8_t>(integer()));
    case VT_UI1:
        return vorn::Variant::ui1(static_cast<uint8_t>(integer()));
    case VT_I2:
        return vorn::Variant::i2(static_cast<int16_t>(integer()));
    case VT_UI2:
        return vorn::Variant::ui2(static_cast<uint16_t>(integer()));
    case VT_I4:
        return vorn::Variant::i4(static_cast<int32_t>(integer()));
    case VT_UI4:
        return vorn::Variant::ui4(static_cast<uint32_t>(integer()));
    case VT_I8:
        return vorn::Variant::i8(integer());
    case VT_UI8:
        return vorn::Variant::ui8(static_cast<uint64_t>(integer()));
    case VT_R4: {
        auto p = std::get_if<double>(&s);
        return vorn::Variant::r4(p ? static_cast<float>(*p) : 0.0f);
    }
    case VT_R8: {
        auto p = std::get_if<double>(&s);
        return vorn::Variant::r8(p ? *p : 0.0);
    }
    case VT_BSTR: {
        auto p = std::get_if<std::string>(&s);
        return vorn::Variant::bstrFromUtf8(p ? *p : std::string());
    }
    default:
        return {};
    }
}

} // namespace

uint32_t dataTypeOf(VARTYPE native) {
    const TypeRow* row = rowOf(native);
    return row ? row->dataType : DataTypeId::kBaseDataType;
}

int32_t valueRankOf(VARTYPE native) {
    if (native == VT_EMPTY)
        return -2;
    return (native & VT_ARRAY) ? 1 : -1;
}

uint8_t builtinTypeOf(VARTYPE native) {
    const TypeRow* row = rowOf(native);
    return row ? row->builtin : BuiltinType::kNull;
}

Variant toUaVariant(const vorn::Variant& value) {
    if (value.isEmpty())
        return {};
    uint8_t builtin = builtinTypeOf(value.type());
    if (builtin == BuiltinType::kNull)
        return {};
    if (!value.isArray())
        return Variant::scalar(builtin, scalarOf(value));
    std::vector<Scalar> elements;
    elements.reserve(value.size());
    for (const vorn::Variant& element : value.elements())
        elements.push_back(scalarOf(element));
    return Variant::array(builtin, std::move(elements));
}

StatusCode fromUaVariant(const Variant& value, VARTYPE native, vorn::Variant& out) {
    const TypeRow* row = rowOfBuiltin(value.type);
    if (!row || (value.values.empty() && !value.isArray))
        return Status::kBadTypeMismatch;
    // A tag without a native type takes any scalar the toolkit can hold.
    VARTYPE target = native == VT_EMPTY ? row->native : native;
    if (row->native != (target & ~VT_ARRAY) || value.isArray != ((target & VT_ARRAY) != 0))
        return Status::kBadTypeMismatch;
    if (!value.isArray) {
        out = toolkitScalar(row->native, value.values.front());
        return Status::kGood;
    }
    out = vorn::Variant::array(row->native, value.values.size());
    for (size_t i = 0; i < value.values.size(); ++i)
        out.at(i) = toolkitScalar(row->native, value.values[i]);
    return Status::kGood;
}

StatusCode statusOfQuality(uint16_t quality) {
    if (Quality::isGood(quality))
        return Status::kGood;
    if (Quality::isUncertain(quality))
        return Status::kUncertain;
    switch (quality & 0xFC) {
    case Quality::kBadDeviceFailure:
        return Status::kBadDeviceFailure;
    case Quality::kBadCommFailure:
        return Status::kBadNoCommunication;
    case Quality::kBadOutOfService:
        return Status::kBadOutOfService;
    default:
        return Status::kBad;
    }
}

StatusCode statusOfReadFailure(HRESULT result) {
    switch (result) {
    case OPC_E_UNKNOWNITEMID:
        return Status::kBadNodeIdUnknown;
    case OPC_E_BADRIGHTS:
        return Status::kBadNotReadable;
    case E_TIMEDOUT:
        return Status::kBadTimeout;
    case E_ABORT:
        return Status::kBadShutdown;
    default:
        return Status::kBad;
    }
}

StatusCode statusOfWrite(const WriteResult& result) {
    if (succeeded(result.result))
        return Status::kGood;
    switch (result.result) {
    case OPC_E_BADRIGHTS:
        return Status::kBadNotWritable;
    case OPC_E_BADTYPE:
    case OPC_E_RANGE:
        return Status::kBadTypeMismatch;
    case OPC_E_UNKNOWNITEMID:
        return Status::kBadNodeIdUnknown;
    case E_TIMEDOUT:
        return Status::kBadTimeout;
    case E_ABORT:
        return Status::kBadShutdown;
    default:
        // The engine refuses a value that does not fit the tag's configured length or bytes.
        if (result.hasQuality && (result.quality & 0xFC) == Quality::kBadConfigError)
            return Status::kBadOutOfRange;
        if (result.hasQuality) {
            StatusCode status = statusOfQuality(result.quality);
            return Status::isBad(status) ? status : Status::kBad;
        }
        return Status::kBad;
    }
}

DateTime toDateTime(std::chrono::system_clock::time_point time) {
    if (time.time_since_epoch().count() == 0)
        return 0;
    return kUnixEpochTicks +
           std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count() *
               10;
}

} // namespace vorn::ua
