// The sessions of the server and the publishing of their subscriptions. One lock guards every
// session, subscription and parked Publish request; a publishing thread runs the
// subscriptions' cycles (data changes, keep-alives, lifetimes) and ends sessions whose
// timeout passed without a request. Lock order: this lock, then the toolkit's (engine, cache)
// locks; the network layer never holds a connection lock while calling in here.
#pragma once

#include "toolkit/SODaSEntry.h"
#include "toolkit/ua/ServiceCall.h"
#include "toolkit/ua/Session.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/UaStatistics.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace vorn::ua {

class SessionManager {
public:
    using Clock = std::chrono::steady_clock;

    SessionManager(SODaSEntry& entry, ResponseSink& sink);
    ~SessionManager();

    std::mutex& mutex() { return mutex_; }

    // Under the lock: a new session for a client at `clientAddress`, or null when the limit is
    // reached, the address already holds Limits::kMaxUnactivatedSessionsPerAddress sessions
    // not yet activated, or the system gives no random bytes for its authentication token. At
    // the limit the session longest without a channel makes room, else the oldest never
    // activated; its DA client is handed back in `evicted`, to be closed outside the lock.
    Session* create(const std::string& name, double requestedTimeoutMs,
                    std::shared_ptr<DaClient>& evicted, const std::string& clientAddress = {});
    Session* find(const NodeId& authenticationToken);
    // Under the lock: ends the session; its parked Publishes get BadNoSubscription (when
    // `answerPublishes`). The DA client is handed back to be closed outside the lock, since
    // closing the last one calls the server's event handler.
    std::shared_ptr<DaClient> close(Session& session, bool answerPublishes = true);
    size_t count() const;

    // Under the lock: answers a parked Publish.
    void sendPublishResponse(const PendingPublish& publish, uint32_t subscriptionId,
                             const std::string& notificationMessage, bool moreNotifications,
                             const std::vector<uint32_t>& available);
    void answerPublish(const PendingPublish& publish, StatusCode status);
    // Under the lock: removes a subscription's toolkit group and answers the session's parked
    // Publishes with BadNoSubscription when it was the last.
    void deleteSubscription(Session& session, uint32_t subscriptionId);
    uint32_t nextSubscriptionId() { return ++lastSubscriptionId_; }
    // Under the lock: TransferSubscriptions of one subscription to `to`, from whichever session
    // holds it, when both sessions have the same user (or both are anonymous); otherwise
    // BadUserAccessDenied, and BadSubscriptionIdInvalid when no session holds it. Its items
    // carry on with their queues; `sendInitialValues` reports each item's current value again.
    // The old session learns of it in a Publish (GoodSubscriptionTransferred).
    StatusCode transfer(Session& to, uint32_t subscriptionId, bool sendInitialValues,
                        std::vector<uint32_t>& availableSequenceNumbers);
    // Under the lock: answers a Publish with a subscription taken over by another session, if
    // one is waiting to be told; false when none is.
    bool tellTransferred(Session& session, const PendingPublish& publish);
    // Under the lock: subscriptions and monitored items over all sessions.
    size_t subscriptionCount() const;
    size_t monitoredItemCount() const;
    // Takes the lock: sessions, subscriptions, monitored items, data changes sent so far.
    UaStatistics statistics() const;

    // Bytes of values queued for monitored items over all sessions.
    QueueBudget& queueBudget() { return queueBudget_; }

    // Wakes the publishing thread (a Publish arrived, a subscription changed).
    void wake() { changed_.notify_all(); }

    // The channel of a connection closed: its parked Publishes are dropped, its sessions wait
    // for activation from another channel (or close, once the server is shutting down).
    void onConnectionClosed(uint64_t connectionId);
    // The server is shutting down: sessions without a channel close now, and sessions close
    // as their channels do, so that the shutdown waits only for clients still connected.
    void beginShutdown();

    void start();
    // Closes every session and joins the publishing thread; idempotent.
    void stop();

private:
    void run();
    // Gives back a subscription's toolkit groups and the bytes of its queues.
    void release(Session& session, Subscription& subscription);
    // One publishing cycle of a subscription; `due` when its interval elapsed.
    void runCycle(Session& session, Subscription& subscription, bool due, Clock::time_point now);
    void expireRequests(Session& session, Clock::time_point now);

    SODaSEntry& entry_;
    ResponseSink& sink_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unordered_map<NodeId, std::unique_ptr<Session>, NodeIdHash> sessions_;
    uint32_t lastSessionId_ = 0;
    uint32_t lastSubscriptionId_ = 0;
    uint64_t notificationsSent_ = 0;
    QueueBudget queueBudget_{0, Limits::kMaxQueuedBytes};
    bool stopping_ = false;
    bool shuttingDown_ = false;
    std::thread thread_;
};

} // namespace vorn::ua
