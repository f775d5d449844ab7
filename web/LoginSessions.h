// The browsers logged in: a session cookie (64 random hex digits) per login, with the user and
// role it stands for, ending after Limits::kLoginLifetime without use. Only a hash of each
// cookie is kept, so that looking one up tells nothing of the others by its timing. Safe from
// any thread.
#pragma once

#include "toolkit/ua/security/UserAccounts.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::web {

inline constexpr const char* kSessionCookie = "vorn_session";

struct Login {
    std::string user;
    ua::security::UserRole role = ua::security::UserRole::read;
};

class LoginSessions {
public:
    using Clock = std::chrono::steady_clock;

    // A new login; its cookie value, empty when the system gives no random bytes. At the limit
    // the login unused longest makes room.
    std::string open(const Login& login, Clock::time_point now);
    // The login of a cookie value, which counts as a use; nothing when unknown or expired.
    std::optional<Login> find(std::string_view cookie, Clock::time_point now);
    void close(std::string_view cookie);
    size_t count() const;

private:
    struct Entry {
        Login login;
        Clock::time_point lastUse;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> byHash_;
};

} // namespace vorn::web
