// The toolkit's name space as UA nodes: each branch below the root (devices first, then the
// file's branches) a folder, each tag a variable with its DataType, value rank, array size,
// access level and description.
#include "AddressSpace.h"
#include "toolkit/ua/DaMapping.h"
#include "toolkit/ua/UaIds.h"

#include <algorithm>

namespace vorn::ua {
namespace {

constexpr uint8_t kAccessRightsMask = AccessRights::kReadable | AccessRights::kWritable;

NodeId tagNodeId(const std::string& itemId) {
    return NodeId::ofString(kTagNamespace, itemId);
}

Node namedNode(const std::string& itemId, const std::string& name, uint32_t nodeClass) {
    Node node;
    node.id = tagNodeId(itemId);
    node.nodeClass = nodeClass;
    node.browseName = QualifiedName{kTagNamespace, name};
    node.displayName = LocalizedText{"", name};
    return node;
}

} // namespace

void AddressSpace::addTagNodes(SODaSNameSpaceRoot& root) {
    // Iterative walk: the loader bounds the depth, but the walk need not rely on it.
    struct Pending {
        SOCmnPointer<SODaSNode> branch;
        NodeId parent;
    };
    std::vector<Pending> pending;
    for (auto& device : root.getBranches())
        pending.push_back({device, NodeId(0, NodeIds::kObjectsFolder)});
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        std::string itemId = next.branch->getItemID();
        Node folder = namedNode(itemId, next.branch->getName(), NodeClass::kObject);
        folder.typeDefinition = ObjectType::kFolderType;
        add(std::move(folder));
        addReference(next.parent, RefType::kOrganizes, tagNodeId(itemId));
        addReference(tagNodeId(itemId), RefType::kHasTypeDefinition,
                     NodeId(0, ObjectType::kFolderType));

        for (auto& tag : next.branch->getLeaves()) {
            std::string tagItemId = tag->getItemID();
            Node variable = namedNode(tagItemId, tag->getName(), NodeClass::kVariable);
            VARTYPE native = tag->getNativeDatatype();
            variable.typeDefinition = ObjectType::kBaseDataVariableType;
            variable.dataType = dataTypeOf(native);
            variable.valueRank = valueRankOf(native);
            if (native & VT_ARRAY)
                variable.arrayDimensions = {
                    static_cast<uint32_t>(tag->getCache()->getValue().size())};
            variable.accessLevel = static_cast<uint8_t>(tag->getAccessRights() & kAccessRightsMask);
            if (auto property = tag->getProperty(kPropertyItemDescription))
                variable.description = LocalizedText{"", property->getConstantValue().toUtf8()};
            variable.tag = tag;
            add(std::move(variable));
            addReference(tagNodeId(itemId), RefType::kOrganizes, tagNodeId(tagItemId));
            addForwardReference(tagNodeId(tagItemId), RefType::kHasTypeDefinition,
                                NodeId(0, ObjectType::kBaseDataVariableType));
        }
        auto children = next.branch->getBranches();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back({*it, tagNodeId(itemId)});
    }
}

} // namespace vorn::ua
