#include "SessionManager.h"

#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/security/Crypto.h"

#include <algorithm>

namespace vorn::ua {
namespace {

// Housekeeping pace when no subscription is due sooner.
constexpr auto kIdleWake = std::chrono::milliseconds(100);

// Authentication tokens are secrets: whoever guesses one takes over the session.
constexpr size_t kAuthenticationTokenLength = 32;

} // namespace

SessionManager::SessionManager(SODaSEntry& entry, ResponseSink& sink)
    : entry_(entry), sink_(sink) {}

SessionManager::~SessionManager() {
    stop();
}

Session* SessionManager::create(const std::string& name, double requestedTimeoutMs,
                                std::shared_ptr<DaClient>& evicted,
                                const std::string& clientAddress) {
    std::string token = security::randomBytes(kAuthenticationTokenLength);
    if (token.size() != kAuthenticationTokenLength)
        return nullptr; // no random bytes, no session
    size_t unactivated = 0;
    for (const auto& [key, session] : sessions_)
        if (!session->activated && session->clientAddress &&
            session->clientAddress->host == clientAddress)
            ++unactivated;
    if (unactivated >= Limits::kMaxUnactivatedSessionsPerAddress)
        return nullptr;
    if (sessions_.size() >= Limits::kMaxSessions) {
        // A session no client can use now makes room: one without a channel, or one its
        // client never activated.
        auto longestWithout = [](Session* a, Session& b) { return !a || b.lastSeen < a->lastSeen; };
        Session* orphan = nullptr;
        Session* neverActivated = nullptr;
        for (auto& [key, session] : sessions_) {
            if (session->connectionId == 0 && longestWithout(orphan, *session))
                orphan = session.get();
            if (!session->activated && longestWithout(neverActivated, *session))
                neverActivated = session.get();
        }
        Session* room = orphan ? orphan : neverActivated;
        if (!room)
            return nullptr;
        evicted = close(*room);
    }
    auto session = std::make_unique<Session>();
    session->sessionId = NodeId(1, ++lastSessionId_);
    session->authenticationToken.kind = NodeId::Kind::opaque;
    session->authenticationToken.text = std::move(token);
    session->name = name;
    if (!(requestedTimeoutMs >= Limits::kMinSessionTimeoutMs)) // also NaN
        requestedTimeoutMs = Limits::kMinSessionTimeoutMs;
    session->timeoutMs = std::min(requestedTimeoutMs, Limits::kMaxSessionTimeoutMs);
    session->created = session->lastSeen = Clock::now();
    session->client = std::make_shared<DaClient>(entry_);
    Session* raw = session.get();
    sessions_.emplace(raw->authenticationToken, std::move(session));
    return raw;
}

Session* SessionManager::find(const NodeId& authenticationToken) {
    auto it = sessions_.find(authenticationToken);
    return it == sessions_.end() ? nullptr : it->second.get();
}

size_t SessionManager::count() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

size_t SessionManager::subscriptionCount() const {
    size_t count = 0;
    for (const auto& [token, session] : sessions_)
        count += session->subscriptions.size();
    return count;
}

size_t SessionManager::monitoredItemCount() const {
    size_t count = 0;
    for (const auto& [token, session] : sessions_)
        for (const auto& [id, sub] : session->subscriptions)
            count += sub.items.size();
    return count;
}

UaStatistics SessionManager::statistics() const {
    std::lock_guard lock(mutex_);
    return {sessions_.size(), subscriptionCount(), monitoredItemCount(), notificationsSent_};
}

void SessionManager::release(Session& session, Subscription& subscription) {
    for (auto& [id, item] : subscription.items)
        item.clearQueue(session.queueBudget, queueBudget_);
    if (!session.client)
        return;
    if (subscription.group)
        session.client->removeGroup(*subscription.group);
    for (auto& [rate, sampling] : subscription.samplingRates)
        session.client->removeGroup(*sampling.group);
}

std::shared_ptr<DaClient> SessionManager::close(Session& session, bool answerPublishes) {
    for (auto& [id, subscription] : session.subscriptions)
        release(session, subscription);
    session.subscriptions.clear();
    if (answerPublishes)
        for (const PendingPublish& publish : session.publishQueue)
            answerPublish(publish, Status::kBadNoSubscription);
    session.publishQueue.clear();
    std::shared_ptr<DaClient> client = std::move(session.client);
    sessions_.erase(session.authenticationToken);
    wake();
    return client;
}

void SessionManager::answerPublish(const PendingPublish& publish, StatusCode status) {
    sink_.sendResponse(publish.connectionId, publish.requestId, TypeId::kServiceFault,
                       serviceFault(publish.requestHandle, status));
}

void SessionManager::sendPublishResponse(const PendingPublish& publish, uint32_t subscriptionId,
                                         const std::string& notificationMessage,
                                         bool moreNotifications,
                                         const std::vector<uint32_t>& available) {
    Encoder out;
    encodeResponseHeader(out, publish.requestHandle, Status::kGood);
    out.u32(subscriptionId);
    out.arrayLength(available.size());
    for (uint32_t n : available)
        out.u32(n);
    out.boolean(moreNotifications);
    out.raw(notificationMessage);
    out.arrayLength(publish.acknowledgementResults.size());
    for (StatusCode s : publish.acknowledgementResults)
        out.statusCode(s);
    out.arrayLength(0);
    sink_.sendResponse(publish.connectionId, publish.requestId, TypeId::kPublishResponse,
                       std::move(out.bytes()));
}

void SessionManager::deleteSubscription(Session& session, uint32_t subscriptionId) {
    auto it = session.subscriptions.find(subscriptionId);
    if (it == session.subscriptions.end())
        return;
    release(session, it->second);
    session.subscriptions.erase(it);
    if (session.subscriptions.empty()) {
        for (const PendingPublish& publish : session.publishQueue)
            answerPublish(publish, Status::kBadNoSubscription);
        session.publishQueue.clear();
    }
}

namespace {

// Who may take over a session's subscriptions: the same user, or anonymous from anonymous.
bool sameUser(const Session& a, const Session& b) {
    if (!a.user || !b.user)
        return false;
    return a.user->name == b.user->name;
}

// Gives a subscription's toolkit groups and items to another session's DA client: the new ones
// are made and activated before the old ones go, so the tags are never left unpolled.
void moveGroups(Subscription& sub, DaClient& from, DaClient& to) {
    SOCmnPointer<SODaSGroup> oldGroup = sub.group;
    sub.group = to.addGroup(oldGroup->getName(), oldGroup->getUpdateRate());
    std::vector<SOCmnPointer<SODaSGroup>> oldGroups{oldGroup};
    for (auto& [rate, sampling] : sub.samplingRates) {
        oldGroups.push_back(sampling.group);
        sampling.group = to.addGroup(sampling.group->getName(), rate);
    }
    for (auto& [id, item] : sub.items) {
        if (!item.item)
            continue;
        auto tag = item.item->getItemTag();
        SODaSGroup& group =
            item.samplingRateMs ? *sub.samplingRates.at(item.samplingRateMs).group : *sub.group;
        item.item = tag ? to.addItem(group, tag->getItemID()) : nullptr;
        if (item.item)
            to.setActive(*item.item, item.mode != MonitoringMode::kDisabled);
    }
    for (auto& group : oldGroups)
        from.removeGroup(*group);
}

} // namespace

StatusCode SessionManager::transfer(Session& to, uint32_t subscriptionId, bool sendInitialValues,
                                    std::vector<uint32_t>& availableSequenceNumbers) {
    Session* from = nullptr;
    for (auto& [token, session] : sessions_)
        if (session->subscriptions.count(subscriptionId))
            from = session.get();
    if (!from)
        return Status::kBadSubscriptionIdInvalid;
    if (!sameUser(*from, to))
        return Status::kBadUserAccessDenied;
    Subscription& sub = from->subscriptions.at(subscriptionId);
    if (sendInitialValues)
        for (auto& [id, item] : sub.items)
            item.reportAgain();
    availableSequenceNumbers = sub.availableSequenceNumbers();
    if (from == &to)
        return Status::kGood;

    if (from->client && to.client)
        moveGroups(sub, *from->client, *to.client);
    size_t queued = 0;
    for (const auto& [id, item] : sub.items)
        for (size_t i = 0; i < item.queue.size(); ++i)
            queued += item.queue[i].bytes();
    from->queueBudget.used -= queued;
    to.queueBudget.used += queued;
    sub.userMayWrite = !to.user || to.user->mayWrite();
    sub.lifetimeCounter = 0;
    std::string told = sub.statusChange(Status::kGoodSubscriptionTransferred);
    to.subscriptions.emplace(subscriptionId, std::move(sub));
    from->subscriptions.erase(subscriptionId);

    // The old session is told with its next Publish (one parked now, or the next to come).
    if (from->transferredAway.size() < Limits::kMaxSubscriptionsPerSession)
        from->transferredAway.emplace_back(subscriptionId, std::move(told));
    if (!from->publishQueue.empty()) {
        PendingPublish publish = std::move(from->publishQueue.front());
        from->publishQueue.pop_front();
        tellTransferred(*from, publish);
    }
    if (from->subscriptions.empty()) {
        for (const PendingPublish& publish : from->publishQueue)
            answerPublish(publish, Status::kBadNoSubscription);
        from->publishQueue.clear();
    }
    wake();
    return Status::kGood;
}

bool SessionManager::tellTransferred(Session& session, const PendingPublish& publish) {
    if (session.transferredAway.empty())
        return false;
    auto [id, message] = std::move(session.transferredAway.front());
    session.transferredAway.pop_front();
    sendPublishResponse(publish, id, message, false, {});
    return true;
}

void SessionManager::onConnectionClosed(uint64_t connectionId) {
    std::vector<std::shared_ptr<DaClient>> clients;
    {
        std::lock_guard lock(mutex_);
        std::vector<Session*> orphans;
        for (auto& [token, session] : sessions_) {
            if (session->connectionId != connectionId)
                continue;
            session->connectionId = 0;
            session->publishQueue.clear();
            orphans.push_back(session.get());
        }
        if (shuttingDown_)
            for (Session* session : orphans)
                clients.push_back(close(*session));
    }
    for (auto& client : clients) // outside the lock: the last one calls the event handler
        if (client)
            client->close();
}

void SessionManager::beginShutdown() {
    std::vector<std::shared_ptr<DaClient>> clients;
    {
        std::lock_guard lock(mutex_);
        shuttingDown_ = true;
        std::vector<Session*> orphans;
        for (auto& [token, session] : sessions_)
            if (session->connectionId == 0)
                orphans.push_back(session.get());
        for (Session* session : orphans)
            clients.push_back(close(*session));
    }
    for (auto& client : clients)
        if (client)
            client->close();
}

void SessionManager::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void SessionManager::stop() {
    std::vector<std::shared_ptr<DaClient>> clients;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        while (!sessions_.empty())
            if (auto client = close(*sessions_.begin()->second, false))
                clients.push_back(std::move(client));
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    for (auto& client : clients) // outside the lock: the last one calls the event handler
        client->close();
}

void SessionManager::expireRequests(Session& session, Clock::time_point now) {
    auto& queue = session.publishQueue;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->timeoutHint && now - it->received >= std::chrono::milliseconds(it->timeoutHint)) {
            answerPublish(*it, Status::kBadTimeout);
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
}

void SessionManager::runCycle(Session& session, Subscription& sub, bool due,
                              Clock::time_point now) {
    if (due) {
        auto interval =
            std::chrono::microseconds(static_cast<int64_t>(sub.publishingInterval * 1000));
        sub.nextCycle += interval;
        if (sub.nextCycle <= now)
            sub.nextCycle = now + interval;
        ++sub.keepAliveCounter;
        sub.sample(0, session.queueBudget, queueBudget_);
    }
    if (session.publishQueue.empty()) {
        if (due) {
            sub.late = true;
            ++sub.lifetimeCounter;
        }
        return;
    }
    sub.late = false;
    if (sub.publishingEnabled) {
        uint32_t sequenceNumber = 0;
        std::string message =
            sub.collectNotifications(sequenceNumber, session.queueBudget, queueBudget_);
        if (!message.empty()) {
            notificationsSent_ += sub.collectedNotifications;
            PendingPublish publish = std::move(session.publishQueue.front());
            session.publishQueue.pop_front();
            sendPublishResponse(publish, sub.id, message, sub.moreNotifications,
                                sub.availableSequenceNumbers());
            sub.keepAliveCounter = 0;
            sub.lifetimeCounter = 0;
            sub.late = sub.moreNotifications;
            return;
        }
    }
    if (sub.keepAliveCounter >= sub.maxKeepAliveCount) {
        PendingPublish publish = std::move(session.publishQueue.front());
        session.publishQueue.pop_front();
        sendPublishResponse(publish, sub.id, sub.keepAlive(), false,
                            sub.availableSequenceNumbers());
        sub.keepAliveCounter = 0;
        sub.lifetimeCounter = 0;
    }
}

void SessionManager::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = now + kIdleWake;
        std::vector<Session*> timedOut;
        for (auto& [token, sessionPtr] : sessions_) {
            Session& session = *sessionPtr;
            expireRequests(session, now);
            bool idle =
                now - session.lastSeen > std::chrono::milliseconds(int64_t(session.timeoutMs));
            bool neverActivated =
                !session.activated &&
                now - session.created > std::chrono::milliseconds(Limits::kActivationTimeoutMs);
            if (idle || neverActivated) {
                timedOut.push_back(&session);
                continue;
            }
            std::vector<uint32_t> expired;
            for (auto& [id, sub] : session.subscriptions) {
                for (auto& [rateMs, rate] : sub.samplingRates) {
                    if (now >= rate.next) {
                        sub.sample(rateMs, session.queueBudget, queueBudget_);
                        rate.next += std::chrono::milliseconds(rateMs);
                        if (rate.next <= now)
                            rate.next = now + std::chrono::milliseconds(rateMs);
                    }
                    wakeAt = std::min(wakeAt, rate.next);
                }
                bool due = now >= sub.nextCycle;
                if (due || (sub.late && !session.publishQueue.empty()))
                    runCycle(session, sub, due, now);
                if (sub.lifetimeCounter >= sub.lifetimeCount)
                    expired.push_back(id);
                else
                    wakeAt = std::min(
                        wakeAt, sub.late && !session.publishQueue.empty() ? now : sub.nextCycle);
            }
            for (uint32_t id : expired)
                deleteSubscription(session, id);
        }
        std::vector<std::shared_ptr<DaClient>> clients;
        for (Session* session : timedOut)
            clients.push_back(close(*session));
        if (!clients.empty()) {
            lock.unlock();
            for (auto& client : clients)
                if (client)
                    client->close();
            clients.clear();
            lock.lock();
            continue;
        }
        changed_.wait_until(lock, wakeAt);
    }
}

} // namespace vorn::ua
