#include "UaBinary.h"

#include "toolkit/ua/UaLimits.h"

#include <bit>
#include <chrono>
#include <cstring>

namespace vorn::ua {
namespace {

// NodeId encoding bytes.
constexpr uint8_t kIdTwoByte = 0x00, kIdFourByte = 0x01, kIdNumeric = 0x02, kIdString = 0x03,
                  kIdGuid = 0x04, kIdByteString = 0x05;
constexpr uint8_t kExpandedUri = 0x80, kExpandedServer = 0x40;
// Variant encoding byte.
constexpr uint8_t kVariantArray = 0x80, kVariantDimensions = 0x40, kVariantTypeMask = 0x3F;
// DataValue mask.
constexpr uint8_t kDvValue = 0x01, kDvStatus = 0x02, kDvSource = 0x04, kDvServer = 0x08,
                  kDvSourcePico = 0x10, kDvServerPico = 0x20;
// Ticks from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

} // namespace

DateTime nowDateTime() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks +
           std::chrono::duration_cast<std::chrono::microseconds>(since).count() * 10;
}

std::string NodeId::toString() const {
    std::string prefix = ns ? "ns=" + std::to_string(ns) + ";" : "";
    switch (kind) {
    case Kind::numeric:
        return prefix + "i=" + std::to_string(numeric);
    case Kind::string:
        return prefix + "s=" + text;
    case Kind::guid:
        return prefix + "g=<guid>";
    case Kind::opaque:
        return prefix + "b=<" + std::to_string(text.size()) + " bytes>";
    }
    return prefix;
}

size_t NodeIdHash::operator()(const NodeId& id) const {
    size_t h = std::hash<std::string>()(id.text);
    return h ^ (std::hash<uint64_t>()((uint64_t(id.ns) << 40) | (uint64_t(id.kind) << 32) |
                                      id.numeric) *
                3);
}

// ---- Encoder ----

void Encoder::u16(uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
}

void Encoder::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        u8((v >> (8 * i)) & 0xFF);
}

void Encoder::u64(uint64_t v) {
    for (int i = 0; i < 8; ++i)
        u8((v >> (8 * i)) & 0xFF);
}

void Encoder::f32(float v) {
    u32(std::bit_cast<uint32_t>(v));
}
void Encoder::f64(double v) {
    u64(std::bit_cast<uint64_t>(v));
}

void Encoder::string(std::string_view v) {
    i32(static_cast<int32_t>(v.size()));
    out_.append(v);
}

