// Browse with continuation points, BrowseNext, TranslateBrowsePathsToNodeIds and
// RegisterNodes/UnregisterNodes (node ids are already cheap to look up: they come back as
// they were given).
#include "Services.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <algorithm>

namespace vorn::ua {
namespace {

namespace ResultMask {
constexpr uint32_t kReferenceType = 1, kIsForward = 2, kNodeClass = 4, kBrowseName = 8,
                   kDisplayName = 16, kTypeDefinition = 32;
} // namespace ResultMask

constexpr uint32_t kForward = 0, kInverse = 1, kBoth = 2;
constexpr uint32_t kNoRemainingPath = 0xFFFFFFFF;

struct BrowseDescription {
    NodeId nodeId;
    uint32_t direction = kForward;
    NodeId referenceTypeId;
    bool includeSubtypes = true;
    uint32_t nodeClassMask = 0;
    uint32_t resultMask = 0;
};

bool isReferenceType(const AddressSpace& space, const NodeId& id) {
    NodePtr node = space.find(id);
    return node && node->nodeClass == NodeClass::kReferenceType && id.ns == 0 &&
           id.kind == NodeId::Kind::numeric;
}

bool referenceMatches(const AddressSpace& space, const Reference& ref, const NodeId& type,
                      bool includeSubtypes) {
    if (type.isNull())
        return true;
    return includeSubtypes ? space.isSubtypeOf(ref.typeId, type.numeric)
                           : ref.typeId == type.numeric;
}

std::string encodeReference(const Reference& ref, const Node& target, uint32_t mask) {
    Encoder e;
    e.nodeId(mask & ResultMask::kReferenceType ? NodeId(0, ref.typeId) : NodeId());
    e.boolean(ref.isForward);
    e.expandedNodeId(ExpandedNodeId{target.id, {}, 0});
    e.qualifiedName(mask & ResultMask::kBrowseName ? target.browseName : QualifiedName());
    e.localizedText(mask & ResultMask::kDisplayName ? target.displayName : LocalizedText());
    e.u32(mask & ResultMask::kNodeClass ? target.nodeClass : 0);
    NodeId typeDefinition;
    if ((mask & ResultMask::kTypeDefinition) && target.typeDefinition)
        typeDefinition = NodeId(0, target.typeDefinition);
    e.expandedNodeId(ExpandedNodeId{typeDefinition, {}, 0});
    return std::move(e.bytes());
}

void encodeBrowseResult(Encoder& out, StatusCode status, const std::string& continuationPoint,
                        const std::vector<std::string>& references, size_t count) {
    out.statusCode(status);
    if (continuationPoint.empty())
        out.nullString();
    else
        out.string(continuationPoint);
    out.arrayLength(count);
    for (size_t i = 0; i < count; ++i)
        out.raw(references[i]);
}

// Hands out at most `max` references; the rest goes under a continuation point.
void answerWithLimit(Session& session, Encoder& out, std::vector<std::string> references,
                     uint32_t max) {
    if (references.size() <= max) {
        encodeBrowseResult(out, Status::kGood, {}, references, references.size());
        return;
    }
    if (session.continuationPoints.size() >= Limits::kMaxBrowseContinuationPoints) {
        encodeBrowseResult(out, Status::kBadNoContinuationPoints, {}, {}, 0);
        return;
    }
    std::string id = "cp" + std::to_string(++session.lastContinuationPoint);
    encodeBrowseResult(out, Status::kGood, id, references, max);
    references.erase(references.begin(), references.begin() + max);
    session.continuationPoints[id] = ContinuationPoint{max, std::move(references)};
}

} // namespace

ServiceResponse browse(ServiceContext& core, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    in.nodeId(); // view: the whole address space is the only view
    in.dateTime();
    in.u32();
    uint32_t requestedMax = in.u32();
    uint32_t count = in.arrayLength(12);
    if (count > Limits::kMaxNodesPerBrowse)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<BrowseDescription> descriptions(count);
    for (BrowseDescription& d : descriptions) {
        d.nodeId = in.nodeId();
        d.direction = in.u32();
        d.referenceTypeId = in.nodeId();
        d.includeSubtypes = in.boolean();
        d.nodeClassMask = in.u32();
        d.resultMask = in.u32();
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    uint32_t max = requestedMax ? std::min(requestedMax, Limits::kMaxReferencesPerNode)
                                : Limits::kMaxReferencesPerNode;

    const AddressSpace& space = core.space;
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const BrowseDescription& d : descriptions) {
        NodePtr node = space.find(d.nodeId);
        if (!node) {
            encodeBrowseResult(out, Status::kBadNodeIdUnknown, {}, {}, 0);
            continue;
        }
        if (d.direction > kBoth) {
            encodeBrowseResult(out, Status::kBadBrowseDirectionInvalid, {}, {}, 0);
            continue;
        }
        if (!d.referenceTypeId.isNull() && !isReferenceType(space, d.referenceTypeId)) {
            encodeBrowseResult(out, Status::kBadReferenceTypeIdInvalid, {}, {}, 0);
            continue;
        }
        std::vector<std::string> references;
        for (const Reference& ref : space.referencesOf(*node)) {
            if ((d.direction == kForward && !ref.isForward) ||
                (d.direction == kInverse && ref.isForward))
                continue;
            if (!referenceMatches(space, ref, d.referenceTypeId, d.includeSubtypes))
                continue;
            NodePtr target = space.find(ref.target);
            if (!target || (d.nodeClassMask && !(target->nodeClass & d.nodeClassMask)))
                continue;
            references.push_back(encodeReference(ref, *target, d.resultMask));
        }
        answerWithLimit(session, out, std::move(references), max);
    }
    out.arrayLength(0);
    return {TypeId::kBrowseResponse, std::move(out.bytes())};
}

ServiceResponse browseNext(ServiceContext&, Session& session, ServiceCall& call) {
    bool release = call.in.boolean();
    uint32_t count = call.in.arrayLength(4);
    if (count > Limits::kMaxNodesPerBrowse)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<std::string> points(count);
    for (std::string& p : points)
        p = call.in.string();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const std::string& id : points) {
        auto it = session.continuationPoints.find(id);
        if (it == session.continuationPoints.end()) {
            encodeBrowseResult(out, Status::kBadContinuationPointInvalid, {}, {}, 0);
            continue;
        }
        ContinuationPoint point = std::move(it->second);
        session.continuationPoints.erase(it);
        if (release) {
            encodeBrowseResult(out, Status::kGood, {}, {}, 0);
            continue;
        }
        answerWithLimit(session, out, std::move(point.rest), point.maxReferences);
    }
    out.arrayLength(0);
    return {TypeId::kBrowseNextResponse, std::move(out.bytes())};
}

