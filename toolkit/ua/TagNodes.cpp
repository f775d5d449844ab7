// The toolkit's name space as UA nodes: each branch below the root (devices first, then the
// file's branches) a folder, each tag a variable with its DataType, value rank, array size,
// access level and description; a tag with engineering units an AnalogItemType with its
// EURange and EngineeringUnits properties. Only the device folders' place under Objects (and
// the folders' inverse type references) is stored; every node of namespace 1 is made from its
// toolkit element when looked up, and its references from the element's place in the tree.
#include "AddressSpace.h"
#include "toolkit/ua/AnalogItems.h"
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

// The item ID of a tag's property node ("P1.Power.EURange" -> "P1.Power"), empty when `text`
// does not end with one of the properties' names.
std::string propertyOwner(const std::string& text, std::string& property) {
    for (const char* name : {kEuRangeProperty, kEngineeringUnitsProperty}) {
        const std::string suffix = std::string(".") + name;
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            property = name;
            return text.substr(0, text.size() - suffix.size());
        }
    }
    return {};
}

} // namespace

void AddressSpace::addTagNodes(SODaSNameSpaceRoot& root) {
    root_ = SOCmnPointer<SODaSNameSpaceRoot>::share(&root);
    Node& objects = at(NodeId(0, NodeIds::kObjectsFolder));
    Node& folderType = at(NodeId(0, ObjectType::kFolderType));
    // Iterative walk: the loader bounds the depth, but the walk need not rely on it.
    std::vector<SOCmnPointer<SODaSNode>> pending = root.getBranches();
    // The Objects folder's device folders are looked up when browsed (see referencesOf), as a
    // reload may add and remove devices.
    objectsNode_ = &objects;
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
    std::shared_lock whole(root_->changeLock());
    SOCmnPointer<SODaSElement> element = root_->findElement(id.text);
    // An element of the name space comes first: a tag named "Power.EURange" beside a tag
    // "Power" hides that tag's property node rather than the other way round.
    if (!element)
        return makePropertyNode(id);
    // Tags right below the root belong to no device folder and are not shown.
    if (!element->getParentBranch())
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
    variable->typeDefinition =
        engineeringUnitsOf(*tag) ? ObjectType::kAnalogItemType : ObjectType::kBaseDataVariableType;
    variable->dataType = dataTypeOf(native);
    variable->valueRank = valueRankOf(native);
    if (native & VT_ARRAY)
        variable->arrayDimensions = {static_cast<uint32_t>(tag->getCache()->getValue().size())};
    variable->accessLevel = static_cast<uint8_t>(tag->getAccessRights() & kAccessRightsMask);
    // The description is read from the tag only when asked for (AttributeReader).
    variable->tag = SOCmnPointer<SODaSTag>::share(tag);
    return variable;
}

NodePtr AddressSpace::makePropertyNode(const NodeId& id) const {
    std::string property;
    const std::string owner = propertyOwner(id.text, property);
    if (owner.empty())
        return nullptr;
    SOCmnPointer<SODaSElement> element = root_->findElement(owner);
    auto* tag = dynamic_cast<SODaSTag*>(element.get());
    if (!tag || !tag->getParentBranch() || tag->getParentBranch()->isRoot())
        return nullptr;
    const std::optional<EngineeringUnits> units = engineeringUnitsOf(*tag);
    const bool isRange = property == kEuRangeProperty;
    if (!units || (!isRange && units->units.empty()))
        return nullptr;
    auto node = std::make_shared<Node>();
    node->id = id;
    node->nodeClass = NodeClass::kVariable;
    node->browseName = QualifiedName{0, property}; // the standard properties' names
    node->displayName = LocalizedText{"", property};
    node->typeDefinition = ObjectType::kPropertyType;
    node->dataType = isRange ? DataTypeId::kRange : DataTypeId::kEUInformation;
    node->valueRank = -1;
    node->accessLevel = 0x01;
    node->value = [value = isRange ? rangeOf(*units) : euInformationOf(*units)] {
        return Variant::scalar(BuiltinType::kExtensionObject, value);
    };
    node->references = {
        {RefType::kHasTypeDefinition, true, NodeId(0, ObjectType::kPropertyType)},
        {RefType::kHasProperty, false, tagNodeId(owner)},
    };
    return node;
}

std::vector<Reference> AddressSpace::deviceFoldersOf(const Node& objects) const {
    std::vector<Reference> references = objects.references;
    std::shared_lock whole(root_->changeLock());
    for (const auto& device : root_->getBranches())
        references.push_back({RefType::kOrganizes, true, tagNodeId(device->getItemID())});
    return references;
}

std::vector<Reference> AddressSpace::tagReferencesOf(const Node& node) const {
    std::shared_lock whole(root_->changeLock());
    std::vector<Reference> references;
    if (node.tag) {
        references.push_back({RefType::kOrganizes, false, parentOf(*node.tag)});
        references.push_back({RefType::kHasTypeDefinition, true, NodeId(0, node.typeDefinition)});
        if (const std::optional<EngineeringUnits> units = engineeringUnitsOf(*node.tag)) {
            const std::string& itemId = node.id.text;
            references.push_back(
                {RefType::kHasProperty, true, tagNodeId(itemId + "." + kEuRangeProperty)});
            if (!units->units.empty())
                references.push_back({RefType::kHasProperty, true,
                                      tagNodeId(itemId + "." + kEngineeringUnitsProperty)});
        }
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
