#include "ConfigFiles.h"
#include "EngineRig.h"
#include "FarEnd.h"
#include "PtyPair.h"
#include "config/ConfigLoader.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/RtuTransport.h"
#include "server/ModbusGroupItem.h"
#include "server/ModbusTag.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace vorn;
using namespace vorn::test;

namespace {

// A serial line with a simulated device at its far end, mapped as a COM port.
struct SerialDevice {
    SerialDevice(const std::string& folder, const std::vector<std::string>& arguments)
        : line(folder) {
        std::vector<std::string> all{"--rtu", line.endB(), "--baud", "9600", "--format", "8N1"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        sim = std::make_unique<SimProcess>(MODBUS_SIM_PATH, all);
    }
    PtyPair line;
    std::unique_ptr<SimProcess> sim;
};

std::string serialPlc(const std::string& name, const std::string& port, int unit,
                      const std::string& tags,
                      const std::string& settings = "<timeout>200</timeout>") {
    return rtuDevice("<name>" + name + "</name><id>" + std::to_string(unit) + "</id><com>" + port +
                         "</com><baudrate>9600</baudrate><parity>NO</parity><stopbits>1</stopbits>"
                         "<databits>8</databits><flowcontrol>NONE</flowcontrol>" +
                         settings + "<silent>5</silent>",
                     tags);
}

// Device A on COM1 and device B on COM2, one holding register each.
std::string twoLineDevices() {
    return serialPlc("A", "COM1", 1, tagElement("T", "HREGISTER VT_I2", "1")) +
           serialPlc("B", "COM2", 2, tagElement("T", "HREGISTER VT_I2", "1"));
}

// A device that never answers (unit 1) on COM1 and one that does (unit 2, register 1 = 42) on
// COM2, each at the far end of its own line.
struct SilentAndAnsweringLines {
    SilentAndAnsweringLines()
        : silent(folder("line1"), {"--unit", "1", "--silent", "1"}),
          answering(folder("line2"), {"--unit", "2", "--set", "hr:1=42"}),
          registry(dir.file("registry.ini")) {
        registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1",
                             silent.line.endA());
        registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM2",
                             answering.line.endA());
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directories(dir.file(name));
        return dir.file(name);
    }

    ScratchDir dir;
    SerialDevice silent;
    SerialDevice answering;
    Registry registry;
};

// The serial devices (by default twoLineDevices()) polled by the real engine over the RTU
// transport; the caller stops the engine.
struct TwoLineEngine {
    TwoLineEngine(const ScratchDir& dir, const Registry& registry,
                  const std::string& devices = twoLineDevices())
        : log(dir.path()) {
        entry->setCreator(makeObject<ModbusCreator>().get());
        ConfigLoader loader(ServerKind::rennick, config, modbusTagFactory(queues), registry);
        loader.loadConfiguration(dir.write("Rennick.xml", rtuConfig("", devices)),
                                 *entry->getNameSpaceRoot());
        transport = std::make_unique<modbus::RtuTransport>(config.serialPorts, registry, log);
        engine = std::make_unique<modbus::CommThread>(config, queues, *transport, observer,
                                                      modbus::EngineSettings{true, ""});
        engine->start();
    }

    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    modbus::EngineQueues queues;
    ServerConfig config;
    modbus::CommLog log;
    std::unique_ptr<modbus::RtuTransport> transport;
    RecordingObserver observer;
    std::unique_ptr<modbus::CommThread> engine;
};

} // namespace

TEST(SerialEngine, AFailingLineIsRebuiltAndTheNextDeviceStillServed) {
    SilentAndAnsweringLines lines;
    TwoLineEngine rig(lines.dir, lines.registry);

    {
        DaClient client(*rig.entry);
        auto group = client.addGroup("g", 100);
        for (const char* id : {"A.T", "B.T"})
            client.setActive(*client.addItem(*group, id), true);
        EXPECT_TRUE(rig.observer.waitFor(
            [](const auto& r) {
                return r.size() >= 2 && r[0] == RecordingObserver::Report{4, "A"} &&
                       r[1] == RecordingObserver::Report{0, "B"};
            },
            5000))
            << rig.observer.reports().size();
        EXPECT_TRUE(EngineRig::eventually(
            [&] { return client.readFromCache("B.T").value == Variant::i2(42); }, 3000));
        EXPECT_EQ(client.readFromCache("A.T").quality, 0x18);
        EXPECT_TRUE(EngineRig::eventually(
            [&] {
                auto r = rig.observer.reports();
                return std::count(r.begin(), r.end(), RecordingObserver::Report{4, "A"}) >= 2;
            },
            5000))
            << "after the line is rebuilt the failing device is tried again";
    }
    rig.engine->stop();
}

