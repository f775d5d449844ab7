// The admission checks' order and bounds, with one thread: a refusal waits for its answer
// without holding the thread, an address with refusals this minute waits behind the others,
// and an address keeps only a few checks; and with two, answers due later while their list
// grows.
#include "toolkit/ua/AdmissionChecks.h"

#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace vorn::ua;
using namespace std::chrono_literals;
using Clock = AdmissionChecks::Clock;

namespace {

// What ran and what was answered, in order.
struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return lines;
    }
};

AdmissionChecks::Work refusedCheck(Log& log, const std::string& name, Clock::duration late = {}) {
    return [&log, name, late] {
        log.add("run " + name);
        return AdmissionChecks::Outcome{Clock::now() + late, true};
    };
}

bool eventually(const std::function<bool()>& done) {
    for (auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(5ms))
        if (done())
            return true;
    return done();
}

} // namespace

TEST(AdmissionChecks, ARefusalAnsweredLaterHoldsNoThread) {
    AdmissionChecks checks(1);
    Log log;
    ASSERT_TRUE(
        checks.submit("10.0.0.1", refusedCheck(log, "a", 300ms), [&] { log.add("answer a"); }));
    ASSERT_TRUE(checks.submit("10.0.0.2", refusedCheck(log, "b"), [&] { log.add("answer b"); }));
    ASSERT_TRUE(eventually([&] { return log.taken().size() == 4; }));
    EXPECT_EQ(log.taken(), (std::vector<std::string>{"run a", "run b", "answer b", "answer a"}));
    EXPECT_EQ(checks.heldBy("10.0.0.1"), 0u);
}

TEST(AdmissionChecks, AnAddressWithRefusalsWaitsBehindTheOthers) {
    AdmissionChecks checks(1);
    Log log;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto none = [] {};
    // 10.0.0.1 is refused once; then 10.0.0.3 holds the thread while both others queue.
    ASSERT_TRUE(checks.submit("10.0.0.1", refusedCheck(log, "first"), none));
    ASSERT_TRUE(eventually([&] { return checks.heldBy("10.0.0.1") == 0; }));
    ASSERT_TRUE(checks.submit(
        "10.0.0.3",
        [&log, released] {
            log.add("run holder");
            released.wait();
            return AdmissionChecks::Outcome{Clock::now(), false};
        },
        none));
    ASSERT_TRUE(eventually([&] { return log.taken().size() == 2; })); // the holder runs
    ASSERT_TRUE(checks.submit("10.0.0.1", refusedCheck(log, "guesser"), none));
    ASSERT_TRUE(checks.submit(
        "10.0.0.2",
        [&log] {
            log.add("run newcomer");
            return AdmissionChecks::Outcome{Clock::now(), false};
        },
        none));
    release.set_value();
    ASSERT_TRUE(eventually([&] { return log.taken().size() == 4; }));
    // In turn after 10.0.0.3 would come 10.0.0.1; its refusal puts 10.0.0.2 first.
    EXPECT_EQ(log.taken(),
              (std::vector<std::string>{"run first", "run holder", "run newcomer", "run guesser"}));
}

TEST(AdmissionChecks, AnAddressKeepsOnlyAFewChecks) {
    AdmissionChecks checks(1);
    Log log;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto held = [released] {
        released.wait();
        return AdmissionChecks::Outcome{Clock::now(), false};
    };
    for (size_t i = 0; i < Limits::kMaxAdmissionChecksPerAddress; ++i)
        EXPECT_TRUE(checks.submit("10.0.0.1", held, [] {}));
    EXPECT_FALSE(checks.submit("10.0.0.1", held, [] {}));
    EXPECT_TRUE(checks.submit("10.0.0.2", held, [] {}));
    release.set_value();
    EXPECT_TRUE(eventually([&] { return checks.heldBy("10.0.0.1") == 0; }));
    EXPECT_TRUE(checks.submit("10.0.0.1", held, [] {}));
}

// Checks arriving one by one, each refused and answered later: while one thread waits for the
// earliest answer due, the other runs the next check and adds its answer to the list, which
// moves the list's elements; every answer still comes, once.
TEST(AdmissionChecks, AnswersDueLaterArriveWhileTheListOfThemGrows) {
    AdmissionChecks checks(2);
    Log log;
    constexpr int kAddresses = 40;
    constexpr int kPerAddress = 3;
    for (int round = 0; round < kPerAddress; ++round)
        for (int a = 0; a < kAddresses; ++a) {
            const std::string name = std::to_string(a) + "." + std::to_string(round);
            ASSERT_TRUE(checks.submit("10.0.1." + std::to_string(a),
                                      refusedCheck(log, name, 300ms + std::chrono::milliseconds(a)),
                                      [&log, name] { log.add("answer " + name); }));
            std::this_thread::sleep_for(1ms);
        }
    ASSERT_TRUE(eventually([&] { return log.taken().size() == 2 * kAddresses * kPerAddress; }))
        << log.taken().size();
    const std::vector<std::string> lines = log.taken();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("answer ", 0) == 0; }),
              kAddresses * kPerAddress);
    for (int a = 0; a < kAddresses; ++a)
        EXPECT_EQ(checks.heldBy("10.0.1." + std::to_string(a)), 0u);
}
