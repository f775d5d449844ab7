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
}

const Node* AddressSpace::find(const NodeId& id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
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
    NodeId id = node.id;
    auto [it, inserted] = nodes_.emplace(id, std::move(node));
    return it->second;
}

void AddressSpace::addReference(const NodeId& source, uint32_t type, const NodeId& target) {
    auto from = nodes_.find(source);
    auto to = nodes_.find(target);
    if (from == nodes_.end() || to == nodes_.end())
        return;
    from->second.references.push_back({type, true, target});
    to->second.references.push_back({type, false, source});
    if (type == RefType::kHasSubtype && source.ns == 0 && target.ns == 0)
        supertype_[target.numeric] = source.numeric;
}

} // namespace vorn::ua
