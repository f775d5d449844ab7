#include "Subscription.h"

#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <cmath>

namespace vorn::ua {
namespace {

// The value and status of a DataValue, without timestamps: what decides a data change.
std::string changeKey(const DataValue& dv) {
    Encoder e;
    e.statusCode(dv.status);
    if (dv.hasValue)
        e.variant(dv.value);
    return std::move(e.bytes());
}

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

std::string Subscription::collectNotifications(uint32_t& sequenceNumber) {
    moreNotifications = false;
    Encoder notes;
    uint32_t count = 0;
    for (auto& [id, monitored] : items) {
        if (monitored.mode != MonitoringMode::kReporting || (!monitored.node && !monitored.item))
            continue;
        if (maxNotificationsPerPublish && count >= maxNotificationsPerPublish) {
            moreNotifications = true;
            break;
        }
        DataValue dv;
        if (monitored.item) {
            auto tag = monitored.item->getItemTag();
            auto cache = tag ? tag->getCache() : nullptr;
            if (tag && tag->isRemoved()) {
                // A reload took the tag away: its node is unknown now (said once, below).
                dv.status = Status::kBadNodeIdUnknown;
            } else {
                if (!cache || cache->changeCount() == monitored.lastChangeCount)
                    continue;
                CacheSnapshot snapshot = cache->snapshot();
                monitored.lastChangeCount = snapshot.changeCount;
                dv = tagDataValue(snapshot, monitored.timestampsToReturn);
            }
        } else {
            dv = readAttribute(*monitored.node, monitored.attributeId, monitored.timestampsToReturn,
                               userMayWrite);
        }
        std::string key = changeKey(dv);
        if (monitored.reported && key == monitored.lastReported)
            continue;
        monitored.lastReported = std::move(key);
        monitored.reported = true;
        notes.u32(monitored.clientHandle);
        notes.dataValue(dv);
        ++count;
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
