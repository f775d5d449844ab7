// What a session hands its client as secrets comes from OpenSSL's random generator, the one
// every other secret of the server comes from: the test replaces that generator and finds its
// bytes in the authentication token.
#define OPENSSL_SUPPRESS_DEPRECATED // RAND_set_rand_method: the one way to swap the generator
#include "toolkit/ua/SessionManager.h"

#include <gtest/gtest.h>
#include <openssl/rand.h>

using namespace vorn;
using namespace vorn::ua;

namespace {

struct NoSink : ResponseSink {
    void sendResponse(uint64_t, uint32_t, uint32_t, std::string) override {}
};

int patternBytes(unsigned char* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<unsigned char>(0xA5 ^ i);
    return 1;
}

int noBytes(unsigned char*, int) {
    return 0;
}

int randomStatus() {
    return 1;
}

// Replaces OpenSSL's generator for one test.
class SwappedGenerator {
public:
    explicit SwappedGenerator(int (*bytes)(unsigned char*, int)) {
        method_.bytes = bytes;
        method_.status = randomStatus;
        RAND_set_rand_method(&method_);
    }
    ~SwappedGenerator() { RAND_set_rand_method(nullptr); }

private:
    RAND_METHOD method_{};
};

} // namespace

TEST(SessionSecrets, AuthenticationTokensComeFromOpenSslsGenerator) {
    auto entry = makeObject<SODaSEntry>();
    NoSink sink;
    SessionManager sessions(*entry, sink);
    std::string expected(32, '\0');
    patternBytes(reinterpret_cast<unsigned char*>(expected.data()), 32);

    std::shared_ptr<DaClient> evicted;
    std::string token;
    {
        SwappedGenerator swapped(patternBytes);
        std::lock_guard lock(sessions.mutex());
        Session* session = sessions.create("s", 60000, evicted);
        ASSERT_NE(session, nullptr);
        token = session->authenticationToken.text;
    }
    EXPECT_EQ(token, expected);
}

TEST(SessionSecrets, NoSessionWithoutRandomBytes) {
    auto entry = makeObject<SODaSEntry>();
    NoSink sink;
    SessionManager sessions(*entry, sink);
    std::shared_ptr<DaClient> evicted;
    SwappedGenerator swapped(noBytes);
    std::lock_guard lock(sessions.mutex());
    EXPECT_EQ(sessions.create("s", 60000, evicted), nullptr);
}
