// Devices that break the grouping's assumptions: one that takes few registers per read, and
// one that refuses a block because a register in a hole between two tags is not mapped.
#include "ConfigFiles.h"
#include "EngineRig.h"
#include "modbus/ErrorCodes.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>

using namespace vorn;
using namespace vorn::test;

namespace {

void activate(EngineRig& rig, SODaSGroup& group, const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        auto item = rig.client().addItem(group, id);
        ASSERT_TRUE(item) << id;
        rig.client().setActive(*item, true);
    }
}

// Trace lines of the engine while it lives.
class EngineTrace {
public:
    EngineTrace() {
        previous_ = getSOCmnTrace().setSink(
            [this](TraceLevel, const std::string& id, const std::string& text) {
                std::lock_guard lock(mutex_);
                if (id == "ENG")
                    lines_.push_back(text);
            });
    }
    ~EngineTrace() { getSOCmnTrace().setSink(previous_); }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
    SOCmnTrace::Sink previous_;
};

// A device that does not map register 11, with tags at 10 (111), 11 and 12 (222).
SimDevice& startHoledPlant(EngineRig& rig) {
    SimDevice& sim = rig.addSimulator(
        {"--unit", "1", "--set", "hr:10=111", "--set", "hr:12=222", "--unmapped", "hr:11"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "10") +
                             tagElement("B", "HREGISTER VT_I2", "12") +
                             tagElement("Hole", "HREGISTER VT_I2", "11")));
    return sim;
}

} // namespace

TEST(MisbehavingDevice, ADeviceTakingThirtyTwoRegistersAReadGetsAHundredInFourRequests) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:0..99=5", "--set", "hr:99=9",
                                       "--set", "coil:19..20=1", "--set", "coil:49=1"});
    rig.start("",
              plcFor(sim, "P1",
                     tagElement("Regs", "HREGISTER VT_I2 ARRAY", "0", "<elements>100</elements>") +
                         tagElement("Coils", "COIL ARRAY", "0", "<elements>50</elements>"),
                     " maxregisters=\"32\" maxbits=\"20\""));
    auto group = rig.client().addGroup("g", 200);
    activate(rig, *group, {"P1.Regs", "P1.Coils"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] {
            return rig.client().readFromCache("P1.Regs").quality == 0xC0 &&
                   rig.client().readFromCache("P1.Coils").quality == 0xC0;
        },
        5000));
    std::vector<std::pair<int, int>> registerReads, coilReads;
    for (const LoggedRequest& r : sim.requests()) {
        auto& reads = r.function == 3 ? registerReads : coilReads;
        if (std::find(reads.begin(), reads.end(), std::pair{r.start, r.count}) == reads.end())
            reads.emplace_back(r.start, r.count);
    }
    EXPECT_EQ(registerReads,
              (std::vector<std::pair<int, int>>{{0, 32}, {32, 32}, {64, 32}, {96, 4}}));
    EXPECT_EQ(coilReads, (std::vector<std::pair<int, int>>{{0, 20}, {20, 20}, {40, 10}}));
    ReadResult regs = rig.client().readFromCache("P1.Regs");
    ASSERT_EQ(regs.value.size(), 100u);
    EXPECT_EQ(regs.value.at(31), Variant::i2(5));
    EXPECT_EQ(regs.value.at(99), Variant::i2(9)) << "the fourth request's data lands at 96";
    ReadResult coils = rig.client().readFromCache("P1.Coils");
    ASSERT_EQ(coils.value.size(), 50u);
    EXPECT_FALSE(coils.value.at(18).asBool());
    EXPECT_TRUE(coils.value.at(19).asBool());
    EXPECT_TRUE(coils.value.at(20).asBool()) << "a reply starting mid-byte lands at its bit";
    EXPECT_FALSE(coils.value.at(21).asBool());
    EXPECT_TRUE(coils.value.at(49).asBool());
}

TEST(MisbehavingDevice, AHoleLimitKeepsTagsApartThatTheDefaultWouldJoin) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "10") +
                             tagElement("B", "HREGISTER VT_I2", "11") +
                             tagElement("C", "HREGISTER VT_I2", "13"),
                         " maxregisterhole=\"0\""));
    auto group = rig.client().addGroup("g", 200);
    activate(rig, *group, {"P1.A", "P1.B", "P1.C"});
    EXPECT_TRUE(EngineRig::eventually(
        [&] {
            return rig.pollBlocks() ==
                   std::vector<std::string>{"HREG10-LEN2@200", "HREG13-LEN1@200"};
        },
        3000))
        << testing::PrintToString(rig.pollBlocks());
}

