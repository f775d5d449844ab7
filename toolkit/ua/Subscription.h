// One subscription of a session: a toolkit group whose update rate is the publishing interval,
// its monitored items (toolkit items, active unless Disabled), the sequence numbers of its
// notification messages, the messages kept for Republish, and its keep-alive and lifetime
// counters. Guarded by the session manager's lock.
#pragma once

#include "toolkit/SODaSGroup.h"
#include "toolkit/ua/UaTypes.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

struct Node;

namespace MonitoringMode {
constexpr uint32_t kDisabled = 0, kSampling = 1, kReporting = 2;
} // namespace MonitoringMode

// A server holds one per monitored tag, 100,000s with a large plant: a tag's value is read
// through its toolkit item alone, without a node or a copy of its node id.
struct MonitoredItem {
    uint32_t id = 0;
    uint32_t clientHandle = 0;
    uint32_t attributeId = 0;
    uint32_t mode = MonitoringMode::kReporting;
    uint32_t timestampsToReturn = 2;
    bool reported = false;      // here, in the room the fields above leave
    const Node* node = nullptr; // the node whose attribute is sampled; null for a tag's value
    std::shared_ptr<const Node> heldNode; // keeps `node` when it was made for the lookup
    SOCmnPointer<SODaSItem> item;         // toolkit item of a tag's value; null otherwise
    // What was last reported: the cache's change count (tags), or the encoded value and status.
    uint64_t lastChangeCount = UINT64_MAX;
    std::string lastReported;
};

// A notification message kept for Republish.
struct SentMessage {
    uint32_t sequenceNumber;
    std::string encoded; // NotificationMessage
};

class Subscription {
public:
    using Clock = std::chrono::steady_clock;

    uint32_t id = 0;
    double publishingInterval = 0;
    uint32_t lifetimeCount = 0;
    uint32_t maxKeepAliveCount = 0;
    uint32_t maxNotificationsPerPublish = 0;
    bool publishingEnabled = true;
    // The session's user may write (what a monitored UserAccessLevel shows).
    bool userMayWrite = true;
    SOCmnPointer<SODaSGroup> group;
    std::map<uint32_t, MonitoredItem> items;

    Clock::time_point nextCycle;
    uint32_t keepAliveCounter = 0;
    uint32_t lifetimeCounter = 0;
    bool late = false; // a cycle found no Publish request waiting
    bool moreNotifications = false;
    uint32_t lastItemId = 0;
    uint32_t collectedNotifications = 0; // in the message collectNotifications made last

    // Revises the client's figures to the server's limits.
    void revise(double interval, uint32_t lifetime, uint32_t keepAlive);

    // Data changes since the last report, at most `max` (0: all), as an encoded
    // NotificationMessage; empty when nothing changed. Sets moreNotifications.
    std::string collectNotifications(uint32_t& sequenceNumber);
    // An empty NotificationMessage with the next sequence number, which it does not consume.
    std::string keepAlive() const;
    // Drops an acknowledged message; false when it is not (or no longer) kept.
    bool acknowledge(uint32_t sequenceNumber);
    const std::string* findSent(uint32_t sequenceNumber) const;
    std::vector<uint32_t> availableSequenceNumbers() const;

private:
    uint32_t nextSequenceNumber_ = 1;
    std::deque<SentMessage> sent_;
};

} // namespace vorn::ua
