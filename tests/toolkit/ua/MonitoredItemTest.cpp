// A monitored item's queue and filter on their own: which samples are data changes (triggers,
// absolute deadbands over scalars and arrays, status changes), what a full queue drops and where
// the Overflow bit goes, and the byte budgets that bound all queues.
#include "toolkit/ua/MonitoredItem.h"

#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaLimits.h"

#include <gtest/gtest.h>
#include <limits>

using namespace vorn::ua;

namespace {

DataValue number(double v, StatusCode status = Status::kGood, DateTime source = 0) {
    DataValue dv;
    dv.hasValue = true;
    dv.value = Variant::scalar(BuiltinType::kDouble, v);
    dv.status = status;
    dv.sourceTimestamp = source;
    return dv;
}

DataValue array(std::vector<int64_t> values) {
    DataValue dv;
    dv.hasValue = true;
    std::vector<Scalar> scalars(values.begin(), values.end());
    dv.value = Variant::array(BuiltinType::kInt32, std::move(scalars));
    return dv;
}

struct Queue {
    MonitoredItem item;
    QueueBudget session{0, Limits::kMaxQueuedBytesPerSession};
    QueueBudget server{0, Limits::kMaxQueuedBytes};

    void offer(const DataValue& dv) { item.offer(dv, session, server); }
    // The queued values as the client decodes them.
    std::vector<DataValue> values() const {
        std::vector<DataValue> out;
        for (size_t i = 0; i < item.queue.size(); ++i) {
            Encoder e;
            item.queue[i].encode(e);
            Decoder d(e.bytes());
            out.push_back(d.dataValue());
        }
        return out;
    }
    std::vector<double> numbers() const {
        std::vector<double> out;
        for (const DataValue& dv : values())
            out.push_back(std::get<double>(dv.value.values[0]));
        return out;
    }
};

constexpr StatusCode kOverflowBits = Status::kInfoTypeDataValue | Status::kOverflow;

} // namespace

TEST(MonitoredItemQueue, AFullQueueDropsItsOldestAndFlagsTheNextOldest) {
    Queue q;
    q.item.queueSize = 10;
    q.item.discardOldest = true;
    for (int i = 1; i <= 25; ++i)
        q.offer(number(i));
    EXPECT_EQ(q.numbers(), (std::vector<double>{16, 17, 18, 19, 20, 21, 22, 23, 24, 25}));
    std::vector<DataValue> values = q.values();
    EXPECT_EQ(values.front().status, kOverflowBits)
        << "the first after the gap says values were lost";
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_EQ(values[i].status, Status::kGood) << i;
}

TEST(MonitoredItemQueue, AFullQueueKeepingItsOldestReplacesAndFlagsTheNewest) {
    Queue q;
    q.item.queueSize = 10;
    q.item.discardOldest = false;
    for (int i = 1; i <= 25; ++i)
        q.offer(number(i));
    EXPECT_EQ(q.numbers(), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 25}));
    std::vector<DataValue> values = q.values();
    for (size_t i = 0; i + 1 < values.size(); ++i)
        EXPECT_EQ(values[i].status, Status::kGood) << i;
    EXPECT_EQ(values.back().status, kOverflowBits);
}

TEST(MonitoredItemQueue, AQueueOfOneHoldsTheLatestWithoutOverflowAndBudgetsAreGivenBack) {
    Queue q;
    for (int i = 1; i <= 5; ++i)
        q.offer(number(i));
    ASSERT_EQ(q.values().size(), 1u);
    EXPECT_EQ(q.values()[0].status, Status::kGood);
    EXPECT_EQ(q.numbers()[0], 5);
    EXPECT_GT(q.session.used, 0u);
    EXPECT_EQ(q.session.used, q.server.used);
    q.item.clearQueue(q.session, q.server);
    EXPECT_EQ(q.session.used, 0u);
    EXPECT_EQ(q.server.used, 0u);
}

TEST(MonitoredItemQueue, PastItsSessionsBudgetAnItemKeepsWhatItHoldsAndFlagsTheLoss) {
    Queue q;
    q.item.queueSize = 100;
    q.offer(number(1));
    q.session.limit = q.session.used + 2 * (q.session.used); // room for two more values
    for (int i = 2; i <= 10; ++i)
        q.offer(number(i));
    EXPECT_LE(q.session.used, q.session.limit);
    ASSERT_EQ(q.values().size(), 3u);
    EXPECT_EQ(q.numbers(), (std::vector<double>{8, 9, 10}));
    EXPECT_EQ(q.values().front().status, kOverflowBits);
}

TEST(DataChangeFilter, AnAbsoluteDeadbandReportsOnlyMovesPastItFromTheLastReportedValue) {
    Queue q;
    q.item.queueSize = 10;
    q.item.filter = {DataChangeTrigger::kStatusValue, DeadbandType::kAbsolute, 5};
    for (double v : {0.0, 1.0, 3.0, 6.0, 10.0, 11.5, 5.0})
        q.offer(number(v));
    // 1 and 3 stay within 5 of 0; 6 passes; 10 is 4 from 6; 11.5 passes; 5 is 6.5 below it.
    EXPECT_EQ(q.numbers(), (std::vector<double>{0, 6, 11.5, 5}));
    // A status change reports whatever the value.
    q.offer(number(5.5, Status::kUncertain));
    EXPECT_EQ(q.values().back().status, Status::kUncertain);
    // Entering NaN is one change; staying there is none.
    q.offer(number(std::numeric_limits<double>::quiet_NaN(), Status::kUncertain));
    q.offer(number(std::numeric_limits<double>::quiet_NaN(), Status::kUncertain));
    EXPECT_EQ(q.values().size(), 6u);
}

TEST(DataChangeFilter, AnArrayIsReportedWholeWhenAnyElementPassesTheDeadband) {
    Queue q;
    q.item.queueSize = 10;
    q.item.filter = {DataChangeTrigger::kStatusValue, DeadbandType::kAbsolute, 2};
    q.offer(array({0, 0, 0}));
    q.offer(array({1, 2, 1}));    // no element moves more than 2
    q.offer(array({1, 0, 3}));    // the last one does
    q.offer(array({1, 0, 3, 0})); // a new length is a change
    ASSERT_EQ(q.values().size(), 3u);
    EXPECT_EQ(numericElements(q.values()[1].value), (std::vector<double>{1, 0, 3}));
}

TEST(DataChangeFilter, TriggersStatusAndStatusValueTimestamp) {
    Queue status;
    status.item.queueSize = 10;
    status.item.filter.trigger = DataChangeTrigger::kStatus;
    status.offer(number(1));
    status.offer(number(2)); // a value change alone is not reported
    status.offer(number(2, Status::kUncertain));
    ASSERT_EQ(status.values().size(), 2u);
    EXPECT_EQ(status.values()[1].status, Status::kUncertain);

    Queue timestamps;
    timestamps.item.queueSize = 10;
    timestamps.item.filter.trigger = DataChangeTrigger::kStatusValueTimestamp;
    timestamps.offer(number(1, Status::kGood, 100));
    timestamps.offer(number(1, Status::kGood, 100)); // nothing new
    timestamps.offer(number(1, Status::kGood, 200)); // a new source time is a change
    EXPECT_EQ(timestamps.values().size(), 2u);

    Queue value; // the default: value or status
    value.item.queueSize = 10;
    value.offer(number(1, Status::kGood, 100));
    value.offer(number(1, Status::kGood, 200));
    value.offer(number(2, Status::kGood, 300));
    EXPECT_EQ(value.numbers(), (std::vector<double>{1, 2}));
}
