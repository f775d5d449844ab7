// Reads and writes that wait for devices are parked, not run on a service thread: the
// dispatcher returns at once, the answer comes when the engine completes the requests, when
// the call's deadline passes or when the server stops, and one session can keep only so many
// waiting. Also the Write checks that need no device: ArrayDimensions against the array.
#include "UaFrames.h"
#include "WaitingSink.h"
#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/ServiceDispatcher.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

using namespace vorn;
using namespace vorn::ua;
using namespace std::chrono_literals;
using vorn::ua::test::Answer;
using vorn::ua::test::WaitingSink;

namespace {

// A device that never answers by itself: the test completes what it holds.
class HeldTag : public SODaSTag {
public:
    void handleRequest(SODaSRequest& request) override {
        std::lock_guard lock(mutex_);
        held_.push_back(SOCmnPointer<SODaSRequest>::share(&request));
    }
    size_t completeAll(HRESULT result) {
        std::vector<SOCmnPointer<SODaSRequest>> held;
        {
            std::lock_guard lock(mutex_);
            held.swap(held_);
        }
        for (auto& request : held)
            request->complete(result, true, Quality::kGood);
        return held.size();
    }

private:
    std::mutex mutex_;
    std::vector<SOCmnPointer<SODaSRequest>> held_;
};

struct Rig {
    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    SOCmnPointer<HeldTag> held = makeObject<HeldTag>();
    WaitingSink sink;
    std::unique_ptr<ServiceContext> core;
    std::unique_ptr<ServiceDispatcher> dispatcher;
    uint32_t lastRequestId = 0;

    Rig() {
        auto device = makeObject<SODaSNode>("P1");
        entry->getNameSpaceRoot()->addBranch(device.get());
        held->setName("Held");
        held->setNativeDatatype(VT_I2);
        held->setDeviceIOMode(kDeviceIOModeRequest);
        device->addLeaf(held.get());
        auto array = makeObject<SODaSTag>();
        array->setName("A");
        array->setNativeDatatype(VT_ARRAY | VT_UI2);
        device->addLeaf(array.get());
        for (SODaSTag* tag : {static_cast<SODaSTag*>(held.get()), array.get()}) {
            tag->setAccessRights(AccessRights::kReadable | AccessRights::kWritable);
            tag->getCache()->setValueAndQuality(tag == array.get() ? vorn::Variant::array(VT_UI2, 4)
                                                                   : vorn::Variant::i2(7),
                                                Quality::kGood);
        }
        entry->start();
        core = std::make_unique<ServiceContext>(*entry, CoreSettings{"urn:p", "urn:a", "P", 5000},
                                                sink, BuildInfoText{}, "urn:a:tags");
        dispatcher = std::make_unique<ServiceDispatcher>(*core, sink);
    }
    ~Rig() {
        core->parked.stop();
        core->sessions.stop();
    }

    // An activated session on `connectionId`; its authentication token.
    NodeId session(uint64_t connectionId) {
        std::lock_guard lock(core->sessions.mutex());
        std::shared_ptr<DaClient> evicted;
        Session* s = core->sessions.create("s", 60000, evicted);
        s->connectionId = connectionId;
        s->activated = true;
        return s->authenticationToken;
    }

    uint32_t read(uint64_t connectionId, const NodeId& token, const char* tag, double maxAge,
                  uint32_t timeoutHint = 0) {
        Encoder e;
        test::requestHeader(e, token, 1, timeoutHint);
        e.f64(maxAge);
        e.u32(TimestampsToReturn::kNeither);
        e.arrayLength(1);
        e.nodeId(NodeId::ofString(1, tag));
        e.u32(AttributeId::kValue);
        e.nullString();
        e.qualifiedName({});
        return dispatch(connectionId, TypeId::kReadRequest, e.bytes());
    }

    uint32_t writeI2(uint64_t connectionId, const NodeId& token, const char* tag, int16_t value) {
        Encoder e;
        test::requestHeader(e, token, 1);
        e.arrayLength(1);
        e.nodeId(NodeId::ofString(1, tag));
        e.u32(AttributeId::kValue);
        e.nullString();
        DataValue dv;
        dv.hasValue = true;
        dv.value = ua::Variant::scalar(BuiltinType::kInt16, int64_t(value));
        e.dataValue(dv);
        return dispatch(connectionId, TypeId::kWriteRequest, e.bytes());
    }

    uint32_t writeArray(uint64_t connectionId, const NodeId& token,
                        std::vector<int32_t> dimensions) {
        Encoder e;
        test::requestHeader(e, token, 1);
        e.arrayLength(1);
        e.nodeId(NodeId::ofString(1, "P1.A"));
        e.u32(AttributeId::kValue);
        e.nullString();
        DataValue dv;
        dv.hasValue = true;
        dv.value.type = BuiltinType::kUInt16;
        dv.value.isArray = true;
        for (int i = 0; i < 4; ++i)
            dv.value.values.push_back(uint64_t(i));
        dv.value.dimensions = std::move(dimensions);
        e.dataValue(dv);
        return dispatch(connectionId, TypeId::kWriteRequest, e.bytes());
    }

    uint32_t dispatch(uint64_t connectionId, uint32_t typeId, std::string body) {
        uint32_t id = ++lastRequestId;
        dispatcher->dispatch(connectionId,
                             ServiceRequest{id, typeId, std::move(body), nullptr, nullptr});
        return id;
    }
};

} // namespace