ServiceResponse translateBrowsePaths(ServiceContext& core, ServiceCall& call) {
    struct Element {
        NodeId referenceTypeId;
        bool isInverse;
        bool includeSubtypes;
        QualifiedName targetName;
    };
    struct Path {
        NodeId start;
        std::vector<Element> elements;
        bool tooLong = false;
    };
    Decoder& in = call.in;
    uint32_t count = in.arrayLength(6);
    if (count > Limits::kMaxNodesPerTranslate)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<Path> paths(count);
    for (Path& path : paths) {
        path.start = in.nodeId();
        uint32_t elements = in.arrayLength(9);
        for (uint32_t i = 0; i < elements && in.ok(); ++i) {
            Element e;
            e.referenceTypeId = in.nodeId();
            e.isInverse = in.boolean();
            e.includeSubtypes = in.boolean();
            e.targetName = in.qualifiedName();
            if (path.elements.size() < Limits::kMaxRelativePathElements)
                path.elements.push_back(std::move(e));
            else
                path.tooLong = true;
        }
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);

    const AddressSpace& space = core.space;
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const Path& path : paths) {
        StatusCode status = Status::kGood;
        std::vector<NodeId> current;
        if (!space.find(path.start))
            status = Status::kBadNodeIdUnknown;
        else if (path.elements.empty() || path.tooLong)
            status = Status::kBadNothingToDo;
        else
            current.push_back(path.start);
        for (const Element& e : path.elements) {
            if (status != Status::kGood)
                break;
            if (e.targetName.name.empty()) {
                status = Status::kBadBrowseNameInvalid;
                break;
            }
            NodeId type =
                e.referenceTypeId.isNull() ? NodeId(0, RefType::kHierarchical) : e.referenceTypeId;
            std::vector<NodeId> next;
            for (const NodeId& id : current) {
                for (const Reference& ref : space.referencesOf(*space.find(id))) {
                    if (ref.isForward == e.isInverse ||
                        !referenceMatches(space, ref, type, e.includeSubtypes))
                        continue;
                    NodePtr target = space.find(ref.target);
                    if (target && target->browseName == e.targetName &&
                        std::find(next.begin(), next.end(), target->id) == next.end())
                        next.push_back(target->id);
                }
            }
            current = std::move(next);
            if (current.empty())
                status = Status::kBadNoMatch;
        }
        out.statusCode(status);
        if (status != Status::kGood) {
            out.arrayLength(0);
            continue;
        }
        out.arrayLength(current.size());
        for (const NodeId& id : current) {
            out.expandedNodeId(ExpandedNodeId{id, {}, 0});
            out.u32(kNoRemainingPath);
        }
    }
    out.arrayLength(0);
    return {TypeId::kTranslateResponse, std::move(out.bytes())};
}

ServiceResponse registerNodes(ServiceCall& call) {
    uint32_t count = call.in.arrayLength(2);
    if (count > Limits::kMaxNodesPerRegister)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<NodeId> ids(count);
    for (NodeId& id : ids)
        id = call.in.nodeId();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const NodeId& id : ids)
        out.nodeId(id);
    return {TypeId::kRegisterNodesResponse, std::move(out.bytes())};
}

ServiceResponse unregisterNodes(ServiceCall& call) {
    uint32_t count = call.in.arrayLength(2);
    if (count > Limits::kMaxNodesPerRegister)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    for (uint32_t i = 0; i < count; ++i)
        call.in.nodeId();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    return {TypeId::kUnregisterNodesResponse, std::move(out.bytes())};
}

} // namespace vorn::ua