TEST(MisbehavingDevice, TagsBesideAnUnmappedRegisterReadGoodAndTheTagOnItKeepsTheException) {
    EngineTrace trace;
    EngineRig rig;
    SimDevice& sim = startHoledPlant(rig);
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"P1.A", "P1.B"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] {
            return rig.client().readFromCache("P1.A").quality == 0xC0 &&
                   rig.client().readFromCache("P1.B").quality == 0xC0;
        },
        5000))
        << "tags at 10 and 12 stay bad although each reads alone";
    EXPECT_EQ(rig.client().readFromCache("P1.A").value, Variant::i2(111));
    EXPECT_EQ(rig.client().readFromCache("P1.B").value, Variant::i2(222));

    // The tag on the hole joins the split block and keeps the device's answer.
    activate(rig, *group, {"P1.Hole"});
    const uint16_t illegalAddress = modbus::qualityOf(modbus::ErrorCode::kIllegalDataAddress);
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.Hole").quality == illegalAddress; }, 5000));
    // A few more passes, then: still tag by tag, the neighbours still good, one trace line.
    const size_t before = sim.requests().size();
    ASSERT_TRUE(EngineRig::eventually([&] { return sim.requests().size() > before + 6; }, 5000));
    EXPECT_EQ(rig.client().readFromCache("P1.A").quality, 0xC0);
    EXPECT_EQ(rig.client().readFromCache("P1.B").quality, 0xC0);
    size_t splitLines = 0;
    for (const std::string& line : trace.lines())
        if (line.find("read one by one") != std::string::npos) {
            ++splitLines;
            EXPECT_NE(line.find("P1: registers 10 to 12"), std::string::npos) << line;
        }
    EXPECT_EQ(splitLines, 1u);

    // A client's device read of the three is answered tag by tag as well.
    ReadResult hole = rig.client().readFromDevice("P1.Hole", 5000);
    EXPECT_EQ(hole.quality, illegalAddress);
    EXPECT_EQ(rig.client().readFromDevice("P1.B", 5000).quality, 0xC0);
}

TEST(MisbehavingDevice, ClientsDeviceReadsOfABlockWithAnUnmappedRegisterAreAnsweredTagByTag) {
    // Three clients read at once, so that one request would serve them; on a loaded machine one
    // may come a cycle late and get a request of its own, so the plant is tried up to three
    // times.
    bool together = false;
    for (int attempt = 0; attempt < 3 && !together; ++attempt) {
        EngineRig rig;
        SimDevice& sim = startHoledPlant(rig);
        const std::vector<ReadResult> results = rig.readTogether({"P1.A", "P1.Hole", "P1.B"}, 5000);
        const std::vector<LoggedRequest> log = sim.requests();
        together = !log.empty() && log[0].start == 10 && log[0].count == 3;
        if (!together)
            continue;
        EXPECT_EQ(results[0].quality, 0xC0);
        EXPECT_EQ(results[0].value, Variant::i2(111));
        EXPECT_EQ(results[2].quality, 0xC0) << "a good tag stays bad for its neighbour's hole";
        EXPECT_EQ(results[2].value, Variant::i2(222));
        EXPECT_EQ(results[1].quality, modbus::qualityOf(modbus::ErrorCode::kIllegalDataAddress));
        std::vector<int> alone;
        for (size_t i = 1; i < log.size(); ++i) {
            EXPECT_EQ(log[i].count, 1);
            alone.push_back(log[i].start);
        }
        std::sort(alone.begin(), alone.end());
        EXPECT_EQ(alone, (std::vector<int>{10, 11, 12})) << "then each tag on its own, once";
    }
    EXPECT_TRUE(together) << "the three reads never shared a request";
}

TEST(MisbehavingDevice, ASlowStarterGetsItsPausesAfterConnectingAndBetweenRequests) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    const auto started = std::chrono::system_clock::now();
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "0") +
                             tagElement("B", "HREGISTER VT_I2", "500"),
                         " connectpause=\"600\" requestpause=\"250\""));
    auto group = rig.client().addGroup("g", 10);
    activate(rig, *group, {"P1.A", "P1.B"});
    const std::vector<LoggedRequest> requests =
        waitForRequests(sim.log, 6, std::chrono::milliseconds(10000));
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_GE(requests.front().time - started, std::chrono::milliseconds(600))
        << "nothing is sent before the pause after connecting";
    for (size_t i = 1; i < requests.size(); ++i)
        EXPECT_GE(gapBetween(requests[i - 1], requests[i]), std::chrono::milliseconds(245)) << i;
}
