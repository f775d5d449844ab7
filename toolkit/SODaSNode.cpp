#include "SODaSNode.h"

#include "toolkit/SODaSTag.h"

namespace vorn {

std::string SODaSElement::getItemID() const {
    std::vector<const std::string*> names;
    const SODaSElement* top = this;
    for (; top->parent_; top = top->parent_)
        names.push_back(&top->name_);
    char delimiter = '.';
    auto* topNode = dynamic_cast<const SODaSNode*>(top);
    if (topNode && topNode->isRoot())
        delimiter = static_cast<const SODaSNameSpaceRoot*>(topNode)->getTreeDelimiter();
    else
        names.push_back(&top->name_); // a detached element names itself
    std::string id;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!id.empty())
            id.push_back(delimiter);
        id += **it;
    }
    return id;
}

SODaSNode::~SODaSNode() {
    for (auto& branch : branches_)
        branch->parent_ = nullptr;
    for (auto& leaf : leaves_)
        leaf->parent_ = nullptr;
}

const SODaSNode* SODaSNode::root() const {
    const SODaSNode* node = this;
    while (node->parent_)
        node = node->parent_;
    return node->isRoot() ? node : nullptr;
}

char SODaSNode::treeDelimiter() const {
    const SODaSNode* top = root();
    return top ? static_cast<const SODaSNameSpaceRoot*>(top)->getTreeDelimiter() : '.';
}

AddRefusal SODaSNode::checkName(const std::string& name) const {
    if (name.empty())
        return AddRefusal::emptyName;
    const SODaSNode* top = root();
    std::string refused(1, treeDelimiter());
    if (top)
        refused += static_cast<const SODaSNameSpaceRoot*>(top)->getRefusedChars();
    if (name.find_first_of(refused) != std::string::npos)
        return AddRefusal::refusedCharacter;
    if (byName_.count(name))
        return AddRefusal::duplicateName;
    return AddRefusal::none;
}

SOCmnPointer<SODaSNode> SODaSNode::findBranch(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = byName_.find(name);
    if (it == byName_.end() || !it->second.isBranch)
        return nullptr;
    return branches_[it->second.index];
}

SOCmnPointer<SODaSTag> SODaSNode::findLeaf(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = byName_.find(name);
    if (it == byName_.end() || it->second.isBranch)
        return nullptr;
    return leaves_[it->second.index];
}

bool SODaSNode::addBranch(SODaSNode* branch, AddRefusal* why) {
    std::lock_guard lock(mutex_);
    AddRefusal refusal =
        branch && !branch->parent_ ? checkName(branch->getName()) : AddRefusal::duplicateName;
    if (why)
        *why = refusal;
    if (refusal != AddRefusal::none)
        return false;
    branch->parent_ = this;
    branches_.push_back(SOCmnPointer<SODaSNode>::share(branch));
    byName_.emplace(branch->getName(), ChildSlot{true, branches_.size() - 1});
    return true;
}

bool SODaSNode::addLeaf(SODaSTag* leaf, AddRefusal* why) {
    std::lock_guard lock(mutex_);
    AddRefusal refusal =
        leaf && !leaf->parent_ ? checkName(leaf->getName()) : AddRefusal::duplicateName;
    if (why)
        *why = refusal;
    if (refusal != AddRefusal::none)
        return false;
    leaf->parent_ = this;
    leaves_.push_back(SOCmnPointer<SODaSTag>::share(leaf));
    byName_.emplace(leaf->getName(), ChildSlot{false, leaves_.size() - 1});
    return true;
}

std::vector<SOCmnPointer<SODaSNode>> SODaSNode::getBranches() const {
    std::lock_guard lock(mutex_);
    return branches_;
}

std::vector<SOCmnPointer<SODaSTag>> SODaSNode::getLeaves() const {
    std::lock_guard lock(mutex_);
    return leaves_;
}

size_t SODaSNode::branchCount() const {
    std::lock_guard lock(mutex_);
    return branches_.size();
}

size_t SODaSNode::leafCount() const {
    std::lock_guard lock(mutex_);
    return leaves_.size();
}

SOCmnPointer<SODaSNode> SODaSNameSpaceRoot::findNode(const std::string& path) const {
    SOCmnPointer<SODaSNode> node =
        SOCmnPointer<SODaSNode>::share(const_cast<SODaSNameSpaceRoot*>(this));
    size_t start = 0;
    while (node && start < path.size()) {
        size_t end = path.find(delimiter_, start);
        if (end == std::string::npos)
            end = path.size();
        node = node->findBranch(path.substr(start, end - start));
        start = end + 1;
    }
    return node;
}

SOCmnPointer<SODaSTag> SODaSNameSpaceRoot::findTag(const std::string& itemId) const {
    size_t last = itemId.rfind(delimiter_);
    if (last == std::string::npos)
        return findLeaf(itemId);
    SOCmnPointer<SODaSNode> branch = findNode(itemId.substr(0, last));
    return branch ? branch->findLeaf(itemId.substr(last + 1)) : nullptr;
}

} // namespace vorn