void Encoder::patchU32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out_[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Encoder::nodeId(const NodeId& id) {
    switch (id.kind) {
    case NodeId::Kind::numeric:
        if (id.ns == 0 && id.numeric <= 0xFF) {
            u8(kIdTwoByte);
            u8(static_cast<uint8_t>(id.numeric));
        } else if (id.ns <= 0xFF && id.numeric <= 0xFFFF) {
            u8(kIdFourByte);
            u8(static_cast<uint8_t>(id.ns));
            u16(static_cast<uint16_t>(id.numeric));
        } else {
            u8(kIdNumeric);
            u16(id.ns);
            u32(id.numeric);
        }
        return;
    case NodeId::Kind::string:
        u8(kIdString);
        u16(id.ns);
        string(id.text);
        return;
    case NodeId::Kind::guid:
        u8(kIdGuid);
        u16(id.ns);
        raw(std::string_view(id.text).substr(0, 16));
        for (size_t i = id.text.size(); i < 16; ++i)
            u8(0);
        return;
    case NodeId::Kind::opaque:
        u8(kIdByteString);
        u16(id.ns);
        string(id.text);
        return;
    }
}

void Encoder::expandedNodeId(const ExpandedNodeId& id) {
    size_t flagAt = out_.size();
    nodeId(id.nodeId);
    uint8_t flags = 0;
    if (!id.namespaceUri.empty()) {
        flags |= kExpandedUri;
        string(id.namespaceUri);
    }
    if (id.serverIndex) {
        flags |= kExpandedServer;
        u32(id.serverIndex);
    }
    out_[flagAt] = static_cast<char>(static_cast<uint8_t>(out_[flagAt]) | flags);
}

void Encoder::qualifiedName(const QualifiedName& name) {
    u16(name.ns);
    string(name.name);
}

void Encoder::localizedText(const LocalizedText& text) {
    uint8_t mask = (text.locale.empty() ? 0 : 0x01) | (text.text.empty() ? 0 : 0x02);
    u8(mask);
    if (mask & 0x01)
        string(text.locale);
    if (mask & 0x02)
        string(text.text);
}

void Encoder::extensionObject(const ExtensionObject& object) {
    nodeId(object.typeId);
    if (object.encoding == 0) {
        u8(0);
        return;
    }
    u8(object.encoding);
    string(object.body);
}

void Encoder::scalar(uint8_t type, const Scalar& value) {
    using namespace BuiltinType;
    auto asInt = [&]() -> int64_t {
        if (auto p = std::get_if<int64_t>(&value))
            return *p;
        if (auto p = std::get_if<uint64_t>(&value))
            return static_cast<int64_t>(*p);
        if (auto p = std::get_if<bool>(&value))
            return *p;
        if (auto p = std::get_if<double>(&value))
            return static_cast<int64_t>(*p);
        return 0;
    };
    auto asDouble = [&]() -> double {
        if (auto p = std::get_if<double>(&value))
            return *p;
        return static_cast<double>(asInt());
    };
    auto asText = [&]() -> const std::string* { return std::get_if<std::string>(&value); };
    switch (type) {
    case kBoolean:
        boolean(asInt() != 0);
        return;
    case kSByte:
    case kByte:
        u8(static_cast<uint8_t>(asInt()));
        return;
    case kInt16:
    case kUInt16:
        u16(static_cast<uint16_t>(asInt()));
        return;
    case kInt32:
    case kUInt32:
    case kStatusCode:
        u32(static_cast<uint32_t>(asInt()));
        return;
    case kInt64:
    case kUInt64:
    case kDateTime:
        u64(static_cast<uint64_t>(asInt()));
        return;
    case kFloat:
        f32(static_cast<float>(asDouble()));
        return;
    case kDouble:
        f64(asDouble());
        return;
    case kString:
    case kByteString:
    case kXmlElement:
        if (auto t = asText())
            string(*t);
        else
            nullString();
        return;
    case kGuid: {
        std::string guid = asText() ? asText()->substr(0, 16) : std::string();
        guid.resize(16, '\0');
        raw(guid);
        return;
    }
    case kNodeId:
        nodeId(std::holds_alternative<NodeId>(value) ? std::get<NodeId>(value) : NodeId());
        return;
    case kExpandedNodeId:
        expandedNodeId(ExpandedNodeId{
            std::holds_alternative<NodeId>(value) ? std::get<NodeId>(value) : NodeId(), {}, 0});
        return;
    case kQualifiedName:
        qualifiedName(std::holds_alternative<QualifiedName>(value) ? std::get<QualifiedName>(value)
                                                                   : QualifiedName());
        return;
    case kLocalizedText:
        localizedText(std::holds_alternative<LocalizedText>(value) ? std::get<LocalizedText>(value)
                                                                   : LocalizedText());
        return;
    case kExtensionObject:
        extensionObject(std::holds_alternative<ExtensionObject>(value)
                            ? std::get<ExtensionObject>(value)
                            : ExtensionObject());
        return;
    case kDataValue: {
        auto p = std::get_if<std::shared_ptr<DataValue>>(&value);
        dataValue(p && *p ? **p : DataValue());
        return;
    }
    case kVariant: {
        auto p = std::get_if<std::shared_ptr<Variant>>(&value);
        variant(p && *p ? **p : Variant());
        return;
    }
    case kDiagnosticInfo:
        emptyDiagnosticInfo();
        return;
    default:
        return;
    }
}

void Encoder::variant(const Variant& value) {
    if (value.type == BuiltinType::kNull || value.type > BuiltinType::kDiagnosticInfo) {
        u8(0);
        return;
    }
    uint8_t mask = value.type;
    if (value.isArray)
        mask |= kVariantArray;
    if (value.isArray && !value.dimensions.empty())
        mask |= kVariantDimensions;
    u8(mask);
    if (value.isArray) {
        arrayLength(value.values.size());
        for (const Scalar& element : value.values)
            scalar(value.type, element);
        if (mask & kVariantDimensions) {
            arrayLength(value.dimensions.size());
            for (int32_t d : value.dimensions)
                i32(d);
        }
    } else {
        scalar(value.type, value.values.empty() ? Scalar() : value.values.front());
    }
}

template <class WriteValue>
void Encoder::dataValueFields(bool hasValue, WriteValue writeValue, StatusCode status,
                              DateTime source, DateTime server) {
    uint8_t mask = 0;
    if (hasValue)
        mask |= kDvValue;
    if (status != Status::kGood)
        mask |= kDvStatus;
    if (source)
        mask |= kDvSource;
    if (server)
        mask |= kDvServer;
    u8(mask);
    if (mask & kDvValue)
        writeValue();
    if (mask & kDvStatus)
        statusCode(status);
    if (mask & kDvSource)
        dateTime(source);
    if (mask & kDvServer)
        dateTime(server);
}

void Encoder::dataValue(const DataValue& value) {
    dataValueFields(
        value.hasValue && !value.value.isNull(), [&] { variant(value.value); }, value.status,
        value.sourceTimestamp, value.serverTimestamp);
}

void Encoder::dataValue(std::string_view encodedVariant, StatusCode status, DateTime source,
                        DateTime server) {
    dataValueFields(
        !encodedVariant.empty(), [&] { raw(encodedVariant); }, status, source, server);
}

// ---- Decoder ----

bool Decoder::need(size_t count) {
    if (!ok_ || in_.size() - pos_ < count) {
        ok_ = false;
        return false;
    }
    return true;
}

uint8_t Decoder::u8() {
    if (!need(1))
        return 0;
    return static_cast<uint8_t>(in_[pos_++]);
}

uint16_t Decoder::u16() {
    if (!need(2))
        return 0;
    uint16_t v = static_cast<uint8_t>(in_[pos_]) | (static_cast<uint8_t>(in_[pos_ + 1]) << 8);
    pos_ += 2;
    return v;
}

uint32_t Decoder::u32() {
    if (!need(4))
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(in_[pos_ + i]);
    pos_ += 4;
    return v;
}

uint64_t Decoder::u64() {
    if (!need(8))
        return 0;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(in_[pos_ + i]);
    pos_ += 8;
    return v;
}

float Decoder::f32() {
    return std::bit_cast<float>(u32());
}
double Decoder::f64() {
    return std::bit_cast<double>(u64());
}

std::string_view Decoder::rawBytes(size_t count) {
    if (!need(count))
        return {};
    std::string_view v = in_.substr(pos_, count);
    pos_ += count;
    return v;
}

std::string Decoder::string() {
    int32_t length = i32();
    if (length <= 0) {
        if (length < -1)
            fail();
        return {};
    }
    return std::string(rawBytes(static_cast<size_t>(length)));
}

uint32_t Decoder::arrayLength(size_t minElementSize) {
    int32_t length = i32();
    if (length < 0) {
        if (length < -1)
            fail();
        return 0;
    }
    if (minElementSize == 0)
        minElementSize = 1;
    if (static_cast<size_t>(length) > remaining() / minElementSize) {
        fail();
        return 0;
    }
    return static_cast<uint32_t>(length);
}

std::vector<uint32_t> Decoder::u32Array() {
    std::vector<uint32_t> values(arrayLength(4));
    for (uint32_t& value : values)
        value = u32();
    return values;
}

NodeId Decoder::nodeId() {
    NodeId id;
    uint8_t form = u8() & 0x3F; // the expanded flags are read by expandedNodeId
    switch (form) {
    case kIdTwoByte:
        id.numeric = u8();
        break;
    case kIdFourByte:
        id.ns = u8();
        id.numeric = u16();
        break;
    case kIdNumeric:
        id.ns = u16();
        id.numeric = u32();
        break;
    case kIdString:
        id.ns = u16();
        id.kind = NodeId::Kind::string;
        id.text = string();
        break;
    case kIdGuid:
        id.ns = u16();
        id.kind = NodeId::Kind::guid;
        id.text = std::string(rawBytes(16));
        break;
    case kIdByteString:
        id.ns = u16();
        id.kind = NodeId::Kind::opaque;
        id.text = string();
        break;
    default:
        fail();
    }
    return ok_ ? id : NodeId();
}

ExpandedNodeId Decoder::expandedNodeId() {
    ExpandedNodeId id;
    uint8_t flags = ok_ && pos_ < in_.size() ? static_cast<uint8_t>(in_[pos_]) : 0;
    id.nodeId = nodeId();
    if (flags & kExpandedUri)
        id.namespaceUri = string();
    if (flags & kExpandedServer)
        id.serverIndex = u32();
    return id;
}

QualifiedName Decoder::qualifiedName() {
    QualifiedName name;
    name.ns = u16();
    name.name = string();
    return name;
}

LocalizedText Decoder::localizedText() {
    LocalizedText text;
    uint8_t mask = u8();
    if (mask & 0x01)
        text.locale = string();
    if (mask & 0x02)
        text.text = string();
    return text;
}

ExtensionObject Decoder::extensionObject() {
    ExtensionObject object;
    object.typeId = nodeId();
    object.encoding = u8();
    if (object.encoding == 1 || object.encoding == 2)
        object.body = string();
    else if (object.encoding != 0)
        fail();
    return object;
}

Scalar Decoder::scalar(uint8_t type) {
    using namespace BuiltinType;
    switch (type) {
    case kBoolean:
        return boolean();
    case kSByte:
        return int64_t(static_cast<int8_t>(u8()));
    case kByte:
        return uint64_t(u8());
    case kInt16:
        return int64_t(static_cast<int16_t>(u16()));
    case kUInt16:
        return uint64_t(u16());
    case kInt32:
        return int64_t(i32());
    case kUInt32:
    case kStatusCode:
        return uint64_t(u32());
    case kInt64:
    case kDateTime:
        return i64();
    case kUInt64:
        return u64();
    case kFloat:
        return double(f32());
    case kDouble:
        return f64();
    case kString:
    case kByteString:
    case kXmlElement:
        return string();
    case kGuid:
        return std::string(rawBytes(16));
    case kNodeId:
        return nodeId();
    case kExpandedNodeId:
        return expandedNodeId().nodeId;
    case kQualifiedName:
        return qualifiedName();
    case kLocalizedText:
        return localizedText();
    case kExtensionObject:
        return extensionObject();
    default:
        fail();
        return {};
    }
}

Variant Decoder::variantAt(int depth) {
    Variant value;
    if (depth > Limits::kMaxDecodingDepth) {
        fail();
        return value;
    }
    uint8_t mask = u8();
    uint8_t type = mask & kVariantTypeMask;
    if (type > BuiltinType::kDiagnosticInfo) {
        fail();
        return value;
    }
    value.type = type;
    value.isArray = (mask & kVariantArray) != 0;
    if (type == BuiltinType::kNull)
        return value;
    auto element = [&]() -> Scalar {
        if (type == BuiltinType::kVariant)
            return std::make_shared<Variant>(variantAt(depth + 1));
        if (type == BuiltinType::kDataValue)
            return std::make_shared<DataValue>(dataValueAt(depth + 1));
        if (type == BuiltinType::kDiagnosticInfo) {
            skipDiagnosticInfoAt(depth + 1);
            return {};
        }
        return scalar(type);
    };
    if (value.isArray) {
        uint32_t count = arrayLength(1);
        value.values.reserve(count);
        for (uint32_t i = 0; i < count && ok_; ++i)
            value.values.push_back(element());
        if (mask & kVariantDimensions) {
            uint32_t dims = arrayLength(4);
            for (uint32_t i = 0; i < dims && ok_; ++i)
                value.dimensions.push_back(i32());
        }
    } else {
        if (mask & kVariantDimensions)
            fail();
        value.values.push_back(element());
    }
    if (!ok_)
        return Variant();
    return value;
}

Variant Decoder::variant() {
    return variantAt(0);
}

DataValue Decoder::dataValueAt(int depth) {
    DataValue value;
    uint8_t mask = u8();
    if (mask & kDvValue) {
        value.hasValue = true;
        value.value = variantAt(depth + 1);
    }
    if (mask & kDvStatus)
        value.status = statusCode();
    if (mask & kDvSource)
        value.sourceTimestamp = dateTime();
    if (mask & kDvSourcePico)
        u16();
    if (mask & kDvServer)
        value.serverTimestamp = dateTime();
    if (mask & kDvServerPico)
        u16();
    return value;
}

DataValue Decoder::dataValue() {
    return dataValueAt(0);
}

void Decoder::skipDiagnosticInfoAt(int depth) {
    if (depth > Limits::kMaxDecodingDepth) {
        fail();
        return;
    }
    uint8_t mask = u8();
    if (mask & 0x01)
        i32();
    if (mask & 0x02)
        i32();
    if (mask & 0x04)
        i32();
    if (mask & 0x08)
        i32();
    if (mask & 0x10)
        string();
    if (mask & 0x20)
        u32();
    if (mask & 0x40)
        skipDiagnosticInfoAt(depth + 1);
}

void Decoder::skipDiagnosticInfo() {
    skipDiagnosticInfoAt(0);
}

} // namespace vorn::ua
