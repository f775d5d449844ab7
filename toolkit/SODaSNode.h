// The name space: branches (nodes) holding branches and tags (leaves), under one root that
// sets the tree delimiter joining names into item IDs.
//
// Names keep item IDs unambiguous: a branch or leaf is refused when its name is empty, holds
// the tree delimiter or a refused character, or is already the name of a sibling (branch or
// leaf) under the same parent. The name space is built before clients connect and only read
// afterwards; each node still guards its children with a lock.
#pragma once

#include "toolkit/SOCmnObject.h"

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorn {

class SODaSNode;
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
enum class AddRefusal { none, emptyName, refusedCharacter, duplicateName };

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

    std::vector<SOCmnPointer<SODaSNode>> getBranches() const;
    std::vector<SOCmnPointer<SODaSTag>> getLeaves() const;
    size_t branchCount() const;
    size_t leafCount() const;

    char treeDelimiter() const;
    virtual bool isRoot() const { return false; }

protected:
    ~SODaSNode() override;

private:
    AddRefusal checkName(const std::string& name) const;
    const SODaSNode* root() const;

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
    void setTreeDelimiter(char delimiter) { delimiter_ = delimiter; }
    char getTreeDelimiter() const { return delimiter_; }
    void setRefusedChars(std::string chars) { refused_ = std::move(chars); }
    const std::string& getRefusedChars() const { return refused_; }
    bool isRoot() const override { return true; }

    // The tag of an item ID, or null.
    SOCmnPointer<SODaSTag> findTag(const std::string& itemId) const;
    // The branch of a path of branch names ("" is the root itself), or null.
    SOCmnPointer<SODaSNode> findNode(const std::string& path) const;

private:
    char delimiter_ = '.';
    std::string refused_;
};

} // namespace vorn
