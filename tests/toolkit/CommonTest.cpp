#include "ScratchDir.h"
#include "platform/Registry.h"
#include "toolkit/SOCmnEventPool.h"
#include "toolkit/SOCmnList.h"
#include "toolkit/SOCmnString.h"
#include "toolkit/SOCmnTrace.h"
#include "toolkit/SODaSEntry.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vorn;

TEST(SOCmnList, KeepsAddOrderAndIsSafeAcrossThreads) {
    SOCmnListHeader<int> list;
    std::thread a([&] {
        for (int i = 0; i < 1000; ++i)
            list.add(i);
    });
    std::thread b([&] {
        for (int i = 0; i < 1000; ++i)
            list.add(1000 + i);
    });
    a.join();
    b.join();
    ASSERT_EQ(list.getCount(), 2000u);

    int lastLow = -1, lastHigh = 999;
    list.lock();
    for (auto pos = list.getStartPosition(); pos;) {
        int v = list.getNext(pos);
        int& last = v < 1000 ? lastLow : lastHigh;
        EXPECT_GT(v, last) << "each producer's values stay in add order";
        last = v;
    }
    list.unlock();
    EXPECT_LT(list.getIndex(1000), list.getIndex(1001))
        << "the second producer's values keep their order";
    EXPECT_EQ(list.getIndex(5000), -1);
    EXPECT_EQ(list.removeHead().has_value(), true);
    EXPECT_EQ(list.takeAll().size(), 1999u);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(list.removeHead());
}

TEST(SOCmnString, FormatAndReplace) {
    EXPECT_EQ(SOCmnString::format("%s on %s", "Timeout", "P1"), "Timeout on P1");
    std::string long_(5000, 'x');
    EXPECT_EQ(SOCmnString::format("%s!", long_.c_str()).size(), 5001u);
    std::string text = "a.b.c";
    EXPECT_EQ(SOCmnString::replace(text, ".", ".."), 2u);
    EXPECT_EQ(text, "a..b..c");
    EXPECT_EQ(SOCmnString::replace(text, "", "x"), 0u);
}

TEST(SOCmnTrace, DropsLinesAboveItsLevel) {
    SOCmnTrace trace;
    std::vector<std::string> lines;
    trace.setSink([&](TraceLevel, const std::string& id, const std::string& text) {
        lines.push_back(id + ":" + text);
    });
    trace.setLevel(TraceLevel::warning);
    trace.trace(TraceLevel::error, "DMS", "Can't start the OPC server");
    trace.trace(TraceLevel::debug, "CFG", "noise");
    EXPECT_EQ(lines, std::vector<std::string>{"DMS:Can't start the OPC server"});
    EXPECT_FALSE(trace.isEnabled(TraceLevel::info));
}

TEST(SOCmnEventPool, HandsOutResetEventsAndReusesThem) {
    auto& pool = getEventPool();
    auto event = pool.popEvent();
    event->set();
    Event* raw = event.get();
    pool.pushEvent(std::move(event));
    auto again = pool.popEvent();
    EXPECT_EQ(again.get(), raw);
    EXPECT_FALSE(again->wait(0)) << "an event from the pool starts reset";
    pool.pushEvent(again);
}

TEST(SODaSEntry, RegistrationRecordsAreWrittenAndRemoved) {
    vorn::test::ScratchDir dir;
    Registry registry(dir.file("registry.ini"));
    auto entry = makeObject<SODaSEntry>();
    entry->initialize(1, "{5E1B3D70-4C2A-4B8E-9F11-7A0C2D9E6B01}", nullptr, 0);
    entry->setRegisterInfo("Vorn.ModBusTcpIpOPCServerDA.1.1", "Vorn.ModBusTcpIpOPCServerDA",
                           "Vorn ModBus Tcp/Ip OPC DA Server v1.1");
    ASSERT_TRUE(entry->registerServer(registry));
    ASSERT_TRUE(entry->registerCategories(registry));
    EXPECT_EQ(
        registry.readString("SOFTWARE\\Classes\\Vorn.ModBusTcpIpOPCServerDA", "CLSID").value_or(""),
        "{5E1B3D70-4C2A-4B8E-9F11-7A0C2D9E6B01}");
    ASSERT_TRUE(entry->unregisterCategories(registry));
    ASSERT_TRUE(entry->unregisterServer(registry));
    EXPECT_FALSE(registry.keyExists("SOFTWARE\\Classes\\Vorn.ModBusTcpIpOPCServerDA"));
    EXPECT_FALSE(registry.keyExists("SOFTWARE\\Classes\\Vorn.ModBusTcpIpOPCServerDA.1.1"));
}
