// Logins that anyone can send before the server knows who they are: a wrong password is
// answered half a second later from the admission checks, never by holding the caller; one
// client address keeps only a few logins and sessions waiting; the token must carry a policy
// id the endpoint offered, and a password token larger than a few RSA blocks is refused before
// anything is decrypted.
#include "UaFrames.h"
#include "WaitingSink.h"
#include "security/SecureTestClient.h"
#include "toolkit/ua/ServiceDispatcher.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/UserIdentity.h"

#include <gtest/gtest.h>
#include <map>

using namespace vorn;
using namespace vorn::ua;
using namespace std::chrono_literals;
using vorn::ua::test::WaitingSink;
using Clock = std::chrono::steady_clock;

namespace {

// Accounts held in memory: "alice" (read and write) with the password "right".
class Accounts : public security::UserDirectory {
public:
    Accounts() { alice_.passwordHash = security::hashPassword("right"); }
    std::optional<security::UserAccount> find(const std::string& name) const override {
        if (name != "alice")
            return std::nullopt;
        return alice_;
    }
    bool allowAnonymous() const override { return false; }
    security::UserRole anonymousRole() const override { return security::UserRole::read; }

private:
    security::UserAccount alice_{security::UserRole::readWrite, ""};
};

struct Rig {
    test::ScratchFolder scratch;
    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    WaitingSink sink;
    std::unique_ptr<security::ServerSecurity> security;
    std::unique_ptr<ServiceContext> core;
    std::unique_ptr<ServiceDispatcher> dispatcher;
    uint32_t lastRequestId = 0;

    Rig() {
        auto pki = std::make_unique<security::PkiStore>(scratch.path);
        std::string error;
        EXPECT_TRUE(pki->loadOrCreateOwn("Tarnvale", "urn:t:VornAutomation:Tarnvale", "t", &error));
        security = std::make_unique<security::ServerSecurity>(
            security::defaultEndpoints(), std::move(pki), std::make_shared<Accounts>());
        entry->start();
        core = std::make_unique<ServiceContext>(*entry, CoreSettings{"urn:p", "urn:a", "P", 5000},
                                                sink, BuildInfoText{}, "urn:a:tags");
        core->security = security.get();
        dispatcher = std::make_unique<ServiceDispatcher>(*core, sink);
    }
    ~Rig() {
        core->admission.stop();
        core->sessions.stop();
    }

    uint32_t dispatch(const std::string& address, uint32_t typeId, std::string body) {
        uint32_t id = ++lastRequestId;
        auto client = std::make_shared<ClientAddress>(ClientAddress{address, 40000});
        dispatcher->dispatch(1, ServiceRequest{id, typeId, std::move(body), nullptr, client});
        return id;
    }

    struct Session {
        StatusCode status = Status::kBad;
        NodeId token;
        std::string serverNonce;
    };
    Session createSession(const std::string& address) {
        Encoder e;
        test::requestHeader(e, NodeId(), 1);
        test::createSessionBody(e, "urn:client");
        uint32_t id = dispatch(address, TypeId::kCreateSessionRequest, e.bytes());
        test::Answer answer = sink.waitForAnswer(id, 5s);
        Session session{answer.serviceResult, {}, {}};
        if (answer.typeId != TypeId::kCreateSessionResponse)
            return session;
        Decoder d(answer.body);
        d.dateTime();
        d.u32();
        d.statusCode();
        d.skipDiagnosticInfo();
        d.arrayLength();
        d.extensionObject();
        d.nodeId();
        session.token = d.nodeId();
        d.f64();
        session.serverNonce = d.string();
        return session;
    }

    // A user name token as clients send it: the password and the nonce encrypted with the
    // server's key (Basic256Sha256 on a None endpoint).
    ExtensionObject userToken(const std::string& user, const std::string& password,
                              const std::string& serverNonce,
                              const std::string& policyId = kUserNamePolicyId) {
        Encoder plain;
        plain.u32(static_cast<uint32_t>(password.size() + serverNonce.size()));
        plain.raw(password + serverNonce);
        // Cut in blocks as clients do, the last one shorter.
        const security::SecurityPolicy& policy = security::basic256Sha256();
        const security::RsaKey key = security->pki()->certificate().publicKey();
        const size_t block = key.plainBlockSize(security::RsaEncryption::oaepSha1);
        std::string encrypted;
        for (size_t at = 0; at < plain.bytes().size(); at += block) {
            std::string cipher;
            EXPECT_TRUE(key.encryptBlock(security::RsaEncryption::oaepSha1,
                                         std::string_view(plain.bytes()).substr(at, block),
                                         cipher));
            encrypted += cipher;
        }
        Encoder token;
        token.string(policyId);
        token.string(user);
        token.string(encrypted);
        token.string(policy.asymmetricEncryptionUri());
        return {NodeId(0, TypeId::kUserNameIdentityToken), 1, token.bytes()};
    }