TEST(SerialEngine, ADamagedReplyOnOneLineLeavesTheOtherLinesOpen) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.file("line1"));
    std::filesystem::create_directories(dir.file("line2"));
    PtyPair damagedLine(dir.file("line1"));
    SerialDevice answering(dir.file("line2"), {"--unit", "2", "--set", "hr:1=42"});
    Registry registry(dir.file("registry.ini"));
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1", damagedLine.endA());
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM2", answering.line.endA());
    // Device A answers every request in time, but with a wrong CRC.
    FarEnd farEnd(damagedLine.endB());
    std::atomic<bool> answering_{true};
    std::thread deviceA([&] {
        while (answering_) {
            if (farEnd.receive(8, std::chrono::milliseconds(50)).size() == 8)
                farEnd.send({0x01, 0x03, 0x02, 0x00, 0x07, 0x00, 0x00});
        }
    });

    TwoLineEngine rig(dir, registry);
    {
        DaClient client(*rig.entry);
        auto group = client.addGroup("g", 100);
        for (const char* id : {"A.T", "B.T"})
            client.setActive(*client.addItem(*group, id), true);
        EXPECT_TRUE(EngineRig::eventually(
            [&] {
                auto r = rig.observer.reports();
                return std::count(r.begin(), r.end(), RecordingObserver::Report{49, "A"}) >= 3;
            },
            8000))
            << "A's damaged replies are reported";
        EXPECT_EQ(client.readFromCache("B.T").value, Variant::i2(42));
    }
    rig.engine->stop();
    answering_ = false;
    deviceA.join();
    EXPECT_EQ(rig.transport->openCount("COM2"), 1u) << "B's line was never closed";
    EXPECT_EQ(rig.transport->openCount("COM1"), 1u) << "a damaged reply does not close the line";
}

TEST(SerialEngine, ASilentDeviceKeepsItsLineBusyWhileAnAnsweringLineStaysMostlyFree) {
    SilentAndAnsweringLines lines;
    TwoLineEngine rig(lines.dir, lines.registry);
    {
        DaClient client(*rig.entry);
        auto group = client.addGroup("g", 100);
        for (const char* id : {"A.T", "B.T"})
            client.setActive(*client.addItem(*group, id), true);
        // A few seconds of polling: A's 200 ms timeouts hold line 1, B's short transfers
        // (15 bytes at 9600 baud, a 5 ms silent interval) hold line 2 a little.
        EXPECT_TRUE(EngineRig::eventually(
            [&] {
                return rig.engine->health(1).snapshot().requestCount >= 10 &&
                       rig.engine->health(0).snapshot().errorCount >= 4;
            },
            15000));
        const auto a = rig.engine->health(0).snapshot();
        const auto b = rig.engine->health(1).snapshot();
        ASSERT_TRUE(a.busLoad.has_value());
        ASSERT_TRUE(b.busLoad.has_value());
        EXPECT_GT(*a.busLoad, 0.25);
        EXPECT_GT(*b.busLoad, 0.0);
        EXPECT_LT(*b.busLoad, *a.busLoad);
        // B is read again and again: the gap between two reads of its block is known.
        EXPECT_GT(b.readIntervalP50Ms, 0);
        EXPECT_GE(b.readIntervalP95Ms, b.readIntervalP50Ms);
    }
    rig.engine->stop();
}

TEST(SerialEngine, ASilentDeviceAtItsReducedRateLeavesItsLineToTheAnsweringOne) {
    ScratchDir dir;
    const std::string log = dir.file("device.log");
    // Two units at the far end of one line: unit 1 never answers, unit 2 does.
    SerialDevice units(dir.path(), {"--unit", "1", "--unit", "2", "--silent", "1", "--set",
                                    "2:hr:1=42", "--log", log});
    Registry registry(dir.file("registry.ini"));
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1", units.line.endA());
    // Without its reduced rate the silent unit would cost every pass 500 ms and more.
    TwoLineEngine rig(dir, registry,
                      serialPlc("Dead", "COM1", 1, tagElement("T", "HREGISTER VT_I2", "1"),
                                "<timeout>500</timeout><reducedafter>2</reducedafter>"
                                "<reducedinterval>2</reducedinterval>") +
                          serialPlc("Alive", "COM1", 2, tagElement("T", "HREGISTER VT_I2", "1")));
    {
        DaClient client(*rig.entry);
        auto group = client.addGroup("g", 100);
        for (const char* id : {"Dead.T", "Alive.T"})
            client.setActive(*client.addItem(*group, id), true);
        // Two tries that wait out the timeout, then one about every 2 s.
        std::vector<LoggedRequest> dead;
        EngineRig::eventually(
            [&] {
                dead.clear();
                for (const LoggedRequest& r : readRequestLog(log))
                    if (r.unit == 1)
                        dead.push_back(r);
                return dead.size() >= 5;
            },
            30000);
        ASSERT_GE(dead.size(), 5u);
        for (size_t i = 2; i < 5; ++i) {
            EXPECT_GE(gapBetween(dead[i - 1], dead[i]), std::chrono::milliseconds(1900)) << i;
            EXPECT_LT(gapBetween(dead[i - 1], dead[i]), std::chrono::milliseconds(5000)) << i;
        }
        EXPECT_TRUE(rig.engine->health(0).snapshot().reducedRate);
        EXPECT_EQ(client.readFromCache("Alive.T").value, Variant::i2(42));
        EXPECT_EQ(client.readFromCache("Alive.T").quality, 0xC0);

        // Meanwhile the answering unit was read at its own pace, not once a timeout.
        std::vector<std::chrono::milliseconds> gaps;
        std::optional<LoggedRequest> previous;
        for (const LoggedRequest& r : readRequestLog(log)) {
            if (r.unit != 2 || r.time < dead[2].time || r.time > dead[4].time)
                continue;
            if (previous)
                gaps.push_back(gapBetween(*previous, r));
            previous = r;
        }
        ASSERT_GE(gaps.size(), 5u);
        std::sort(gaps.begin(), gaps.end());
        EXPECT_LT(gaps[gaps.size() / 2], std::chrono::milliseconds(300))
            << "the answering unit's median gap; a try of the silent one in every pass takes 600";
    }
    rig.engine->stop();
}
