#include "NamedNodes.h"

namespace vorn::ua {

Node namedNode(uint16_t ns, const std::string& id, const std::string& name, uint32_t nodeClass,
               uint32_t typeDefinition) {
    Node node;
    node.id = NodeId::ofString(ns, id);
    node.nodeClass = nodeClass;
    node.browseName = QualifiedName{ns, name};
    node.displayName = LocalizedText{"", name};
    node.typeDefinition = typeDefinition;
    return node;
}

} // namespace vorn::ua
