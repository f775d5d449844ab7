// A secure channel as a client sees it, without sockets: the server's certificate made in its
// PKI folder, an unknown client certificate refused and kept in rejected/certs, then trusted
// without a restart; requests and responses protected with the derived keys; a flipped byte,
// a replayed chunk or a stale token close the channel; renewal brings new keys.
#include "SecureTestClient.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/security/ServerSecurity.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vorn::ua;
using namespace vorn::ua::test;
using security::SecurityMode;
namespace fs = std::filesystem;

namespace {

const std::string kServerUri = "urn:testhost:VornAutomation:Tarnvale";

struct Server {
    ScratchFolder scratch;
    std::unique_ptr<security::ServerSecurity> security;

    Server() {
        auto pki = std::make_unique<security::PkiStore>(scratch.path / "pki");
        std::string error;
        EXPECT_TRUE(pki->loadOrCreateOwn("Tarnvale", kServerUri, "testhost", &error)) << error;
        security = std::make_unique<security::ServerSecurity>(security::defaultEndpoints(),
                                                              std::move(pki));
    }
    const security::PkiStore& pki() const { return *security->pki(); }
    void trust(const security::Certificate& certificate, const std::string& name) {
        std::ofstream(scratch.path / "pki/trusted/certs" / name, std::ios::binary)
            << certificate.der();
    }
};

// Opens a channel; the status of the refusal, or 0 with `requests` taken.
uint32_t openChannel(SecureChannel& channel, SecureTestClient& client) {
    std::vector<ServiceRequest> requests;
    EXPECT_TRUE(channel.receive(helloMessage(), requests));
    channel.takeOutput();
    bool open = receiveChecked(channel, client.open(0), requests);
    std::string out = channel.takeOutput();
    if (!open)
        return errorStatus(out);
    EXPECT_TRUE(client.takeOpenResponse(out));
    return 0;
}

} // namespace

TEST(SecureChannelSecurity, TheServerCertificateAndPkiFolderAreMadeAtFirstStart) {
    Server server;
    fs::path pki = server.scratch.path / "pki";
    for (const char* folder : {"own/certs", "own/private", "trusted/certs", "trusted/crl",
                               "issuers/certs", "rejected/certs"})
        EXPECT_TRUE(fs::is_directory(pki / folder)) << folder;
    struct stat info {};
    ASSERT_EQ(stat((pki / "own/private/Tarnvale.pem").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const security::Certificate& certificate = server.pki().certificate();
    EXPECT_EQ(certificate.applicationUri(), kServerUri);
    EXPECT_EQ(certificate.publicKey().sizeBytes(), 256u);

    // A second start takes the same certificate.
    security::PkiStore again(pki);
    std::string error;
    ASSERT_TRUE(again.loadOrCreateOwn("Tarnvale", kServerUri, "testhost", &error));
    EXPECT_EQ(again.certificate().der(), certificate.der());
}

TEST(SecureChannelSecurity, AnUnknownCertificateIsRefusedKeptAndTakenOnceTrusted) {
    Server server;
    auto identity = ClientIdentity::make("urn:client");
    {
        SecureChannel channel(5, server.security.get());
        SecureTestClient client(security::basic256Sha256(), SecurityMode::signAndEncrypt, identity,
                                server.pki().certificate());
        EXPECT_EQ(openChannel(channel, client), Status::kBadSecurityChecksFailed);
    }
    fs::path rejected = server.scratch.path / "pki/rejected/certs";
    ASSERT_EQ(std::distance(fs::directory_iterator(rejected), fs::directory_iterator()), 1);
    fs::path kept = fs::directory_iterator(rejected)->path();
    fs::rename(kept, server.scratch.path / "pki/trusted/certs" / kept.filename());

    SecureChannel channel(6, server.security.get());
    SecureTestClient client(security::basic256Sha256(), SecurityMode::signAndEncrypt, identity,
                            server.pki().certificate());
    EXPECT_EQ(openChannel(channel, client), 0u);
    EXPECT_TRUE(channel.isOpen());
}

TEST(SecureChannelSecurity, ExpiredAndNotOfferedAreRefusedWithTheirStatus) {
    Server server;
    auto expired = ClientIdentity::make("urn:old", -2);
    server.trust(expired.certificate, "old.der");
    SecureChannel channel(5, server.security.get());
    SecureTestClient client(security::basic256Sha256(), SecurityMode::sign, expired,
                            server.pki().certificate());
    EXPECT_EQ(openChannel(channel, client), Status::kBadCertificateTimeInvalid);

    auto identity = ClientIdentity::make("urn:client");
    server.trust(identity.certificate, "client.der");
    auto samePki = std::make_unique<security::PkiStore>(server.pki().root());
    std::string error;
    ASSERT_TRUE(samePki->loadOrCreateOwn("Tarnvale", kServerUri, "testhost", &error));
    security::ServerSecurity signOnly({{&security::basic256Sha256(), SecurityMode::sign}},
                                      std::move(samePki));
    SecureChannel other(6, &signOnly);
    SecureTestClient encrypting(security::basic256Sha256(), SecurityMode::signAndEncrypt, identity,
                                server.pki().certificate());
    EXPECT_EQ(openChannel(other, encrypting), Status::kBadSecurityModeRejected);
    SecureChannel third(7, &signOnly);
    SecureTestClient pss(security::aes256Sha256RsaPss(), SecurityMode::sign, identity,
                         server.pki().certificate());
    EXPECT_EQ(openChannel(third, pss), Status::kBadSecurityPolicyRejected);
}

TEST(SecureChannelSecurity, MessagesRoundTripInEveryPolicyAndMode) {
    Server server;
    auto identity = ClientIdentity::make("urn:client");
    server.trust(identity.certificate, "client.der");
    for (const security::SecurityPolicy* policy : security::securePolicies()) {
        for (SecurityMode mode : {SecurityMode::sign, SecurityMode::signAndEncrypt}) {
            SCOPED_TRACE(std::string(policy->name()) + " " + std::to_string(int(mode)));
            SecureChannel channel(9, server.security.get());
            SecureTestClient client(*policy, mode, identity, server.pki().certificate());
            ASSERT_EQ(openChannel(channel, client), 0u);
            std::vector<ServiceRequest> requests;
            std::string body(3000, 'r');
            ASSERT_TRUE(channel.receive(client.message(TypeId::kReadRequest, body), requests));
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].typeId, TypeId::kReadRequest);
            EXPECT_EQ(requests[0].body, body);
            ASSERT_TRUE(requests[0].security);
            EXPECT_EQ(requests[0].security->policy, policy);
            EXPECT_EQ(requests[0].security->mode, mode);

            std::string response(1000, 'x');
            ASSERT_TRUE(
                channel.sendMessage(requests[0].requestId, TypeId::kReadResponse, response));
            std::string out = channel.takeOutput();
            EXPECT_EQ(out.find(response.substr(0, 32)) == std::string::npos,
                      mode == SecurityMode::signAndEncrypt);
            std::string back = client.readMessage(out);
            ASSERT_FALSE(back.empty());
            EXPECT_EQ(back.substr(back.size() - response.size()), response);
        }
    }
}