TEST(ParkedCalls, DeviceReadsWaitWithoutHoldingTheCallerAndEndWhenTheEngineCompletesThem) {
    Rig rig;
    NodeId greedy = rig.session(1);
    NodeId other = rig.session(2);
    for (size_t i = 0; i < Limits::kMaxParkedCallsPerSession; ++i)
        rig.read(1, greedy, "P1.Held", 0);
    EXPECT_EQ(rig.sink.size(), 0u) << "device reads are parked, the dispatcher returned";
    EXPECT_EQ(rig.core->parked.countOf(greedy), Limits::kMaxParkedCallsPerSession);

    uint32_t refused = rig.read(1, greedy, "P1.Held", 0);
    ASSERT_EQ(rig.sink.size(), 1u);
    EXPECT_EQ(rig.sink.of(refused).serviceResult, Status::kBadTooManyOperations);

    // The other session is not held back: its cache read is answered at once, and it may
    // park device reads of its own.
    uint32_t cached = rig.read(2, other, "P1.Held", 60000);
    ASSERT_EQ(rig.sink.size(), 2u);
    EXPECT_EQ(rig.sink.of(cached).results, std::vector<StatusCode>{Status::kGood});
    rig.read(2, other, "P1.Held", 0);
    EXPECT_EQ(rig.core->parked.countOf(other), 1u);

    EXPECT_EQ(rig.held->completeAll(S_OK), Limits::kMaxParkedCallsPerSession + 1);
    ASSERT_TRUE(rig.sink.waitFor(Limits::kMaxParkedCallsPerSession + 3, 5s));
    for (const Answer& a : rig.sink.answers) {
        if (a.requestId != refused) {
            EXPECT_EQ(a.results, std::vector<StatusCode>{Status::kGood}) << a.requestId;
        }
    }
    EXPECT_EQ(rig.core->parked.count(), 0u);
    EXPECT_EQ(rig.core->parked.countOf(greedy), 0u);
}

TEST(ParkedCalls, AParkedCallEndsAtItsDeadlineOrWhenTheServerStops) {
    Rig rig;
    NodeId token = rig.session(1);
    auto start = std::chrono::steady_clock::now();
    uint32_t late = rig.read(1, token, "P1.Held", 0, 200);
    ASSERT_TRUE(rig.sink.waitFor(1, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
    EXPECT_EQ(rig.sink.of(late).results, std::vector<StatusCode>{Status::kBadTimeout});

    uint32_t stopped = rig.read(1, token, "P1.Held", 0);
    EXPECT_EQ(rig.sink.size(), 1u);
    rig.core->parked.stop();
    ASSERT_TRUE(rig.sink.waitFor(2, 1s));
    EXPECT_EQ(rig.sink.of(stopped).results, std::vector<StatusCode>{Status::kBadShutdown});
    // The engine completing the requests later touches nothing that has gone.
    rig.held->completeAll(S_OK);
}

TEST(ParkedCalls, AtTheShutdownEveryCallWaitingForADeviceEndsWithBadShutdown) {
    Rig rig;
    NodeId token = rig.session(1);
    uint32_t read = rig.read(1, token, "P1.Held", 0);
    uint32_t write = rig.writeI2(1, token, "P1.Held", 5);
    EXPECT_EQ(rig.sink.size(), 0u);
    rig.core->parked.stop(); // what the server's shutdown does first
    ASSERT_TRUE(rig.sink.waitFor(2, 1s));
    EXPECT_EQ(rig.sink.of(read).results, std::vector<StatusCode>{Status::kBadShutdown});
    EXPECT_EQ(rig.sink.of(write).results, std::vector<StatusCode>{Status::kBadShutdown});

    // Later calls that would wait for a device are refused as the shutdown, not as too many.
    uint32_t late = rig.read(1, token, "P1.Held", 0);
    ASSERT_TRUE(rig.sink.waitFor(3, 1s));
    EXPECT_EQ(rig.sink.of(late).serviceResult, Status::kBadShutdown);
    rig.held->completeAll(S_OK);
}

TEST(ParkedCalls, RequestsTheEngineGivesUpAtItsStopAnswerBadShutdown) {
    Rig rig;
    NodeId token = rig.session(1);
    uint32_t read = rig.read(1, token, "P1.Held", 0);
    uint32_t write = rig.writeI2(1, token, "P1.Held", 5);
    rig.held->completeAll(E_ABORT); // as EngineQueues::failAll completes what is still queued
    ASSERT_TRUE(rig.sink.waitFor(2, 5s));
    EXPECT_EQ(rig.sink.of(read).results, std::vector<StatusCode>{Status::kBadShutdown});
    EXPECT_EQ(rig.sink.of(write).results, std::vector<StatusCode>{Status::kBadShutdown});
}

TEST(ParkedCalls, AWriteWhoseArrayDimensionsContradictItsLengthIsATypeMismatch) {
    Rig rig;
    NodeId token = rig.session(1);
    uint32_t wrong = rig.writeArray(1, token, {5});
    uint32_t twoDimensional = rig.writeArray(1, token, {2, 2});
    uint32_t negative = rig.writeArray(1, token, {-4});
    uint32_t right = rig.writeArray(1, token, {4});
    uint32_t without = rig.writeArray(1, token, {});
    ASSERT_TRUE(rig.sink.waitFor(5, 5s));
    for (uint32_t id : {wrong, twoDimensional, negative})
        EXPECT_EQ(rig.sink.of(id).results, std::vector<StatusCode>{Status::kBadTypeMismatch}) << id;
    for (uint32_t id : {right, without})
        EXPECT_EQ(rig.sink.of(id).results, std::vector<StatusCode>{Status::kGood}) << id;
}
