// Groups and items: a client's group has an update rate and holds items bound to tags. Servers
// derive from both to learn when an item becomes active or a group's rate changes.
#pragma once

#include "toolkit/SODaSTag.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vorn {

class SODaSGroup;

class SODaSItem : public SOCmnObject {
public:
    SOCmnPointer<SODaSTag> getItemTag() const;
    // A reload gave the item's tag a new definition, in a new tag object: the item follows it,
    // made inactive on the old tag and active again on the new one, as a client would.
    void moveToTag(SODaSTag* tag);
    // The group holding the item; null once the item has left it.
    SODaSGroup* getGroup() const { return group_; }
    bool isActive() const { return active_.load(); }

    // Changes the active state; the hook runs only on a change.
    void setActive(bool active);

protected:
    // Activation hook: the item just became active or inactive.
    virtual void onSetActive(bool active) { (void)active; }

private:
    friend class SODaSGroup;
    SODaSGroup* group_ = nullptr; // the group holds a reference on its items
    SOCmnPointer<SODaSTag> tag_;  // under the item's striped lock: a reload may move it
    std::atomic<bool> active_{false};
};

class SODaSGroup : public SOCmnObject {
public:
    const std::string& getName() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    uint32_t getUpdateRate() const { return updateRate_.load(); }
    // Calls the update-rate hook while the group still has its old rate, then takes the new.
    void setUpdateRate(uint32_t rate);

    // Binds `item` to `tag` and adds it; the group keeps its own reference.
    void addItem(SODaSItem* item, SODaSTag* tag);
    // Deactivates the item (so its tag is no longer wanted) and removes it.
    bool removeItem(SODaSItem* item);
    // Deactivates and removes every item.
    void removeAllItems();
    std::vector<SOCmnPointer<SODaSItem>> getItems() const;

protected:
    ~SODaSGroup() override;
    // Update-rate hook: `rate` is about to replace getUpdateRate().
    virtual void onSetUpdateRate(uint32_t rate) { (void)rate; }

private:
    std::string name_;
    std::atomic<uint32_t> updateRate_{0};
    mutable std::mutex mutex_;
    std::vector<SOCmnPointer<SODaSItem>> items_;
};

} // namespace vorn
