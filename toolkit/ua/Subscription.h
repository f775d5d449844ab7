// One subscription of a session: a toolkit group whose update rate is the publishing interval,
// a group for each faster sampling rate its items ask for, its monitored items (toolkit items,
// active unless Disabled), the sequence numbers of its notification messages, the messages
// kept for Republish, and its keep-alive and lifetime counters. Guarded by the session
// manager's lock.
#pragma once

#include "toolkit/SODaSGroup.h"
#include "toolkit/ua/MonitoredItem.h"
#include "toolkit/ua/UaTypes.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

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
    // The sampling rates faster than the publishing interval, by milliseconds: a toolkit group
    // polling at that rate, the next sampling time, and how many items use it.
    struct SamplingRate {
        SOCmnPointer<SODaSGroup> group;
        Clock::time_point next;
        size_t items = 0;
    };
    std::map<uint32_t, SamplingRate> samplingRates;

    Clock::time_point nextCycle;
    uint32_t keepAliveCounter = 0;
    uint32_t lifetimeCounter = 0;
    bool late = false; // a cycle found no Publish request waiting
    bool moreNotifications = false;
    uint32_t lastItemId = 0;
    uint32_t collectedNotifications = 0; // in the message collectNotifications made last

    // Revises the client's figures to the server's limits.
    void revise(double interval, uint32_t lifetime, uint32_t keepAlive);

    // Samples the items of one rate (0: those at the publishing interval, and the attributes of
    // nodes) and queues their data changes.
    void sample(uint32_t rateMs, QueueBudget& session, QueueBudget& server);
    // The queued values of reporting items, at most maxNotificationsPerPublish (0: all), as an
    // encoded NotificationMessage; empty when nothing is queued. Sets moreNotifications.
    std::string collectNotifications(uint32_t& sequenceNumber, QueueBudget& session,
                                     QueueBudget& server);
    // An empty NotificationMessage with the next sequence number, which it does not consume.
    std::string keepAlive() const;
    // A NotificationMessage with a StatusChangeNotification of `status` (the subscription went
    // to another session), with the next sequence number, which it does not consume.
    std::string statusChange(StatusCode status) const;
    // Drops an acknowledged message; false when it is not (or no longer) kept.
    bool acknowledge(uint32_t sequenceNumber);
    const std::string* findSent(uint32_t sequenceNumber) const;
    std::vector<uint32_t> availableSequenceNumbers() const;

private:
    uint32_t nextSequenceNumber_ = 1;
    std::deque<SentMessage> sent_;
};

} // namespace vorn::ua
