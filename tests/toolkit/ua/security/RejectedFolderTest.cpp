// rejected/certs keeps copies of refused certificates for an administrator, within bounds that
// clients without an account cannot push: a few new ones per client address a minute, and at
// most so many files, the oldest going first.
#include "toolkit/ua/security/RejectedFolder.h"

#include "SecureTestClient.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/security/HexText.h"

#include <gtest/gtest.h>

using namespace vorn::ua;
using namespace vorn::ua::test;
using security::RejectedFolder;
namespace fs = std::filesystem;

namespace {

// Certificates of one key, each with a serial number and so a thumbprint of its own.
std::vector<security::Certificate> certificates(size_t count) {
    auto key = *security::RsaKey::generate(2048);
    std::vector<security::Certificate> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(*security::Certificate::createSelfSigned(key, "flood " + std::to_string(i),
                                                               "Tests", "urn:flood", "h", 30));
    return out;
}

size_t filesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

} // namespace

TEST(RejectedFolder, OneAddressAddsOnlyAFewAMinute) {
    ScratchFolder scratch;
    RejectedFolder folder(scratch.path);
    const size_t share = Limits::kMaxRejectedCertificatesPerAddressPerMinute;
    auto many = certificates(share + 2);
    auto now = RejectedFolder::Clock::now();
    for (size_t i = 0; i < share; ++i)
        EXPECT_EQ(folder.keep(many[i], "10.0.0.1", now), RejectedFolder::Outcome::kept) << i;
    EXPECT_EQ(folder.keep(many[share], "10.0.0.1", now), RejectedFolder::Outcome::notKept);
    EXPECT_EQ(folder.keep(many[share], "10.0.0.2", now), RejectedFolder::Outcome::kept);
    EXPECT_EQ(folder.keep(many[0], "10.0.0.1", now), RejectedFolder::Outcome::alreadyKept);
    // A minute later the address has its share again.
    EXPECT_EQ(folder.keep(many[share + 1], "10.0.0.1", now + std::chrono::seconds(61)),
              RejectedFolder::Outcome::kept);
    EXPECT_EQ(filesIn(scratch.path), share + 2);
}

TEST(RejectedFolder, TheOldestGoFirstOnceTheFolderIsFull) {
    ScratchFolder scratch;
    RejectedFolder folder(scratch.path);
    const size_t bound = Limits::kMaxRejectedCertificates;
    auto many = certificates(bound + 20);
    auto now = RejectedFolder::Clock::now();
    for (size_t i = 0; i < many.size(); ++i) // each from an address of its own
        EXPECT_EQ(folder.keep(many[i], "10.1." + std::to_string(i) + ".1", now),
                  RejectedFolder::Outcome::kept);
    EXPECT_EQ(filesIn(scratch.path), bound);
    auto kept = [&](const security::Certificate& c) {
        return fs::exists(scratch.path /
                          (security::toHex(c.thumbprint(), security::HexDigits::upper) + ".der"));
    };
    EXPECT_TRUE(kept(many.back()));
    EXPECT_FALSE(kept(many.front()));
}
