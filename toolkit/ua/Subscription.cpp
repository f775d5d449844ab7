#include "Subscription.h"

#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <cmath>

namespace vorn::ua {
namespace {

std::string notificationMessage(uint32_t sequenceNumber, const std::string* dataChange,
                                uint32_t count) {
    Encoder e;
    e.u32(sequenceNumber);
    e.dateTime(nowDateTime());
    if (!dataChange) {
        e.arrayLength(0);
        return std::move(e.bytes());
    }
    e.arrayLength(1);
    Encoder body;
    body.arrayLength(count);
    body.raw(*dataChange);
    body.arrayLength(0); // diagnostic infos
    e.extensionObject(
        ExtensionObject{NodeId(0, TypeId::kDataChangeNotification), 1, std::move(body.bytes())});
    return std::move(e.bytes());
}

} // namespace

void Subscription::revise(double interval, uint32_t lifetime, uint32_t keepAlive) {
    // NaN, negatives and zero ask for the fastest rate; +Infinity for the slowest.
    if (std::isnan(interval) || interval < Limits::kMinPublishingIntervalMs)
        interval = Limits::kMinPublishingIntervalMs;
    publishingInterval = std::min(interval, Limits::kMaxPublishingIntervalMs);
    maxKeepAliveCount = std::clamp<uint32_t>(keepAlive, 1, Limits::kMaxKeepAliveCount);
    // The lifetime must cover at least three keep-alive periods.
    lifetimeCount = std::max<uint32_t>(lifetime, 3 * maxKeepAliveCount);
}

void Subscription::sample(uint32_t rateMs, QueueBudget& session, QueueBudget& server) {
    for (auto& [id, monitored] : items) {
        if (monitored.mode == MonitoringMode::kDisabled || monitored.samplingRateMs != rateMs)
            continue;
        if (monitored.item) {
            auto tag = monitored.item->getItemTag();
            auto cache = tag ? tag->getCache() : nullptr;
            if (!cache || (tag && tag->isRemoved())) { // the tag left the address space (a reload)
                monitored.offer(statusOnly(Status::kBadNodeIdUnknown), session, server);
                continue;
            }
            if (cache->changeCount() == monitored.lastChangeCount)
                continue;
            CacheSnapshot snapshot = cache->snapshot();
            monitored.lastChangeCount = snapshot.changeCount;
            monitored.offer(tagDataValue(snapshot, monitored.timestampsToReturn), session, server);
        } else if (monitored.node) {
            monitored.offer(readAttribute(*monitored.node, monitored.attributeId,
                                          monitored.timestampsToReturn, userMayWrite),
                            session, server);
        }
    }
}

std::string Subscription::collectNotifications(uint32_t& sequenceNumber, QueueBudget& session,
                                               QueueBudget& server) {
    moreNotifications = false;
    Encoder notes;
    uint32_t count = 0;
    for (auto& [id, monitored] : items) {
        if (monitored.mode != MonitoringMode::kReporting)
            continue;
        while (!monitored.queue.empty()) {
            if (maxNotificationsPerPublish && count >= maxNotificationsPerPublish) {
                moreNotifications = true;
                break;
            }
            QueuedValue& value = monitored.queue.front();
            notes.u32(monitored.clientHandle);
            value.encode(notes);
            session.used -= value.bytes();
            server.used -= value.bytes();
            monitored.queue.pop_front();
            ++count;
        }
        if (moreNotifications)
            break;
    }
    collectedNotifications = count;
    if (count == 0)
        return {};
    sequenceNumber = nextSequenceNumber_++;
    if (nextSequenceNumber_ == 0)
        nextSequenceNumber_ = 1; // sequence numbers skip 0 when they wrap
    std::string message = notificationMessage(sequenceNumber, &notes.bytes(), count);
    sent_.push_back({sequenceNumber, message});
    while (sent_.size() > Limits::kMaxRetransmissionQueue)
        sent_.pop_front();
    return message;
}

std::string Subscription::keepAlive() const {
    return notificationMessage(nextSequenceNumber_, nullptr, 0);
}

std::string Subscription::statusChange(StatusCode status) const {
    Encoder e;
    e.u32(nextSequenceNumber_);
    e.dateTime(nowDateTime());
    e.arrayLength(1);
    Encoder body;
    body.statusCode(status);
    body.u8(0); // no diagnostic info
    e.extensionObject(
        ExtensionObject{NodeId(0, TypeId::kStatusChangeNotification), 1, std::move(body.bytes())});
    return std::move(e.bytes());
}

bool Subscription::acknowledge(uint32_t sequenceNumber) {
    auto it = std::find_if(sent_.begin(), sent_.end(), [&](const SentMessage& m) {
        return m.sequenceNumber == sequenceNumber;
    });
    if (it == sent_.end())
        return false;
    sent_.erase(it);
    return true;
}

const std::string* Subscription::findSent(uint32_t sequenceNumber) const {
    for (const SentMessage& m : sent_)
        if (m.sequenceNumber == sequenceNumber)
            return &m.encoded;
    return nullptr;
}

std::vector<uint32_t> Subscription::availableSequenceNumbers() const {
    std::vector<uint32_t> numbers;
    for (const SentMessage& m : sent_)
        numbers.push_back(m.sequenceNumber);
    return numbers;
}

} // namespace vorn::ua
