#include "platform/Tick.h"
#include "toolkit/DaClient.h"

#include <deque>
#include <gtest/gtest.h>
#include <thread>

using namespace vorn;

namespace {

// A tag served by a worker thread, as a server's engine serves its tags: device reads store
// a fresh value, writes are remembered and completed with success.
class WorkerTag : public SODaSTag {
public:
    WorkerTag() {
        setDeviceIOMode(kDeviceIOModeRequest);
        worker_ = std::thread([this] { run(); });
    }
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        worker_.join();
    }
    void handleRequest(SODaSRequest& request) override {
        request.start();
        request.addRef();
        std::lock_guard lock(mutex_);
        queue_.push_back(&request);
        wake_.notify_one();
    }
    bool answer = true;
    std::vector<Variant> written;

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            SODaSRequest* request = queue_.front();
            queue_.pop_front();
            if (answer) {
                if (request->getType() == SODaSRequest::write)
                    written.push_back(request->getWriteValue());
                else
                    getCache()->setValueAndQuality(Variant::i2(42), Quality::kGood);
                request->complete(S_OK, false, Quality::kUncertain, false, true);
            }
            request->release();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<SODaSRequest*> queue_;
    bool stopping_ = false;
    std::thread worker_;
};

struct Counting {
    std::vector<std::pair<uint32_t, uint32_t>> rateChanges; // (old, new)
    std::vector<bool> activations;
    int lastReleased = 0;
};

class CountingItem : public SODaSItem {
public:
    explicit CountingItem(Counting& c) : c_(c) {}
    void onSetActive(bool active) override { c_.activations.push_back(active); }
    Counting& c_;
};

class CountingGroup : public SODaSGroup {
public:
    explicit CountingGroup(Counting& c) : c_(c) {}
    void onSetUpdateRate(uint32_t rate) override {
        c_.rateChanges.push_back({getUpdateRate(), rate});
    }
    Counting& c_;
};

class CountingCreator : public SODaSCreator {
public:
    explicit CountingCreator(Counting& c) : c_(c) {}
    SOCmnPointer<SODaSGroup> createGroup() override { return makeObject<CountingGroup>(c_); }
    SOCmnPointer<SODaSItem> createItem() override { return makeObject<CountingItem>(c_); }
    Counting& c_;
};

class CountingHandler : public SOSrvEventHandler {
public:
    explicit CountingHandler(Counting& c) : c_(c) {}
    void onReleasedLastOPCObject() override { ++c_.lastReleased; }
    Counting& c_;
};

struct ClientApi : testing::Test {
    ClientApi() {
        auto branch = makeObject<SODaSNodeDefault>("P1");
        entry->getNameSpaceRoot()->addBranch(branch.get());
        tag->setName("Level");
        tag->setNativeDatatype(VT_I2);
        tag->setAccessRights(AccessRights::kReadable | AccessRights::kWritable);
        tag->getCache()->setValueAndQuality(Variant(), Quality::kUncertain);
        branch->addLeaf(tag.get());
        entry->setCreator(makeObject<CountingCreator>(counts).get());
        entry->setEventHandler(makeObject<CountingHandler>(counts).get());
        entry->start();
    }
    ~ClientApi() override { tag->stop(); }

    Counting counts;
    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    SOCmnPointer<WorkerTag> tag = makeObject<WorkerTag>();
};

} // namespace

TEST_F(ClientApi, ReadsFromCacheAndFromTheDevice) {
    DaClient client(*entry);
    ReadResult cached = client.readFromCache("P1.Level");
    EXPECT_EQ(cached.result, S_OK);
    EXPECT_TRUE(cached.value.isEmpty());
    EXPECT_EQ(cached.quality, Quality::kUncertain);

    ReadResult device = client.readFromDevice("P1.Level", 2000);
    EXPECT_EQ(device.result, S_OK);
    EXPECT_EQ(device.value, Variant::i2(42));
    EXPECT_EQ(device.quality, Quality::kGood);

    EXPECT_EQ(client.readFromCache("P1.Nothing").result, OPC_E_UNKNOWNITEMID);
}

TEST_F(ClientApi, WritesArriveInTheNativeTypeOrAreRefused) {
    DaClient client(*entry);
    WriteResult ok = client.write("P1.Level", Variant::bstr(u"12"), 2000);
    EXPECT_EQ(ok.result, S_OK);
    ASSERT_EQ(tag->written.size(), 1u);
    EXPECT_EQ(tag->written[0], Variant::i2(12));

    EXPECT_EQ(client.write("P1.Level", Variant::bstr(u"abc"), 2000).result, OPC_E_BADTYPE);
    EXPECT_EQ(client.write("P1.Level", Variant::i4(70000), 2000).result, OPC_E_RANGE);
    EXPECT_EQ(client.write("P1.Level", Variant::array(VT_I2, 2), 2000).result, OPC_E_BADTYPE);
    tag->setAccessRights(AccessRights::kReadable);
    EXPECT_EQ(client.write("P1.Level", Variant::i2(1), 2000).result, OPC_E_BADRIGHTS);
    EXPECT_EQ(tag->written.size(), 1u) << "refused writes never reach the tag";
}

TEST_F(ClientApi, AnUnansweredRequestEndsAtItsBound) {
    tag->answer = false;
    DaClient client(*entry);
    uint32_t start = getTickCount();
    EXPECT_EQ(client.readFromDevice("P1.Level", 200).result, E_TIMEDOUT);
    uint32_t took = ticksSince(start);
    EXPECT_GE(took, 190u);
    EXPECT_LT(took, 2000u);
}

TEST_F(ClientApi, GroupsAndItemsCallTheServerHooks) {
    DaClient client(*entry);
    auto group = client.addGroup("g", 1000);
    HRESULT result;
    auto item = client.addItem(*group, "P1.Level", &result);
    ASSERT_TRUE(item);
    EXPECT_FALSE(client.addItem(*group, "P1.Missing", &result));
    EXPECT_EQ(result, OPC_E_UNKNOWNITEMID);

    client.setActive(*item, true);
    client.setActive(*item, true);
    client.setUpdateRate(*group, 250);
    EXPECT_EQ(group->getUpdateRate(), 250u);
    client.removeGroup(*group);

    EXPECT_EQ(counts.activations, (std::vector<bool>{true, false}))
        << "the hook runs on changes only, and removal deactivates";
    ASSERT_EQ(counts.rateChanges.size(), 2u);
    EXPECT_EQ(counts.rateChanges[1], std::make_pair(1000u, 250u))
        << "the hook sees the old rate still in place";
}

TEST_F(ClientApi, TheLastSessionToLeaveIsReported) {
    EXPECT_EQ(entry->getObjectRoot().getBranchCount(), 1u);
    auto first = std::make_unique<DaClient>(*entry);
    auto second = std::make_unique<DaClient>(*entry);
    EXPECT_EQ(entry->getObjectRoot().getBranchCount(), 3u);
    first.reset();
    EXPECT_EQ(counts.lastReleased, 0);
    second.reset();
    EXPECT_EQ(counts.lastReleased, 1);
    EXPECT_EQ(entry->getObjectRoot().getBranchCount(), 1u);
}
