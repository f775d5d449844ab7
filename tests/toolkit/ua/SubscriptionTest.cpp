// A subscription's notification messages over real tag caches: what counts as a data change,
// sequence numbers (keep-alives take none), acknowledgements, the bounded Republish queue and
// the split of large changes over several Publish responses.
#include "toolkit/ua/Subscription.h"

#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::ua;

namespace {

struct Notification {
    uint32_t clientHandle;
    DataValue value;
};

struct Message {
    uint32_t sequenceNumber = 0;
    std::vector<Notification> notifications;
};

Message decode(const std::string& encoded) {
    Message m;
    Decoder d(encoded);
    m.sequenceNumber = d.u32();
    d.dateTime();
    uint32_t count = d.arrayLength();
    for (uint32_t i = 0; i < count; ++i) {
        ExtensionObject object = d.extensionObject();
        EXPECT_EQ(object.typeId, NodeId(0, TypeId::kDataChangeNotification));
        Decoder body(object.body);
        uint32_t items = body.arrayLength();
        for (uint32_t k = 0; k < items; ++k) {
            uint32_t handle = body.u32();
            m.notifications.push_back({handle, body.dataValue()});
        }
        EXPECT_TRUE(body.ok());
    }
    EXPECT_TRUE(d.ok());
    return m;
}

// A subscription over `count` tags with one monitored item each, client handles 100, 101, ...
struct Rig {
    std::vector<SOCmnPointer<SODaSTag>> tags;
    std::vector<Node> nodes;
    Subscription sub;

    explicit Rig(size_t count) {
        tags.resize(count);
        nodes.resize(count);
        for (size_t i = 0; i < count; ++i) {
            tags[i] = makeObject<SODaSTag>();
            tags[i]->setNativeDatatype(VT_I2);
            tags[i]->setAccessRights(AccessRights::kReadable);
            tags[i]->setCache(makeObject<SODaSCache>().get());
            nodes[i].nodeClass = 2;
            nodes[i].tag = tags[i];
            nodes[i].accessLevel = 1;
            MonitoredItem item;
            item.id = static_cast<uint32_t>(i + 1);
            item.clientHandle = static_cast<uint32_t>(100 + i);
            item.attributeId = AttributeId::kValue;
            item.node = &nodes[i];
            item.item = makeObject<SODaSItem>();
            sub.items.emplace(item.id, std::move(item));
        }
        sub.revise(100, 30, 3);
    }
    void bindItems() {
        // Items learn their tag from a group, as the toolkit binds them.
        group = makeObject<SODaSGroup>();
        for (auto& [id, item] : sub.items)
            group->addItem(item.item.get(), tags[id - 1].get());
    }
    // One publishing cycle: the items are sampled, then their queues collected.
    std::string collect() {
        uint32_t sequence = 0;
        sub.sample(0, sessionBudget, serverBudget);
        return sub.collectNotifications(sequence, sessionBudget, serverBudget);
    }
    SOCmnPointer<SODaSGroup> group;
    QueueBudget sessionBudget{0, Limits::kMaxQueuedBytesPerSession};
    QueueBudget serverBudget{0, Limits::kMaxQueuedBytes};
};

} // namespace

TEST(Subscription, OnlyChangesOfValueOrStatusAreReported) {
    Rig rig(2);
    rig.bindItems();
    Message first = decode(rig.collect());
    ASSERT_EQ(first.notifications.size(), 2u) << "initial values are reported";
    EXPECT_EQ(first.notifications[0].value.status, Status::kUncertain);
    EXPECT_TRUE(rig.collect().empty()) << "nothing changed";

    rig.tags[0]->getCache()->setValueAndQuality(vorn::Variant::i2(5), Quality::kGood);
    Message second = decode(rig.collect());
    ASSERT_EQ(second.notifications.size(), 1u);
    EXPECT_EQ(second.notifications[0].clientHandle, 100u);
    EXPECT_EQ(std::get<int64_t>(second.notifications[0].value.value.values[0]), 5);

    // A poll that stores the same value again is no data change.
    rig.tags[0]->getCache()->setValueAndQuality(vorn::Variant::i2(5), Quality::kGood);
    EXPECT_TRUE(rig.collect().empty());
    // A new quality alone is one, and a Bad quality carries no value.
    rig.tags[0]->getCache()->setQuality(Quality::kBadCommFailure);
    Message third = decode(rig.collect());
    ASSERT_EQ(third.notifications.size(), 1u);
    EXPECT_EQ(third.notifications[0].value.status, Status::kBadNoCommunication);
    EXPECT_FALSE(third.notifications[0].value.hasValue);
}

