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

SODaSNameSpaceRoot* SODaSNode::root() const {
    const SODaSNode* node = this;
    while (node->parent_)
        node = node->parent_;
    return node->isRoot() ? static_cast<SODaSNameSpaceRoot*>(const_cast<SODaSNode*>(node))
                          : nullptr;
}

char SODaSNode::treeDelimiter() const {
    const SODaSNameSpaceRoot* top = root();
    return top ? top->getTreeDelimiter() : '.';
}

AddRefusal SODaSNode::checkName(const std::string& name) const {
    if (name.empty())
        return AddRefusal::emptyName;
    const SODaSNameSpaceRoot* top = root();
    if (top && name.find_first_of(top->getRefusedChars()) != std::string::npos)
        return AddRefusal::refusedCharacter;
    if (byName_.count(name))
        return AddRefusal::duplicateName;
    return AddRefusal::none;
}

AddRefusal SODaSNode::checkNewChild(const SODaSElement& child) const {
    const AddRefusal refusal = checkName(child.getName());
    if (refusal != AddRefusal::none)
        return refusal;
    const SODaSNameSpaceRoot* top = root();
    if (!top)
        return AddRefusal::none;
    const std::string parentId = this == top ? std::string() : getItemID();
    const std::string id =
        parentId.empty() ? child.getName() : parentId + top->getTreeDelimiter() + child.getName();
    return top->isItemIdTaken(id) ? AddRefusal::duplicateItemId : AddRefusal::none;
}

namespace {
// Visits an element and, for a branch, everything below it; walked without recursion, since a
// branch may arrive with content of its own at any depth.
template <class Visit> void forSubtree(SODaSElement& top, Visit visit) {
    std::vector<SODaSElement*> pending{&top};
    while (!pending.empty()) {
        SODaSElement* next = pending.back();
        pending.pop_back();
        visit(*next);
        if (auto* branch = dynamic_cast<SODaSNode*>(next)) {
            for (const auto& leaf : branch->getLeaves())
                pending.push_back(leaf.get());
            for (const auto& sub : branch->getBranches())
                pending.push_back(sub.get());
        }
    }
}
} // namespace

void SODaSNode::indexAdded(SODaSElement& child) {
    if (SODaSNameSpaceRoot* top = root())
        forSubtree(child, [top](SODaSElement& element) { top->claimItemId(element); });
}

void SODaSNode::unindexRemoved(SODaSElement& child) {
    if (SODaSNameSpaceRoot* top = root())
        forSubtree(child, [top](SODaSElement& element) { top->releaseItemId(element); });
}

bool SODaSNode::removeChild(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto it = byName_.find(name);
    if (it == byName_.end())
        return false;
    const ChildSlot slot = it->second;
    byName_.erase(it);
    SODaSElement& child = slot.isBranch ? static_cast<SODaSElement&>(*branches_[slot.index])
                                        : static_cast<SODaSElement&>(*leaves_[slot.index]);
    unindexRemoved(child); // while its item ID still leads through this node
    child.parent_ = nullptr;
    // The later children move up one place; their slots follow.
    if (slot.isBranch)
        branches_.erase(branches_.begin() + static_cast<std::ptrdiff_t>(slot.index));
    else
        leaves_.erase(leaves_.begin() + static_cast<std::ptrdiff_t>(slot.index));
    for (auto& [childName, other] : byName_)
        if (other.isBranch == slot.isBranch && other.index > slot.index)
            --other.index;
    return true;
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
        branch && !branch->parent_ ? checkNewChild(*branch) : AddRefusal::duplicateName;
    if (why)
        *why = refusal;
    if (refusal != AddRefusal::none)
        return false;
    branch->parent_ = this;
    branches_.push_back(SOCmnPointer<SODaSNode>::share(branch));
    byName_.emplace(branch->getName(), ChildSlot{true, branches_.size() - 1});
    indexAdded(*branch);
    return true;
}

