#include "AddressSpace.h"

#include "toolkit/ua/UaIds.h"

namespace vorn::ua {

AddressSpace::AddressSpace(SODaSEntry& entry, const ServerInfo& info,
                           const std::vector<ExtraNodes>& extraNodes) {
    addStandardNodes(info);
    if (auto root = entry.getNameSpaceRoot())
        addTagNodes(*root);
    uint16_t namespaceIndex = kTagNamespace;
    for (const ExtraNodes& extra : extraNodes)
        if (extra.build)
            extra.build(*this, ++namespaceIndex);
    // The space is read-only from here on: the room vectors kept for growing is waste.
    for (Node& node : nodes_)
        node.references.shrink_to_fit();
}

NodePtr AddressSpace::find(const NodeId& id) const {
    if (id.ns == kTagNamespace && id.kind == NodeId::Kind::string)
        return makeTagNode(id);
    auto it = index_.find(&id);
    if (it == index_.end())
        return nullptr;
    // Shares no count: stored nodes live as long as the space.
    return NodePtr(std::shared_ptr<const Node>(), it->second);
}

std::vector<Reference> AddressSpace::referencesOf(const Node& node) const {
    if (node.id.ns == kTagNamespace && (node.branch || node.tag))
        return tagReferencesOf(node);
    if (&node == objectsNode_ && root_)
        return deviceFoldersOf(node);
    return node.references;
}

bool AddressSpace::isSubtypeOf(uint32_t type, uint32_t base) const {
    // The type tree is shallow; the bound guards against a cycle built by mistake.
    for (int depth = 0; depth < 32; ++depth) {
        if (type == base)
            return true;
        auto it = supertype_.find(type);
        if (it == supertype_.end())
            return false;
        type = it->second;
    }
    return false;
}

Node& AddressSpace::add(Node node) {
    // The first node of an id stays, as a second add of it is a building mistake.
    if (auto it = index_.find(&node.id); it != index_.end())
        return *it->second;
    Node& added = nodes_.emplace_back(std::move(node));
    index_.emplace(&added.id, &added);
    return added;
}

Node& AddressSpace::at(const NodeId& id) {
    if (auto it = index_.find(&id); it != index_.end())
        return *it->second;
    Node node;
    node.id = id;
    return add(std::move(node));
}

void AddressSpace::addReference(const NodeId& source, uint32_t type, const NodeId& target) {
    auto from = index_.find(&source);
    auto to = index_.find(&target);
    if (from == index_.end() || to == index_.end())
        return;
    from->second->references.push_back({type, true, target});
    to->second->references.push_back({type, false, source});
    if (type == RefType::kHasSubtype && source.ns == 0 && target.ns == 0)
        supertype_[target.numeric] = source.numeric;
}

void AddressSpace::addForwardReference(const NodeId& source, uint32_t type, const NodeId& target) {
    auto from = index_.find(&source);
    if (from != index_.end() && index_.count(&target) != 0)
        from->second->references.push_back({type, true, target});
}

} // namespace vorn::ua