    uint32_t activate(const std::string& address, const NodeId& session,
                      const ExtensionObject& identity) {
        Encoder e;
        test::requestHeader(e, session, 1);
        e.nullString();
        e.nullString();
        e.arrayLength(0);
        e.arrayLength(0);
        e.extensionObject(identity);
        e.nullString();
        e.nullString();
        return dispatch(address, TypeId::kActivateSessionRequest, e.bytes());
    }
};

} // namespace

TEST(Login, AWrongPasswordIsAnsweredLateWithoutHoldingTheCaller) {
    Rig rig;
    auto session = rig.createSession("10.0.0.1");
    ASSERT_EQ(session.status, Status::kGood);
    auto started = Clock::now();
    uint32_t wrong = rig.activate("10.0.0.1", session.token,
                                  rig.userToken("alice", "wrong", session.serverNonce));
    EXPECT_LT(Clock::now() - started, 200ms) << "the service thread was held";
    EXPECT_EQ(rig.sink.waitForAnswer(wrong, 30s).serviceResult, Status::kBadUserAccessDenied);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(kRefusedLoginDelayMs - 20));

    // The right password activates the session.
    uint32_t right = rig.activate("10.0.0.1", session.token,
                                  rig.userToken("alice", "right", session.serverNonce));
    EXPECT_EQ(rig.sink.waitForAnswer(right, 30s).typeId, TypeId::kActivateSessionResponse);
}

TEST(Login, OneAddressKeepsOnlyAFewLoginsAndUnactivatedSessionsWaiting) {
    Rig rig;
    auto session = rig.createSession("10.0.0.2");
    ASSERT_EQ(session.status, Status::kGood);
    const size_t bound = Limits::kMaxAdmissionChecksPerAddress;
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < bound + 3; ++i)
        ids.push_back(rig.activate("10.0.0.2", session.token,
                                   rig.userToken("alice", "wrong", session.serverNonce)));
    // Beyond the bound: refused at once, unchecked.
    for (size_t i = bound; i < ids.size(); ++i)
        EXPECT_EQ(rig.sink.waitForAnswer(ids[i], 0ms).serviceResult, Status::kBadTooManyOperations);
    // Another address is not held back.
    auto other = rig.createSession("10.0.0.3");
    uint32_t right =
        rig.activate("10.0.0.3", other.token, rig.userToken("alice", "right", other.serverNonce));
    EXPECT_EQ(rig.sink.waitForAnswer(right, 30s).typeId, TypeId::kActivateSessionResponse);
    for (size_t i = 0; i < bound; ++i)
        EXPECT_EQ(rig.sink.waitForAnswer(ids[i], 30s).serviceResult, Status::kBadUserAccessDenied);

    // Sessions never activated: a few per address.
    size_t made = 1; // the first one above, still not activated
    while (made < Limits::kMaxUnactivatedSessionsPerAddress) {
        ASSERT_EQ(rig.createSession("10.0.0.2").status, Status::kGood);
        ++made;
    }
    EXPECT_EQ(rig.createSession("10.0.0.2").status, Status::kBadTooManySessions);
    EXPECT_EQ(rig.createSession("10.0.0.4").status, Status::kGood);
}

TEST(Login, OnlyThePolicyIdsTheEndpointOfferedAreTaken) {
    Rig rig;
    auto session = rig.createSession("10.0.0.5");
    const std::string& nonce = session.serverNonce;
    uint32_t anonymousId = rig.activate("10.0.0.5", session.token,
                                        rig.userToken("alice", "right", nonce, "anonymous"));
    uint32_t unknownId =
        rig.activate("10.0.0.5", session.token, rig.userToken("alice", "right", nonce, "x"));
    Encoder anonymousBody;
    anonymousBody.string(kUserNamePolicyId);
    uint32_t anonymousToken =
        rig.activate("10.0.0.5", session.token,
                     {NodeId(0, TypeId::kAnonymousIdentityToken), 1, anonymousBody.bytes()});
    for (uint32_t id : {anonymousId, unknownId, anonymousToken})
        EXPECT_EQ(rig.sink.waitForAnswer(id, 5s).serviceResult, Status::kBadIdentityTokenInvalid)
            << id;
}

TEST(Login, AHugePasswordTokenIsRefusedBeforeAnythingIsDecrypted) {
    Rig rig;
    auto session = rig.createSession("10.0.0.6");
    ExtensionObject token = rig.userToken("alice", std::string(1 << 20, 'p'), session.serverNonce);
    auto started = Clock::now();
    uint32_t huge = rig.activate("10.0.0.6", session.token, token);
    EXPECT_EQ(rig.sink.waitForAnswer(huge, 30s).serviceResult, Status::kBadIdentityTokenInvalid);
    // Decrypting 4,900 RSA blocks would take seconds.
    EXPECT_LT(Clock::now() - started, 2s);
}
