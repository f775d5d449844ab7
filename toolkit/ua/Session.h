// One client session: its DA client (a server object of the toolkit), its subscriptions, the
// Publish requests parked for them and its browse continuation points. A session outlives
// its channel: a client that lost its socket activates it again from a new channel. All
// fields are guarded by the session manager's lock.
#pragma once

#include "toolkit/DaClient.h"
#include "toolkit/ua/AuditTrail.h"
#include "toolkit/ua/Subscription.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/UaTypes.h"

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

struct PendingPublish {
    uint64_t connectionId = 0;
    uint32_t requestId = 0;
    uint32_t requestHandle = 0;
    uint32_t timeoutHint = 0; // ms; 0: none
    std::chrono::steady_clock::time_point received;
    std::vector<StatusCode> acknowledgementResults;
};

// What a Browse could not return at once.
struct ContinuationPoint {
    uint32_t maxReferences = 0;
    std::vector<std::string> rest; // encoded ReferenceDescriptions
};

struct Session {
    using Clock = std::chrono::steady_clock;

    NodeId sessionId;
    NodeId authenticationToken;
    std::string name;
    double timeoutMs = 0;
    uint64_t connectionId = 0; // 0 while no channel carries it
    bool activated = false;
    // The nonce of the last CreateSession or ActivateSession response: the client signs it.
    std::string serverNonce;
    // The certificate of the channel that created it (empty: policy None); only a channel of
    // the same certificate may activate it.
    std::string clientCertificate;
    // What the client said of itself in CreateSession, and where it connected from.
    std::string applicationUri;
    std::shared_ptr<const ClientAddress> clientAddress;
    // Who it is once activated: user and rights (replaced, never changed, so that requests
    // running without the lock may hold it).
    std::shared_ptr<const SessionUser> user;
    Clock::time_point created;
    Clock::time_point lastSeen;

    std::shared_ptr<DaClient> client;
    std::map<uint32_t, Subscription> subscriptions;
    std::deque<PendingPublish> publishQueue;
    QueueBudget queueBudget{0, Limits::kMaxQueuedBytesPerSession}; // of its monitored items
    // Subscriptions another session took over, each as the NotificationMessage that tells the
    // client so (GoodSubscriptionTransferred), for its next Publish.
    std::deque<std::pair<uint32_t, std::string>> transferredAway;
    std::map<std::string, ContinuationPoint> continuationPoints;
    uint64_t lastContinuationPoint = 0;
};

} // namespace vorn::ua
