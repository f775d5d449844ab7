#include "LoginSessions.h"

#include "toolkit/ua/security/Crypto.h"
#include "toolkit/ua/security/HexText.h"
#include "web/WebLimits.h"

#include <algorithm>

namespace vorn::web {
namespace {

constexpr size_t kCookieBytes = 32;

std::string keyOf(std::string_view cookie) {
    const auto hash = ua::security::sha256(cookie);
    return std::string(hash.begin(), hash.end());
}

} // namespace

std::string LoginSessions::open(const Login& login, Clock::time_point now) {
    const std::string random = ua::security::randomBytes(kCookieBytes);
    if (random.size() != kCookieBytes)
        return {};
    const std::string cookie = ua::security::toHex(random);
    std::lock_guard lock(mutex_);
    if (byHash_.size() >= Limits::kMaxLoginSessions) {
        auto oldest =
            std::min_element(byHash_.begin(), byHash_.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
        byHash_.erase(oldest);
    }
    byHash_[keyOf(cookie)] = Entry{login, now};
    return cookie;
}

std::optional<Login> LoginSessions::find(std::string_view cookie, Clock::time_point now) {
    if (cookie.size() != 2 * kCookieBytes)
        return std::nullopt;
    const std::string key = keyOf(cookie);
    std::lock_guard lock(mutex_);
    auto it = byHash_.find(key);
    if (it == byHash_.end())
        return std::nullopt;
    if (now - it->second.lastUse > Limits::kLoginLifetime) {
        byHash_.erase(it);
        return std::nullopt;
    }
    it->second.lastUse = now;
    return it->second.login;
}

void LoginSessions::close(std::string_view cookie) {
    const std::string key = keyOf(cookie);
    std::lock_guard lock(mutex_);
    byHash_.erase(key);
}

size_t LoginSessions::count() const {
    std::lock_guard lock(mutex_);
    return byHash_.size();
}

} // namespace vorn::web
