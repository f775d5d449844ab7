// The OPC UA built-in types as this server holds them: NodeId, names and texts, Variant,
// DataValue and ExtensionObject.
#pragma once

#include "toolkit/ua/UaStatusCodes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace vorn::ua {

// Built-in type ids (the low six bits of a Variant's encoding byte).
namespace BuiltinType {
constexpr uint8_t kNull = 0, kBoolean = 1, kSByte = 2, kByte = 3, kInt16 = 4, kUInt16 = 5,
                  kInt32 = 6, kUInt32 = 7, kInt64 = 8, kUInt64 = 9, kFloat = 10, kDouble = 11,
                  kString = 12, kDateTime = 13, kGuid = 14, kByteString = 15, kXmlElement = 16,
                  kNodeId = 17, kExpandedNodeId = 18, kStatusCode = 19, kQualifiedName = 20,
                  kLocalizedText = 21, kExtensionObject = 22, kDataValue = 23, kVariant = 24,
                  kDiagnosticInfo = 25;
} // namespace BuiltinType

// 100-ns ticks since 1601-01-01 UTC.
using DateTime = int64_t;
DateTime nowDateTime();

struct NodeId {
    enum class Kind : uint8_t { numeric, string, guid, opaque };
    uint16_t ns = 0;
    Kind kind = Kind::numeric;
    uint32_t numeric = 0;
    std::string text; // string id, 16 guid bytes, or opaque bytes

    NodeId() = default;
    NodeId(uint16_t n, uint32_t id) : ns(n), numeric(id) {}
    static NodeId ofString(uint16_t n, std::string s) {
        NodeId id;
        id.ns = n;
        id.kind = Kind::string;
        id.text = std::move(s);
        return id;
    }
    bool isNull() const { return ns == 0 && kind == Kind::numeric && numeric == 0; }
    bool operator==(const NodeId&) const = default;
    // "ns=1;s=P1.Level" / "i=85", for messages and tests.
    std::string toString() const;
};

struct NodeIdHash {
    size_t operator()(const NodeId& id) const;
};

struct ExpandedNodeId {
    NodeId nodeId;
    std::string namespaceUri;
    uint32_t serverIndex = 0;
};

struct QualifiedName {
    uint16_t ns = 0;
    std::string name;
    bool operator==(const QualifiedName&) const = default;
};

struct LocalizedText {
    std::string locale;
    std::string text;
};

// A structure in its binary encoding; `typeId` is the encoding's NodeId.
struct ExtensionObject {
    NodeId typeId;
    uint8_t encoding = 0; // 0 no body, 1 binary body, 2 XML body
    std::string body;
};

struct Variant;
struct DataValue;

// One element of a Variant. Integers of every width share int64/uint64; Float and Double
// share double; String, ByteString and XmlElement share std::string.
using Scalar = std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, NodeId,
                            QualifiedName, LocalizedText, ExtensionObject, std::shared_ptr<Variant>,
                            std::shared_ptr<DataValue>>;

struct Variant {
    uint8_t type = BuiltinType::kNull;
    bool isArray = false;
    std::vector<Scalar> values; // one element for a scalar
    std::vector<int32_t> dimensions;

    bool isNull() const { return type == BuiltinType::kNull; }
    static Variant scalar(uint8_t type, Scalar value) {
        Variant v;
        v.type = type;
        v.values.push_back(std::move(value));
        return v;
    }
    static Variant array(uint8_t type, std::vector<Scalar> values) {
        Variant v;
        v.type = type;
        v.isArray = true;
        v.values = std::move(values);
        return v;
    }
};

struct DataValue {
    bool hasValue = false;
    Variant value;
    StatusCode status = Status::kGood;
    DateTime sourceTimestamp = 0; // 0: not sent
    DateTime serverTimestamp = 0;
};

} // namespace vorn::ua
