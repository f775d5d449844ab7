// A server object: what one client session holds (its groups). The entry's object root counts
// them; the release of the last one is reported to the server's event handler.
#pragma once

#include "toolkit/SODaSGroup.h"

#include <mutex>
#include <vector>

namespace vorn {

class SODaSServer : public SOCmnObject {
public:
    void addGroup(SODaSGroup* group);
    // Deactivates the group's items and drops it.
    bool removeGroup(SODaSGroup* group);
    void removeAllGroups();
    std::vector<SOCmnPointer<SODaSGroup>> getGroups() const;

private:
    mutable std::mutex mutex_;
    std::vector<SOCmnPointer<SODaSGroup>> groups_;
};

} // namespace vorn
