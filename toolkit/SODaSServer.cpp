#include "SODaSServer.h"

#include <algorithm>

namespace vorn {

void SODaSServer::addGroup(SODaSGroup* group) {
    std::lock_guard lock(mutex_);
    groups_.push_back(SOCmnPointer<SODaSGroup>::share(group));
}

bool SODaSServer::removeGroup(SODaSGroup* group) {
    SOCmnPointer<SODaSGroup> removed;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(groups_.begin(), groups_.end(),
                               [group](const auto& held) { return held.get() == group; });
        if (it == groups_.end())
            return false;
        removed = std::move(*it);
        groups_.erase(it);
    }
    removed->removeAllItems();
    return true;
}

void SODaSServer::removeAllGroups() {
    std::vector<SOCmnPointer<SODaSGroup>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(groups_);
    }
    for (auto& group : all)
        group->removeAllItems();
}

std::vector<SOCmnPointer<SODaSGroup>> SODaSServer::getGroups() const {
    std::lock_guard lock(mutex_);
    return groups_;
}

} // namespace vorn
