// The name space: branches (nodes) holding branches and tags (leaves), under one root that
// sets the tree delimiter joining names into item IDs.
//
// Names keep item IDs unambiguous: a branch or leaf is refused when its name is empty, holds a
// refused character, is already the name of a sibling (branch or leaf) under the same parent,
// or when its item ID is already that of an earlier element (a name may hold the delimiter, so
// "A.B" under the root and "B" under "A" would share one). The root indexes the item IDs, so
// they resolve whatever the names hold. The name space is built before clients connect and only
// read afterwards; each node still guards its children with a lock.
#pragma once

#include "toolkit/SOCmnObject.h"

#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vorn {

class SODaSNode;
class SODaSNameSpaceRoot;
class SODaSTag;

class SODaSElement : public SOCmnObject {
public:
    const std::string& getName() const { return name_; }
    // Names are fixed once the element is in the name space: false, and no change, then.
    bool setName(std::string name) {
        if (parent_)
            return false;
        name_ = std::move(name);
        return true;
    }
    // The branch holding this element; null for the root and detached elements.
    SODaSNode* getParentBranch() const { return parent_; }
    // Names from below the root down to this element, joined by the root's delimiter.
    std::string getItemID() const;

protected:
    friend class SODaSNode;
    std::string name_;
    SODaSNode* parent_ = nullptr; // the parent holds a reference on its children
};

// Why a branch or leaf was not added.
enum class AddRefusal { none, emptyName, refusedCharacter, duplicateName, duplicateItemId };

class SODaSNode : public SODaSElement {
public:
    SODaSNode() = default;
    explicit SODaSNode(std::string name) { name_ = std::move(name); }

    // Direct children only; a counted reference, or null.
    SOCmnPointer<SODaSNode> findBranch(const std::string& name) const;
    SOCmnPointer<SODaSTag> findLeaf(const std::string& name) const;
    // The node keeps its own reference; the caller keeps (and releases) its own.
    bool addBranch(SODaSNode* branch, AddRefusal* why = nullptr);
    bool addLeaf(SODaSTag* leaf, AddRefusal* why = nullptr);

    // Takes the child of that name (branch or leaf, with what it holds) out of the tree: its
    // item IDs are free again and it no longer names its parent. The caller's references keep
    // it alive. False when there is no child of that name.
    bool removeChild(const std::string& name);

    std::vector<SOCmnPointer<SODaSNode>> getBranches() const;
    std::vector<SOCmnPointer<SODaSTag>> getLeaves() const;
    size_t branchCount() const;
    size_t leafCount() const;

    char treeDelimiter() const;
    virtual bool isRoot() const { return false; }

protected:
    ~SODaSNode() override;
    // Indexes an element just added, with what it already holds, in the root's item IDs.
    void indexAdded(SODaSElement& child);
    // Frees the item IDs of an element about to leave, and of what it holds.
    void unindexRemoved(SODaSElement& child);

private:
    AddRefusal checkName(const std::string& name) const;
    // Also refuses a name whose item ID below this node an earlier element holds.
    AddRefusal checkNewChild(const SODaSElement& child) const;
    SODaSNameSpaceRoot* root() const;

    // Where a child of a given name sits: among the branches or the leaves, at which index.
    struct ChildSlot {
        bool isBranch;
        size_t index;
    };

    mutable std::mutex mutex_;
    std::vector<SOCmnPointer<SODaSNode>> branches_;
    std::vector<SOCmnPointer<SODaSTag>> leaves_;
    // Keys view the children's names, which do not change once they are added.
    std::unordered_map<std::string_view, ChildSlot> byName_;
};

// Plain branches of the name space.
using SODaSNodeDefault = SODaSNode;

class SODaSNameSpaceRoot : public SODaSNode {
public:
    // Item IDs are indexed anew for the new delimiter; of two that become equal the first stays.
    void setTreeDelimiter(char delimiter);
    char getTreeDelimiter() const { return delimiter_; }
    void setRefusedChars(std::string chars) { refused_ = std::move(chars); }
    const std::string& getRefusedChars() const { return refused_; }
    bool isRoot() const override { return true; }

    // The tag of an item ID, or null.
    SOCmnPointer<SODaSTag> findTag(const std::string& itemId) const;
    // The branch or tag of an item ID, or null.
    SOCmnPointer<SODaSElement> findElement(const std::string& itemId) const;
    // The branch of a path of branch names ("" is the root itself), or null.
    SOCmnPointer<SODaSNode> findNode(const std::string& path) const;

    // Held exclusively while a reload changes the tree, shared by readers that must see the
    // tree whole (the OPC UA front's lookups): the old tree or the new, never half of each.
    std::shared_mutex& changeLock() const { return changeMutex_; }

private:
    friend class SODaSNode;
    bool isItemIdTaken(const std::string& itemId) const;
    // Records `element` under its item ID unless an earlier element holds it.
    void claimItemId(SODaSElement& element);
    void releaseItemId(SODaSElement& element);
    SODaSElement* elementOf(const std::string& itemId) const;

    // The index keeps no item IDs, one pointer per element: an element is hashed and compared
    // by the names on its path, joined by the delimiter, which are fixed once it is in the tree.
    struct ItemIdHash {
        using is_transparent = void;
        const SODaSNameSpaceRoot* root;
        size_t operator()(std::string_view itemId) const noexcept;
        size_t operator()(const SODaSElement* element) const noexcept;
    };
    struct ItemIdEqual {
        using is_transparent = void;
        const SODaSNameSpaceRoot* root;
        bool operator()(const SODaSElement* a, const SODaSElement* b) const;
        bool operator()(std::string_view itemId, const SODaSElement* element) const noexcept;
        bool operator()(const SODaSElement* element, std::string_view itemId) const noexcept {
            return (*this)(itemId, element);
        }
    };

    char delimiter_ = '.';
    std::string refused_;
    mutable std::mutex indexMutex_;
    mutable std::shared_mutex changeMutex_;
    // The tree holds the elements.
    std::unordered_set<SODaSElement*, ItemIdHash, ItemIdEqual> byItemId_{0, ItemIdHash{this},
                                                                         ItemIdEqual{this}};
};

} // namespace vorn
