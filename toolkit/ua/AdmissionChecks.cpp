#include "AdmissionChecks.h"

#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace vorn::ua {
namespace {

// Below the service threads: a CPU shared with requests of admitted clients goes to them first.
constexpr int kNiceness = 10;
constexpr auto kRefusalWindow = std::chrono::minutes(1);
// Addresses whose refusals are counted in one minute; a further one counts as none.
constexpr size_t kMaxAddressesCounted = 1024;

} // namespace

AdmissionChecks::AdmissionChecks(size_t threadCount) {
    for (size_t i = 0; i < threadCount; ++i)
        threads_.emplace_back([this] {
            // Raising one's own niceness needs no privilege; where it fails the checks simply
            // run at the same priority as the rest.
            (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceness);
            run();
        });
}

AdmissionChecks::~AdmissionChecks() {
    stop();
}

bool AdmissionChecks::submit(const std::string& address, Work work, Answer answer) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || held_ >= Limits::kMaxAdmissionChecks)
            return false;
        PerAddress& per = addresses_[address];
        if (per.held >= Limits::kMaxAdmissionChecksPerAddress)
            return false;
        per.waiting.push_back({address, std::move(work), std::move(answer)});
        ++per.held;
        ++held_;
    }
    changed_.notify_one();
    return true;
}

void AdmissionChecks::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_)
        if (thread.joinable())
            thread.join();
    threads_.clear();
    std::lock_guard lock(mutex_);
    addresses_.clear();
    due_.clear();
    held_ = 0;
}

size_t AdmissionChecks::heldBy(const std::string& address) const {
    std::lock_guard lock(mutex_);
    auto it = addresses_.find(address);
    return it == addresses_.end() ? 0 : it->second.held;
}

size_t AdmissionChecks::refusalsOf(const std::string& address) {
    if (Clock::now() - windowStart_ >= kRefusalWindow) {
        windowStart_ = Clock::now();
        refusals_.clear();
    }
    auto it = refusals_.find(address);
    return it == refusals_.end() ? 0 : it->second;
}

void AdmissionChecks::countRefusal(const std::string& address) {
    refusalsOf(address); // starts a new minute when the last one is over
    if (refusals_.size() < kMaxAddressesCounted || refusals_.count(address))
        ++refusals_[address];
}

bool AdmissionChecks::takeNext(Check& check) {
    // From the address after the last one served, round to it again; the first of those with
    // the fewest refusals.
    auto at = addresses_.upper_bound(lastServed_);
    auto chosen = addresses_.end();
    size_t fewest = 0;
    for (size_t n = 0; n < addresses_.size(); ++n, ++at) {
        if (at == addresses_.end())
            at = addresses_.begin();
        const PerAddress& per = at->second;
        if (per.running || per.waiting.empty())
            continue;
        const size_t refusals = refusalsOf(at->first);
        if (chosen == addresses_.end() || refusals < fewest) {
            chosen = at;
            fewest = refusals;
        }
    }
    if (chosen == addresses_.end())
        return false;
    PerAddress& per = chosen->second;
    check = std::move(per.waiting.front());
    per.waiting.pop_front();
    per.running = true;
    lastServed_ = chosen->first;
    return true;
}

void AdmissionChecks::release(const std::string& address) {
    held_ -= std::min<size_t>(held_, 1);
    auto it = addresses_.find(address);
    if (it == addresses_.end())
        return;
    PerAddress& per = it->second;
    per.held -= std::min<size_t>(per.held, 1);
    if (per.held == 0 && per.waiting.empty() && !per.running)
        addresses_.erase(it);
}

void AdmissionChecks::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        auto earliest = std::min_element(due_.begin(), due_.end(),
                                         [](const Due& a, const Due& b) { return a.at < b.at; });
        if (earliest != due_.end() && earliest->at <= now) {
            Due due = std::move(*earliest);
            due_.erase(earliest);
            lock.unlock();
            due.answer();
            lock.lock();
            release(due.address);
            continue;
        }
        Check check;
        if (takeNext(check)) {
            lock.unlock();
            const Outcome outcome = check.work();
            const Clock::time_point answerAt = outcome.answerAt;
            const bool now = answerAt <= Clock::now();
            if (now)
                check.answer();
            lock.lock();
            addresses_[check.address].running = false;
            if (outcome.refused)
                countRefusal(check.address);
            if (now)
                release(check.address);
            else
                due_.push_back({answerAt, check.address, std::move(check.answer)});
            // Another thread may take this address's next check, or wait for the new answer.
            changed_.notify_all();
            continue;
        }
        if (earliest != due_.end()) {
            // A copy: while this thread waits, the other may add to due_ and move its elements.
            const Clock::time_point wakeAt = earliest->at;
            changed_.wait_until(lock, wakeAt);
        } else
            changed_.wait(lock);
    }
}

} // namespace vorn::ua