bool SODaSNode::addLeaf(SODaSTag* leaf, AddRefusal* why) {
    std::lock_guard lock(mutex_);
    AddRefusal refusal = leaf && !leaf->parent_ ? checkNewChild(*leaf) : AddRefusal::duplicateName;
    if (why)
        *why = refusal;
    if (refusal != AddRefusal::none)
        return false;
    leaf->parent_ = this;
    leaves_.push_back(SOCmnPointer<SODaSTag>::share(leaf));
    byName_.emplace(leaf->getName(), ChildSlot{false, leaves_.size() - 1});
    indexAdded(*leaf);
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

void SODaSNameSpaceRoot::setTreeDelimiter(char delimiter) {
    delimiter_ = delimiter;
    {
        std::lock_guard lock(indexMutex_);
        byItemId_.clear();
    }
    for (const auto& branch : getBranches())
        indexAdded(*branch);
    for (const auto& leaf : getLeaves())
        indexAdded(*leaf);
}

namespace {

// FNV-1a over the item ID's bytes from the last to the first, so that an element can be hashed
// walking up from itself to the root, without building its item ID.
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

void mixBackwards(uint64_t& hash, std::string_view bytes) {
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        hash ^= static_cast<unsigned char>(*it);
        hash *= kFnvPrime;
    }
}

// The element's parent below the root, or null when the element hangs right below the root.
const SODaSElement* upper(const SODaSElement& element) {
    const SODaSNode* parent = element.getParentBranch();
    return parent && !parent->isRoot() ? parent : nullptr;
}

} // namespace

size_t SODaSNameSpaceRoot::ItemIdHash::operator()(std::string_view itemId) const noexcept {
    uint64_t hash = kFnvOffset;
    mixBackwards(hash, itemId);
    return static_cast<size_t>(hash);
}

size_t SODaSNameSpaceRoot::ItemIdHash::operator()(const SODaSElement* element) const noexcept {
    const std::string_view delimiter(&root->delimiter_, 1);
    uint64_t hash = kFnvOffset;
    for (const SODaSElement* at = element; at; at = upper(*at)) {
        if (at != element)
            mixBackwards(hash, delimiter);
        mixBackwards(hash, at->getName());
    }
    return static_cast<size_t>(hash);
}

bool SODaSNameSpaceRoot::ItemIdEqual::operator()(const SODaSElement* a,
                                                 const SODaSElement* b) const {
    return a == b || a->getItemID() == b->getItemID();
}

bool SODaSNameSpaceRoot::ItemIdEqual::operator()(std::string_view itemId,
                                                 const SODaSElement* element) const noexcept {
    for (const SODaSElement* at = element;;) {
        const std::string& name = at->getName();
        if (itemId.size() < name.size() || itemId.substr(itemId.size() - name.size()) != name)
            return false;
        itemId.remove_suffix(name.size());
        at = upper(*at);
        if (!at)
            return itemId.empty();
        if (itemId.empty() || itemId.back() != root->delimiter_)
            return false;
        itemId.remove_suffix(1);
    }
}

bool SODaSNameSpaceRoot::isItemIdTaken(const std::string& itemId) const {
    std::lock_guard lock(indexMutex_);
    return byItemId_.find(std::string_view(itemId)) != byItemId_.end();
}

void SODaSNameSpaceRoot::claimItemId(SODaSElement& element) {
    std::lock_guard lock(indexMutex_);
    byItemId_.insert(&element);
}

void SODaSNameSpaceRoot::releaseItemId(SODaSElement& element) {
    std::lock_guard lock(indexMutex_);
    // Only the element itself: another element may hold an equal item ID it was refused for.
    auto it = byItemId_.find(&element);
    if (it != byItemId_.end() && *it == &element)
        byItemId_.erase(it);
}

SODaSElement* SODaSNameSpaceRoot::elementOf(const std::string& itemId) const {
    std::lock_guard lock(indexMutex_);
    auto it = byItemId_.find(std::string_view(itemId));
    return it == byItemId_.end() ? nullptr : *it;
}

SOCmnPointer<SODaSNode> SODaSNameSpaceRoot::findNode(const std::string& path) const {
    if (path.empty())
        return SOCmnPointer<SODaSNode>::share(const_cast<SODaSNameSpaceRoot*>(this));
    return SOCmnPointer<SODaSNode>::share(dynamic_cast<SODaSNode*>(elementOf(path)));
}

SOCmnPointer<SODaSElement> SODaSNameSpaceRoot::findElement(const std::string& itemId) const {
    return SOCmnPointer<SODaSElement>::share(elementOf(itemId));
}

SOCmnPointer<SODaSTag> SODaSNameSpaceRoot::findTag(const std::string& itemId) const {
    return SOCmnPointer<SODaSTag>::share(dynamic_cast<SODaSTag*>(elementOf(itemId)));
}

} // namespace vorn
