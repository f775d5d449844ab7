#include "RejectedFolder.h"

#include "toolkit/SOCmnTrace.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/security/HexText.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace vorn::ua::security {
namespace fs = std::filesystem;
namespace {

constexpr auto kMinute = std::chrono::minutes(1);
// Addresses counted in one minute; beyond them a new address counts as over its share, so
// that the count itself stays small.
constexpr size_t kMaxAddressesCounted = 1024;

struct File {
    fs::path path;
    fs::file_time_type written;
    uintmax_t size;
};

} // namespace

RejectedFolder::RejectedFolder(fs::path folder) : folder_(std::move(folder)) {}

bool RejectedFolder::withinAddressRate(const std::string& address, Clock::time_point now) {
    if (now - windowStart_ >= kMinute) {
        windowStart_ = now;
        keptThisMinute_.clear();
    }
    auto it = keptThisMinute_.find(address);
    if (it == keptThisMinute_.end()) {
        if (keptThisMinute_.size() >= kMaxAddressesCounted)
            return false;
        it = keptThisMinute_.emplace(address, 0).first;
    }
    if (it->second >= Limits::kMaxRejectedCertificatesPerAddressPerMinute)
        return false;
    ++it->second;
    return true;
}

void RejectedFolder::tell(Clock::time_point& lastTold, Clock::time_point now,
                          const std::string& text) {
    if (lastTold != Clock::time_point() && now - lastTold < kMinute)
        return;
    lastTold = now;
    getSOCmnTrace().trace(TraceLevel::warning, "SEC", text);
}

void RejectedFolder::makeRoom(size_t incoming, Clock::time_point now) {
    std::vector<File> files;
    uintmax_t bytes = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (!entry.is_regular_file(ec))
            continue;
        File file{entry.path(), entry.last_write_time(ec), entry.file_size(ec)};
        if (ec)
            continue;
        bytes += file.size;
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(),
              [](const File& a, const File& b) { return a.written < b.written; });
    size_t removed = 0;
    for (const File& oldest : files) {
        if (files.size() - removed + 1 <= Limits::kMaxRejectedCertificates &&
            bytes + incoming <= Limits::kMaxRejectedCertificateBytes)
            break;
        if (fs::remove(oldest.path, ec)) {
            bytes -= std::min(bytes, oldest.size);
            ++removed;
        }
    }
    if (removed > 0)
        tell(toldRoom_, now,
             "rejected certificates: " + folder_.string() + " holds at most " +
                 std::to_string(Limits::kMaxRejectedCertificates) + " files and " +
                 std::to_string(Limits::kMaxRejectedCertificateBytes / 1024) +
                 " KiB; the oldest are removed to keep new ones");
}

RejectedFolder::Outcome RejectedFolder::keep(const Certificate& certificate,
                                             const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const fs::path path = folder_ / (toHex(certificate.thumbprint(), HexDigits::upper) + ".der");
    std::error_code ec;
    if (fs::exists(path, ec))
        return Outcome::alreadyKept;
    if (!withinAddressRate(address, now)) {
        tell(toldRate_, now,
             "rejected certificates: client address " + address + " refused more than " +
                 std::to_string(Limits::kMaxRejectedCertificatesPerAddressPerMinute) +
                 " new certificates this minute; the others are not kept");
        return Outcome::notKept;
    }
    makeRoom(certificate.der().size(), now);
    // Written whole under a temporary name, so that no reader sees half a certificate.
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(certificate.der().data(), static_cast<std::streamsize>(certificate.der().size()));
        if (!out.flush()) {
            fs::remove(temporary, ec);
            return Outcome::notKept;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return Outcome::notKept;
    }
    return Outcome::kept;
}

} // namespace vorn::ua::security