TEST(Subscription, KeepAlivesTakeNoSequenceNumber) {
    Rig rig(1);
    rig.bindItems();
    Message first = decode(rig.collect());
    Message keepAlive = decode(rig.sub.keepAlive());
    EXPECT_TRUE(keepAlive.notifications.empty());
    EXPECT_EQ(keepAlive.sequenceNumber, first.sequenceNumber + 1);
    rig.tags[0]->getCache()->setValueAndQuality(vorn::Variant::i2(1), Quality::kGood);
    Message next = decode(rig.collect());
    EXPECT_EQ(next.sequenceNumber, first.sequenceNumber + 1);
}

TEST(Subscription, AcknowledgedMessagesLeaveTheRepublishQueueWhichStaysBounded) {
    Rig rig(1);
    rig.bindItems();
    std::vector<uint32_t> sent;
    for (int i = 0; i < 30; ++i) {
        rig.tags[0]->getCache()->setValueAndQuality(vorn::Variant::i2(static_cast<int16_t>(i)),
                                                    Quality::kGood);
        sent.push_back(decode(rig.collect()).sequenceNumber);
    }
    auto available = rig.sub.availableSequenceNumbers();
    ASSERT_EQ(available.size(), Limits::kMaxRetransmissionQueue);
    EXPECT_EQ(available.back(), sent.back());
    EXPECT_EQ(rig.sub.findSent(sent.front()), nullptr) << "the oldest were dropped";
    ASSERT_NE(rig.sub.findSent(sent.back()), nullptr);
    EXPECT_EQ(decode(*rig.sub.findSent(sent.back())).sequenceNumber, sent.back());
    EXPECT_TRUE(rig.sub.acknowledge(sent.back()));
    EXPECT_FALSE(rig.sub.acknowledge(sent.back())) << "twice is unknown";
    EXPECT_EQ(rig.sub.findSent(sent.back()), nullptr);
}

TEST(Subscription, ManyChangesAreSplitOverSeveralMessages) {
    Rig rig(5);
    rig.bindItems();
    rig.sub.maxNotificationsPerPublish = 2;
    size_t total = 0;
    int messages = 0;
    do {
        std::string encoded = rig.collect();
        ASSERT_FALSE(encoded.empty());
        Message m = decode(encoded);
        EXPECT_LE(m.notifications.size(), 2u);
        total += m.notifications.size();
        ++messages;
    } while (rig.sub.moreNotifications && messages < 10);
    EXPECT_EQ(total, 5u);
    EXPECT_EQ(messages, 3);
    EXPECT_TRUE(rig.collect().empty());
}

TEST(Subscription, OnlyReportingItemsAreReported) {
    Rig rig(2);
    rig.bindItems();
    rig.sub.items.at(2).mode = MonitoringMode::kSampling;
    Message m = decode(rig.collect());
    ASSERT_EQ(m.notifications.size(), 1u);
    EXPECT_EQ(m.notifications[0].clientHandle, 100u);
}

TEST(Subscription, RevisedFiguresStayWithinTheLimits) {
    Subscription sub;
    sub.revise(1, 0, 0);
    EXPECT_EQ(sub.publishingInterval, Limits::kMinPublishingIntervalMs);
    EXPECT_EQ(sub.maxKeepAliveCount, 1u);
    EXPECT_GE(sub.lifetimeCount, 3 * sub.maxKeepAliveCount);
    sub.revise(std::numeric_limits<double>::quiet_NaN(), 5, 1000000);
    EXPECT_EQ(sub.publishingInterval, Limits::kMinPublishingIntervalMs);
    EXPECT_EQ(sub.maxKeepAliveCount, Limits::kMaxKeepAliveCount);
}

TEST(Subscription, NaNAndNegativeIntervalsAskForTheFastestRateInfinityForTheSlowest) {
    Subscription sub;
    const double inf = std::numeric_limits<double>::infinity();
    for (double fastest : {std::numeric_limits<double>::quiet_NaN(), -inf, -1.0, -4.3e9, 0.0}) {
        sub.revise(fastest, 30, 3);
        EXPECT_EQ(sub.publishingInterval, Limits::kMinPublishingIntervalMs) << fastest;
    }
    for (double slowest : {inf, 4.3e9}) {
        sub.revise(slowest, 30, 3);
        EXPECT_EQ(sub.publishingInterval, Limits::kMaxPublishingIntervalMs) << slowest;
    }
}