TEST(SecureChannelSecurity, AFlippedByteAReplayOrAStaleTokenClosesTheChannel) {
    Server server;
    auto identity = ClientIdentity::make("urn:client");
    server.trust(identity.certificate, "client.der");
    auto opened = [&](SecureChannel& channel, SecureTestClient& client) {
        EXPECT_EQ(openChannel(channel, client), 0u);
    };
    for (size_t at : {20u, 40u, 100u}) {
        SecureChannel channel(9, server.security.get());
        SecureTestClient client(security::basic256Sha256(), SecurityMode::signAndEncrypt, identity,
                                server.pki().certificate());
        opened(channel, client);
        std::string chunk = client.message(TypeId::kReadRequest, std::string(200, 'r'));
        chunk[at] ^= 0x04;
        std::vector<ServiceRequest> requests;
        EXPECT_FALSE(channel.receive(chunk, requests));
        EXPECT_TRUE(requests.empty());
        EXPECT_EQ(errorStatus(channel.takeOutput()), Status::kBadSecurityChecksFailed);
    }
    {
        SecureChannel channel(9, server.security.get());
        SecureTestClient client(security::aes128Sha256RsaOaep(), SecurityMode::sign, identity,
                                server.pki().certificate());
        opened(channel, client);
        std::vector<ServiceRequest> requests;
        ASSERT_TRUE(channel.receive(client.message(TypeId::kReadRequest, "a"), requests));
        uint32_t replayed = client.sequence();
        EXPECT_FALSE(
            channel.receive(client.message(TypeId::kReadRequest, "a", replayed), requests));
        EXPECT_EQ(requests.size(), 1u);
        EXPECT_EQ(errorStatus(channel.takeOutput()), Status::kBadSequenceNumberInvalid);
    }
}

// After a renewal the old token holds, for requests and for their answers, until the client
// uses the new one.
TEST(SecureChannelSecurity, RenewalBringsNewKeysAndTheOldTokenEndsOnceTheNewIsUsed) {
    Server server;
    auto identity = ClientIdentity::make("urn:client");
    server.trust(identity.certificate, "client.der");
    SecureChannel channel(9, server.security.get());
    SecureTestClient client(security::aes256Sha256RsaPss(), SecurityMode::signAndEncrypt, identity,
                            server.pki().certificate());
    ASSERT_EQ(openChannel(channel, client), 0u);
    SecureTestClient stale = client; // keeps the first token's keys
    std::vector<ServiceRequest> requests;
    ASSERT_TRUE(channel.receive(client.open(1), requests));
    ASSERT_TRUE(client.takeOpenResponse(channel.takeOutput()));
    EXPECT_EQ(client.tokenId(), stale.tokenId() + 1);

    auto tokenOf = [](const std::string& chunk) {
        Decoder d(std::string_view(chunk).substr(12));
        return d.u32();
    };

    // Until the client uses the new token, the old one still holds, and answers go under it.
    std::string old = stale.message(TypeId::kReadRequest, "old", client.sequence() + 1);
    ASSERT_TRUE(channel.receive(old, requests));
    ASSERT_TRUE(channel.sendMessage(requests.back().requestId, TypeId::kReadResponse, "answer"));
    std::string answer = channel.takeOutput();
    EXPECT_EQ(tokenOf(answer), stale.tokenId());
    EXPECT_FALSE(stale.readMessage(answer).empty());
    ASSERT_TRUE(channel.receive(client.message(TypeId::kReadRequest, "new", client.sequence() + 2),
                                requests));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].body, "new");
    ASSERT_TRUE(channel.sendMessage(requests.back().requestId, TypeId::kReadResponse, "answer"));
    answer = channel.takeOutput();
    EXPECT_EQ(tokenOf(answer), client.tokenId());
    EXPECT_FALSE(client.readMessage(answer).empty());
    EXPECT_FALSE(channel.receive(stale.message(TypeId::kReadRequest, "late", client.sequence() + 3),
                                 requests));
    EXPECT_EQ(errorStatus(channel.takeOutput()), Status::kBadSecureChannelTokenUnknown);
}
