// The costly checks that admit a client, run for anyone who connects before the server knows
// who it is: the RSA decryption, signature and trust check of an OpenSecureChannel that issues a
// channel, and the password of an ActivateSession. They run here, not on the network thread
// nor on the service threads, so that clients without an account cannot take the time other
// clients' requests need: two threads at a lower scheduling priority than the rest of the
// server, checks queued per client address and taken address by address in turn, one at a time
// per address, and at most Limits::kMaxAdmissionChecksPerAddress per address waiting, running or
// waiting to be answered (a refused login is answered late, from a timer, holding no thread).
// Addresses whose checks were refused in the last minute wait behind the others: a client that
// keeps guessing does not delay one that logs in right.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorn::ua {

class AdmissionChecks {
public:
    using Clock = std::chrono::steady_clock;
    struct Outcome {
        Clock::time_point answerAt; // now, or later (a refused login)
        bool refused = false;       // counts against the client's address for a minute
    };
    // Runs on a check thread: the check itself.
    using Work = std::function<Outcome()>;
    // Sends the check's answer; runs on a check thread once it is due, and must not block.
    using Answer = std::function<void()>;

    explicit AdmissionChecks(size_t threadCount = 2);
    ~AdmissionChecks();
    AdmissionChecks(const AdmissionChecks&) = delete;
    AdmissionChecks& operator=(const AdmissionChecks&) = delete;

    // Queues a check for a client at `address` (its IP address). False, and nothing queued,
    // when that address or all together hold as many checks as they may: the caller refuses
    // the request at once without checking anything.
    [[nodiscard]] bool submit(const std::string& address, Work work, Answer answer);
    // Ends the threads; checks not run and answers not yet due are dropped. Idempotent.
    void stop();

    // Checks of one address waiting, running or waiting to be answered.
    size_t heldBy(const std::string& address) const;

private:
    struct Check {
        std::string address;
        Work work;
        Answer answer;
    };
    struct Due {
        Clock::time_point at;
        std::string address;
        Answer answer;
    };
    struct PerAddress {
        std::deque<Check> waiting;
        size_t held = 0; // waiting, running or waiting to be answered
        bool running = false;
    };

    void run();
    // Under the lock: the next check to start, or none: of the addresses with the fewest
    // refusals this minute, the next in turn.
    bool takeNext(Check& check);
    // Under the lock: the address's refusals this minute.
    size_t refusalsOf(const std::string& address);
    void countRefusal(const std::string& address);
    // Under the lock: the address's check is over.
    void release(const std::string& address);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, PerAddress> addresses_;
    std::string lastServed_; // the turn goes on from the address after it
    std::vector<Due> due_;   // answers waiting for their time
    Clock::time_point windowStart_;
    std::map<std::string, size_t> refusals_; // this minute, per address
    size_t held_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace vorn::ua
