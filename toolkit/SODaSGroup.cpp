#include "SODaSGroup.h"

#include "toolkit/StripedLock.h"

#include <algorithm>

namespace vorn {

SOCmnPointer<SODaSTag> SODaSItem::getItemTag() const {
    std::lock_guard guard(stripedLock(this));
    return tag_;
}

void SODaSItem::moveToTag(SODaSTag* tag) {
    const bool active = isActive();
    if (active)
        setActive(false);
    {
        std::lock_guard guard(stripedLock(this));
        tag_ = SOCmnPointer<SODaSTag>::share(tag);
    }
    if (active)
        setActive(true);
}

void SODaSItem::setActive(bool active) {
    if (active_.exchange(active) != active)
        onSetActive(active);
}

void SODaSGroup::setUpdateRate(uint32_t rate) {
    onSetUpdateRate(rate);
    updateRate_.store(rate);
}

void SODaSGroup::addItem(SODaSItem* item, SODaSTag* tag) {
    {
        std::lock_guard guard(stripedLock(item));
        item->tag_ = SOCmnPointer<SODaSTag>::share(tag);
    }
    item->group_ = this;
    std::lock_guard lock(mutex_);
    items_.push_back(SOCmnPointer<SODaSItem>::share(item));
}

bool SODaSGroup::removeItem(SODaSItem* item) {
    SOCmnPointer<SODaSItem> removed;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(items_.begin(), items_.end(),
                               [item](const auto& held) { return held.get() == item; });
        if (it == items_.end())
            return false;
        removed = std::move(*it);
        items_.erase(it);
    }
    removed->setActive(false);
    removed->group_ = nullptr;
    return true;
}

void SODaSGroup::removeAllItems() {
    std::vector<SOCmnPointer<SODaSItem>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(items_);
    }
    for (auto& item : all) {
        item->setActive(false);
        item->group_ = nullptr;
    }
}

std::vector<SOCmnPointer<SODaSItem>> SODaSGroup::getItems() const {
    std::lock_guard lock(mutex_);
    return items_;
}

SODaSGroup::~SODaSGroup() {
    for (auto& item : items_)
        item->group_ = nullptr;
}

} // namespace vorn
