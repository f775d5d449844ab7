#include "AttributeReader.h"

#include "toolkit/ua/DaMapping.h"
#include "toolkit/ua/UaIds.h"

#include <algorithm>

namespace vorn::ua {
namespace {

DataValue valueOf(Variant v) {
    DataValue dv;
    dv.hasValue = true;
    dv.value = std::move(v);
    return dv;
}

// A tag's item description; none when the tag has no description property.
LocalizedText tagDescription(const SODaSTag& tag) {
    std::string text;
    return tag.getDescription(text) ? LocalizedText{"", std::move(text)} : LocalizedText{};
}

DataValue scalarValue(uint8_t type, Scalar s) {
    return valueOf(Variant::scalar(type, std::move(s)));
}

// AccessLevel bit of CurrentWrite.
constexpr uint8_t kCurrentWrite = 0x02;

bool isType(uint32_t nodeClass) {
    return nodeClass == NodeClass::kObjectType || nodeClass == NodeClass::kVariableType ||
           nodeClass == NodeClass::kReferenceType || nodeClass == NodeClass::kDataType;
}

} // namespace

DataValue statusOnly(StatusCode status) {
    DataValue dv;
    dv.status = status;
    return dv;
}

namespace {

bool parseIndex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = static_cast<uint32_t>(std::stoul(text));
    return true;
}

} // namespace

void applyIndexRange(const std::string& range, DataValue& dv) {
    uint32_t first = 0;
    uint32_t last = 0;
    size_t colon = range.find(':');
    bool valid = colon == std::string::npos
                     ? parseIndex(range, first) && (last = first, true)
                     : parseIndex(range.substr(0, colon), first) &&
                           parseIndex(range.substr(colon + 1), last) && first < last;
    if (!valid) {
        dv = statusOnly(Status::kBadIndexRangeInvalid);
        return;
    }
    if (!dv.hasValue || Status::isBad(dv.status))
        return;
    Variant& v = dv.value;
    if (v.isArray) {
        if (first >= v.values.size()) {
            dv = statusOnly(Status::kBadIndexRangeNoData);
            return;
        }
        size_t end = std::min<size_t>(last + 1, v.values.size());
        v.values = std::vector<Scalar>(v.values.begin() + first, v.values.begin() + end);
        v.dimensions.clear();
        return;
    }
    const std::string* text = v.type == BuiltinType::kString && !v.values.empty()
                                  ? std::get_if<std::string>(&v.values.front())
                                  : nullptr;
    if (!text || first >= text->size()) {
        dv = statusOnly(Status::kBadIndexRangeNoData);
        return;
    }
    v.values.front() = text->substr(first, last - first + 1);
}

DataValue tagDataValue(const CacheSnapshot& snapshot, uint32_t timestampsToReturn) {
    DataValue dv;
    dv.status = statusOfQuality(snapshot.quality);
    if (!Status::isBad(dv.status)) {
        dv.value = toUaVariant(snapshot.value);
        dv.hasValue = !dv.value.isNull();
    }
    if (timestampsToReturn == TimestampsToReturn::kSource ||
        timestampsToReturn == TimestampsToReturn::kBoth)
        dv.sourceTimestamp = toDateTime(snapshot.timestamp);
    if (timestampsToReturn == TimestampsToReturn::kServer ||
        timestampsToReturn == TimestampsToReturn::kBoth)
        dv.serverTimestamp = nowDateTime();
    return dv;
}

DataValue readAttribute(const Node& node, uint32_t attributeId, uint32_t timestampsToReturn,
                        bool userMayWrite) {
    using namespace AttributeId;
    const bool variable = node.nodeClass == NodeClass::kVariable;
    // Variables and variable types say what values they hold.
    const bool holdsValues = variable || node.nodeClass == NodeClass::kVariableType;
    switch (attributeId) {
    case kNodeId:
        return scalarValue(BuiltinType::kNodeId, node.id);
    case kNodeClass:
        return scalarValue(BuiltinType::kInt32, int64_t(node.nodeClass));
    case kBrowseName:
        return scalarValue(BuiltinType::kQualifiedName, node.browseName);
    case kDisplayName:
        return scalarValue(BuiltinType::kLocalizedText, node.displayName);
    case kDescription:
        return scalarValue(BuiltinType::kLocalizedText,
                           node.tag ? tagDescription(*node.tag) : node.description);
    case kWriteMask:
    case kUserWriteMask:
        return scalarValue(BuiltinType::kUInt32, uint64_t(0));
    case kIsAbstract:
        if (!isType(node.nodeClass))
            break;
        return scalarValue(BuiltinType::kBoolean, node.isAbstract);
    case kSymmetric:
        if (node.nodeClass != NodeClass::kReferenceType)
            break;
        return scalarValue(BuiltinType::kBoolean, node.symmetric);
    case kInverseName:
        if (node.nodeClass != NodeClass::kReferenceType)
            break;
        return scalarValue(BuiltinType::kLocalizedText, node.inverseName);
    case kEventNotifier:
        if (node.nodeClass != NodeClass::kObject)
            break;
        return scalarValue(BuiltinType::kByte, uint64_t(0));
    case kValue: {
        if (!variable)
            break;
        if (node.tag) {
            if (!(node.accessLevel & 0x01))
                return statusOnly(Status::kBadNotReadable);
            return tagDataValue(node.tag->getCache()->snapshot(), timestampsToReturn);
        }
        // The server's own variables are their own source: both timestamps are now.
        DataValue dv = node.value ? valueOf(node.value()) : statusOnly(Status::kBadNotReadable);
        DateTime now = nowDateTime();
        if (timestampsToReturn == TimestampsToReturn::kSource ||
            timestampsToReturn == TimestampsToReturn::kBoth)
            dv.sourceTimestamp = now;
        if (timestampsToReturn == TimestampsToReturn::kServer ||
            timestampsToReturn == TimestampsToReturn::kBoth)
            dv.serverTimestamp = now;
        return dv;
    }
    case kDataType:
        if (!holdsValues)
            break;
        return scalarValue(BuiltinType::kNodeId, NodeId(0, node.dataType));
    case kValueRank:
        if (!holdsValues)
            break;
        return scalarValue(BuiltinType::kInt32, int64_t(node.valueRank));
    case kArrayDimensions: {
        if (!holdsValues)
            break;
        if (node.arrayDimensions.empty())
            return DataValue{};
        std::vector<Scalar> dims;
        for (uint32_t d : node.arrayDimensions)
            dims.push_back(uint64_t(d));
        return valueOf(Variant::array(BuiltinType::kUInt32, std::move(dims)));
    }
    case kAccessLevel:
        if (!variable)
            break;
        return scalarValue(BuiltinType::kByte, uint64_t(node.accessLevel));
    case kUserAccessLevel: {
        if (!variable)
            break;
        uint8_t level = node.accessLevel;
        if (!userMayWrite)
            level &= static_cast<uint8_t>(~kCurrentWrite);
        return scalarValue(BuiltinType::kByte, uint64_t(level));
    }
    case kMinimumSamplingInterval:
        if (!variable)
            break;
        return scalarValue(BuiltinType::kDouble, 0.0);
    case kHistorizing:
        if (!variable)
            break;
        return scalarValue(BuiltinType::kBoolean, false);
    default:
        break;
    }
    return statusOnly(Status::kBadAttributeIdInvalid);
}

} // namespace vorn::ua
