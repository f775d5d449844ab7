// The nodes clients browse: the standard nodes of namespace 0 (folders, the Server object with
// its status, the type trees) and, in namespace 1, the toolkit's name space as device folders,
// branch folders and tag variables with NodeId ns=1;s=<item ID>. The standard and extra nodes
// are built once at start; the nodes of namespace 1 are not stored but made when asked for,
// from the toolkit's tree (which changes only in a reload, under the tree's change lock): a large
// plant's 100,000s of tags would otherwise each keep a second copy of their item ID, name,
// description and references here. Read-only after start, so any thread may read it without
// a lock.
#pragma once

#include "toolkit/SODaSEntry.h"
#include "toolkit/SODaSTag.h"
#include "toolkit/ua/ServerInfo.h"
#include "toolkit/ua/UaTypes.h"

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace vorn::ua {

constexpr uint16_t kTagNamespace = 1;

struct Reference {
    uint32_t typeId; // reference type in namespace 0
    bool isForward;
    NodeId target;
};

struct Node {
    NodeId id;
    uint32_t nodeClass = 0;
    QualifiedName browseName;
    LocalizedText displayName;
    LocalizedText description; // tags: read from the tag when asked for
    std::vector<Reference> references;
    uint32_t typeDefinition = 0; // objects and variables

    // Variables.
    uint32_t dataType = 0;
    int32_t valueRank = -1;
    std::vector<uint32_t> arrayDimensions;
    uint8_t accessLevel = 0x01;
    std::function<Variant()> value; // standard variables
    SOCmnPointer<SODaSTag> tag;     // toolkit tags; the item ID is the NodeId's text
    SOCmnPointer<SODaSNode> branch; // toolkit branches (folders of namespace 1)

    // Types.
    bool isAbstract = false;
    bool symmetric = false;
    LocalizedText inverseName;
};

class AddressSpace;

// A node found: either one the space stores (held without a count, as the space outlives every
// lookup) or one made for the lookup from the toolkit's tree, which the holder owns.
using NodePtr = std::shared_ptr<const Node>;

// Nodes a server program shows beside the toolkit's name space, in a namespace of their own
// (appended to the NamespaceArray after the tags' namespace; `build` receives its index).
// Built once at start, like the rest.
struct ExtraNodes {
    std::string namespaceUri;
    std::function<void(AddressSpace& space, uint16_t namespaceIndex)> build;
};

class AddressSpace {
public:
    AddressSpace(SODaSEntry& entry, const ServerInfo& info,
                 const std::vector<ExtraNodes>& extraNodes = {});
    AddressSpace(const AddressSpace&) = delete; // the index points into the nodes
    AddressSpace& operator=(const AddressSpace&) = delete;

    NodePtr find(const NodeId& id) const;
    // The node's references in browse order: those stored, or for the toolkit's branches and
    // tags those of their place in the tree.
    std::vector<Reference> referencesOf(const Node& node) const;
    // True when `type` is `base` or one of its subtypes (HasSubtype, namespace 0).
    bool isSubtypeOf(uint32_t type, uint32_t base) const;
    // The nodes stored (namespace 0 and the extra namespaces).
    size_t size() const { return index_.size(); }

    // For building: adds a node and the inverse of each of its references on the target.
    Node& add(Node node);
    void addReference(const NodeId& source, uint32_t type, const NodeId& target);
    // A reference held by its source only: a type definition shared by thousands of tags
    // would otherwise carry one inverse reference per tag.
    void addForwardReference(const NodeId& source, uint32_t type, const NodeId& target);

private:
    void addStandardNodes(const ServerInfo& info);
    void addTagNodes(SODaSNameSpaceRoot& root);
    NodePtr makeTagNode(const NodeId& id) const;
    // "<item ID>.EURange" or "<item ID>.EngineeringUnits" of a tag with engineering units.
    NodePtr makePropertyNode(const NodeId& id) const;
    std::vector<Reference> tagReferencesOf(const Node& node) const;
    // The Objects folder's stored references and the device folders of the tree as it is now.
    std::vector<Reference> deviceFoldersOf(const Node& objects) const;

    // The node, created on first use (building only).
    Node& at(const NodeId& id);

    // Nodes stay where they are created; the index keys each by its own id, so that an
    // item ID is stored once per node rather than again in the key.
    struct IdPointerHash {
        size_t operator()(const NodeId* id) const { return NodeIdHash()(*id); }
    };
    struct IdPointerEqual {
        bool operator()(const NodeId* a, const NodeId* b) const { return *a == *b; }
    };
    std::deque<Node> nodes_;
    std::unordered_map<const NodeId*, Node*, IdPointerHash, IdPointerEqual> index_;
    std::unordered_map<uint32_t, uint32_t> supertype_;
    SOCmnPointer<SODaSNameSpaceRoot> root_; // namespace 1; null without a name space
    const Node* objectsNode_ = nullptr;     // the Objects folder, once the tags are added
};

} // namespace vorn::ua
