// The toolkit's name space as UA nodes: each branch below the root (devices first, then the
// file's branches) a folder, each tag a variable with its DataType, value rank, array size,
// access level and description. Only the device folders' place under Objects (and the
// folders' inverse type references) is stored; every node of namespace 1 is made from its
// toolkit element when looked up, and its references from the element's place in the tree.
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

// Where a folder or variable of namespace 1 hangs: under Objects for a device, else under the
// folder of its branch.
NodeId parentOf(const SODaSElement& element) {
    const SODaSNode* parent = element.getParentBranch();
    if (!parent || parent->isRoot())
        return NodeId(0, NodeIds::kObjectsFolder);
    return tagNodeId(parent->getItemID());
}

// Made in place: a Read of 1,000 tags makes 1,000 nodes.
std::shared_ptr<Node> namedNode(const NodeId& id, const std::string& name, uint32_t nodeClass) {
    auto node = std::make_shared<Node>();
    node->id = id;
    node->nodeClass = nodeClass;
    node->browseName = QualifiedName{kTagNamespace, name};
    node->displayName = LocalizedText{"", name};
    return node;
}

} // namespace

void AddressSpace::addTagNodes(SODaSNameSpaceRoot& root) {
    root_ = SOCmnPointer<SODaSNameSpaceRoot>::share(&root);
    Node& objects = at(NodeId(0, NodeIds::kObjectsFolder));
    Node& folderType = at(NodeId(0, ObjectType::kFolderType));
    // Iterative walk: the loader bounds the depth, but the walk need not rely on it.
    std::vector<SOCmnPointer<SODaSNode>> pending = root.getBranches();
    for (const auto& device : pending)
        objects.references.push_back({RefType::kOrganizes, true, tagNodeId(device->getItemID())});
    std::reverse(pending.begin(), pending.end()); // folders in tree order
    while (!pending.empty()) {
        SOCmnPointer<SODaSNode> next = std::move(pending.back());
        pending.pop_back();
        folderType.references.push_back(
            {RefType::kHasTypeDefinition, false, tagNodeId(next->getItemID())});
        auto children = next->getBranches();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(std::move(*it));
    }
}

NodePtr AddressSpace::makeTagNode(const NodeId& id) const {
    if (!root_)
        return nullptr;
    SOCmnPointer<SODaSElement> element = root_->findElement(id.text);
    // Tags right below the root belong to no device folder and are not shown.
    if (!element || !element->getParentBranch())
        return nullptr;
    if (auto* branch = dynamic_cast<SODaSNode*>(element.get())) {
        auto folder = namedNode(id, branch->getName(), NodeClass::kObject);
        folder->typeDefinition = ObjectType::kFolderType;
        folder->branch = SOCmnPointer<SODaSNode>::share(branch);
        return folder;
    }
    auto* tag = dynamic_cast<SODaSTag*>(element.get());
    if (!tag || tag->getParentBranch()->isRoot())
        return nullptr;
    auto variable = namedNode(id, tag->getName(), NodeClass::kVariable);
    VARTYPE native = tag->getNativeDatatype();
    variable->typeDefinition = ObjectType::kBaseDataVariableType;
    variable->dataType = dataTypeOf(native);
    variable->valueRank = valueRankOf(native);
    if (native & VT_ARRAY)
        variable->arrayDimensions = {static_cast<uint32_t>(tag->getCache()->getValue().size())};
    variable->accessLevel = static_cast<uint8_t>(tag->getAccessRights() & kAccessRightsMask);
    // The description is read from the tag only when asked for (AttributeReader).
    variable->tag = SOCmnPointer<SODaSTag>::share(tag);
    return variable;
}

std::vector<Reference> AddressSpace::tagReferencesOf(const Node& node) const {
    std::vector<Reference> references;
    if (node.tag) {
        references.push_back({RefType::kOrganizes, false, parentOf(*node.tag)});
        references.push_back(
            {RefType::kHasTypeDefinition, true, NodeId(0, ObjectType::kBaseDataVariableType)});
        return references;
    }
    const SODaSNode& branch = *node.branch;
    references.push_back({RefType::kOrganizes, false, parentOf(branch)});
    references.push_back({RefType::kHasTypeDefinition, true, NodeId(0, ObjectType::kFolderType)});
    for (const auto& tag : branch.getLeaves())
        references.push_back({RefType::kOrganizes, true, tagNodeId(tag->getItemID())});
    for (const auto& child : branch.getBranches())
        references.push_back({RefType::kOrganizes, true, tagNodeId(child->getItemID())});
    return references;
}

} // namespace vorn::ua
