// The PKI folder's rejected/certs: copies of refused client certificates, named by their SHA-1
// thumbprint, for an administrator to look at and trust (vorn-pki). Clients that have no
// account choose what lands here, so it is bounded: at most Limits::kMaxRejectedCertificates
// files and Limits::kMaxRejectedCertificateBytes bytes (the oldest go first), and each client
// address adds at most Limits::kMaxRejectedCertificatesPerAddressPerMinute a minute. The
// trace says when a bound is reached, at most once a minute each.
#pragma once

#include "toolkit/ua/security/Crypto.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace vorn::ua::security {

class RejectedFolder {
public:
    using Clock = std::chrono::steady_clock;

    explicit RejectedFolder(std::filesystem::path folder);

    enum class Outcome { kept, alreadyKept, notKept };
    // Keeps a copy of `certificate`, refused for a client at `address` (its IP address).
    // Safe from any thread.
    Outcome keep(const Certificate& certificate, const std::string& address,
                 Clock::time_point now = Clock::now());

    const std::filesystem::path& folder() const { return folder_; }

private:
    // Under the lock: false when the address has added its share this minute.
    bool withinAddressRate(const std::string& address, Clock::time_point now);
    // Under the lock: removes the oldest files until `incoming` more bytes and one more file fit.
    void makeRoom(size_t incoming, Clock::time_point now);
    // Under the lock: a trace line at most once a minute per kind of bound.
    void tell(Clock::time_point& lastTold, Clock::time_point now, const std::string& text);

    const std::filesystem::path folder_;
    std::mutex mutex_;
    Clock::time_point windowStart_;
    std::map<std::string, size_t> keptThisMinute_; // per client address
    Clock::time_point toldRate_;
    Clock::time_point toldRoom_;
};

} // namespace vorn::ua::security
