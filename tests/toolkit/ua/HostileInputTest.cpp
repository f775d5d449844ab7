// Randomized hostile input against the whole protocol stack below the sockets: a channel and
// the service dispatcher over a toolkit entry with real tags. Valid conversations are mutated
// (bytes flipped, lengths made absurd, messages cut, tokens swapped, requests replayed out of
// order) and fed in; the server must answer or close, never crash, read out of bounds (run it
// under the sanitizer build), or grow without bound. VORN_UA_FUZZ_ROUNDS sets the rounds.
#include "UaFrames.h"
#include "security/SecureTestClient.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/ServiceDispatcher.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace vorn;
using namespace vorn::ua;
using vorn::ua::test::frame;
using vorn::ua::test::helloMessage;
using vorn::ua::test::requestHeader;

namespace {

// Responses kept per connection, so the test can look at them.
struct CollectingSink : ResponseSink {
    struct Sent {
        uint64_t connectionId;
        uint32_t requestId;
        uint32_t typeId;
        std::string body;
    };
    std::vector<Sent> sent;
    void sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                      std::string body) override {
        sent.push_back({connectionId, requestId, typeId, std::move(body)});
    }
};

SOCmnPointer<SODaSEntry> entryWithTags() {
    auto entry = makeObject<SODaSEntry>();
    auto root = entry->getNameSpaceRoot();
    auto device = makeObject<SODaSNode>("P1");
    root->addBranch(device.get());
    const std::pair<const char*, VARTYPE> tags[] = {
        {"I2", VT_I2}, {"R4", VT_R4}, {"S", VT_BSTR}, {"A", VT_ARRAY | VT_UI2}, {"B", VT_BOOL}};
    for (auto [name, type] : tags) {
        auto tag = makeObject<SODaSTag>();
        tag->setName(name);
        tag->setNativeDatatype(type);
        tag->setAccessRights(AccessRights::kReadable | AccessRights::kWritable);
        tag->setCache(makeObject<SODaSCache>().get());
        tag->getCache()->setValueAndQuality(type & VT_ARRAY ? vorn::Variant::array(VT_UI2, 4)
                                                            : vorn::Variant::i2(7),
                                            Quality::kGood);
        device->addLeaf(tag.get());
    }
    entry->start();
    return entry;
}

std::string openMessage(uint32_t sequence) {
    Encoder e;
    e.u32(0);
    e.string(kSecurityPolicyNone);
    e.nullString();
    e.nullString();
    e.u32(sequence);
    e.u32(1);
    e.nodeId(NodeId(0, TypeId::kOpenSecureChannelRequest));
    requestHeader(e, {}, 1);
    for (uint32_t v : {0u, 0u, 1u})
        e.u32(v);
    e.nullString();
    e.u32(600000);
    return frame("OPN", 'F', e.bytes());
}

// Service request bodies (after the type NodeId) of the conversation a client has.
std::vector<std::pair<uint32_t, std::string>> conversation(const NodeId& token) {
    std::vector<std::pair<uint32_t, std::string>> out;
    auto add = [&](uint32_t type, auto fill) {
        Encoder e;
        requestHeader(e, token, static_cast<uint32_t>(out.size() + 1));
        fill(e);
        out.emplace_back(type, std::move(e.bytes()));
    };
    const NodeId tag = NodeId::ofString(1, "P1.I2");
    add(TypeId::kGetEndpointsRequest, [](Encoder& e) {
        e.string("opc.tcp://x");
        e.arrayLength(0);
        e.arrayLength(0);
    });
    add(TypeId::kCreateSessionRequest, [](Encoder& e) { test::createSessionBody(e); });
    add(TypeId::kActivateSessionRequest, [](Encoder& e) {
        e.nullString();
        e.nullString();
        e.arrayLength(0);
        e.arrayLength(0);
        e.extensionObject({NodeId(0, TypeId::kAnonymousIdentityToken), 1, "\x00\x00\x00\x00"});
        e.nullString();
        e.nullString();
    });
    add(TypeId::kBrowseRequest, [](Encoder& e) {
        e.nodeId({});
        e.dateTime(0);
        e.u32(0);
        e.u32(1);
        e.arrayLength(2);
        for (uint32_t node : {85u, 84u}) {
            e.nodeId(NodeId(0, node));
            e.u32(2);
            e.nodeId(NodeId(0, 33));
            e.boolean(true);
            e.u32(0);
            e.u32(63);
        }
    });
    add(TypeId::kReadRequest, [&](Encoder& e) {
        e.f64(0);
        e.u32(2);
        e.arrayLength(3);
        for (uint32_t attribute : {13u, 14u, 5u}) {
            e.nodeId(tag);
            e.u32(attribute);
            e.nullString();
            e.qualifiedName({});
        }
    });
    add(TypeId::kWriteRequest, [&](Encoder& e) {
        e.arrayLength(1);
        e.nodeId(tag);
        e.u32(13);
        e.nullString();
        DataValue dv;
        dv.hasValue = true;
        dv.value = ua::Variant::scalar(BuiltinType::kInt16, int64_t(5));
        e.dataValue(dv);
    });
    add(TypeId::kCreateSubscriptionRequest, [](Encoder& e) {
        e.f64(100);
        e.u32(30);
        e.u32(3);
        e.u32(0);
        e.boolean(true);
        e.u8(0);
    });
    add(TypeId::kCreateMonitoredItemsRequest, [&](Encoder& e) {
        e.u32(1);
        e.u32(2);
        e.arrayLength(1);
        e.nodeId(tag);
        e.u32(13);
        e.nullString();
        e.qualifiedName({});
        e.u32(2);
        e.u32(1);
        e.f64(100);
        e.extensionObject({});
        e.u32(1);
        e.boolean(true);
    });
    add(TypeId::kPublishRequest, [](Encoder& e) {
        e.arrayLength(1);
        e.u32(1);
        e.u32(1);
    });
    add(TypeId::kTranslateRequest, [](Encoder& e) {
        e.arrayLength(1);
        e.nodeId(NodeId(0, 85));
        e.arrayLength(2);
        for (const char* name : {"P1", "I2"}) {
            e.nodeId(NodeId(0, 33));
            e.boolean(false);
            e.boolean(true);
            e.qualifiedName({1, name});
        }
    });
    add(TypeId::kDeleteSubscriptionsRequest, [](Encoder& e) {
        e.arrayLength(1);
        e.u32(1);
    });
    add(TypeId::kCloseSessionRequest, [](Encoder& e) { e.boolean(true); });
    return out;
}

std::string messageChunk(uint32_t channelId, uint32_t sequence, uint32_t requestId, uint32_t type,
                         const std::string& body) {
    Encoder e;
    e.u32(channelId);
    e.u32(1);
    e.u32(sequence);
    e.u32(requestId);
    e.nodeId(NodeId(0, type));
    e.raw(body);
    return frame("MSG", 'F', e.bytes());
}

class Fuzzer {
public:
    explicit Fuzzer(uint64_t seed) : random_(seed) {}

    std::string mutate(std::string bytes) {
        switch (pick(8)) {
        case 0: // flip bytes
            for (size_t n = 1 + pick(4); n && !bytes.empty(); --n)
                bytes[pick(bytes.size())] ^= static_cast<char>(1 + pick(255));
            break;
        case 1: // cut short
            bytes.resize(pick(bytes.size() + 1));
            break;
        case 2: { // an absurd 32-bit length somewhere
            if (bytes.size() < 4)
                break;
            size_t at = pick(bytes.size() - 3);
            uint32_t v = pick(2) ? 0xFFFFFFFFu : 0x7FFFFFF0u - static_cast<uint32_t>(pick(100));
            for (int i = 0; i < 4; ++i)
                bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
            break;
        }
        case 3: // garbage appended
            for (size_t n = pick(64); n; --n)
                bytes.push_back(static_cast<char>(pick(256)));
            break;
        case 4: // a slice repeated
            if (!bytes.empty()) {
                size_t at = pick(bytes.size());
                bytes.insert(at, bytes.substr(at, pick(32)));
            }
            break;
        default: // unchanged: valid input must keep working among the hostile
            break;
        }
        return bytes;
    }

    size_t pick(size_t n) {
        return n ? std::uniform_int_distribution<size_t>(0, n - 1)(random_) : 0;
    }

private:
    std::mt19937_64 random_;
};

int rounds() {
    const char* text = std::getenv("VORN_UA_FUZZ_ROUNDS");
    return text ? std::max(1, std::atoi(text)) : 3000;
}

} // namespace

TEST(HostileInput, MutatedConversationsAreAnsweredOrClosedNeverCrash) {
    auto entry = entryWithTags();
    CollectingSink sink;
    ServiceContext core(*entry, CoreSettings{"urn:p", "urn:a", "P", 500}, sink, {}, "urn:a:tags");
    ServiceDispatcher dispatcher(core, sink);
    Fuzzer fuzz(20261208);
    size_t closed = 0;
    size_t answered = 0;
    std::map<uint32_t, size_t> answersByType;

    for (int round = 0; round < rounds(); ++round) {
        SecureChannel channel(7);
        std::vector<ServiceRequest> requests;
        uint64_t connection = static_cast<uint64_t>(round) + 1;
        bool open = channel.receive(fuzz.mutate(helloMessage()), requests) &&
                    channel.receive(fuzz.mutate(openMessage(1)), requests);
        // The session token comes from the CreateSession response when one was made.
        NodeId token;
        uint32_t sequence = 2;
        auto steps = conversation(token);
        for (size_t i = 0; open && i < steps.size(); ++i) {
            size_t step = fuzz.pick(4) == 0 ? fuzz.pick(steps.size()) : i; // out of order
            steps = conversation(token);
            std::string chunk = messageChunk(7, sequence++, static_cast<uint32_t>(i + 10),
                                             steps[step].first, steps[step].second);
            open = channel.receive(fuzz.mutate(chunk), requests);
            for (const ServiceRequest& request : requests) {
                size_t before = sink.sent.size();
                dispatcher.dispatch(connection, request);
                for (size_t s = before; s < sink.sent.size(); ++s) {
                    const auto& sent = sink.sent[s];
                    // Every answer starts with a well-formed response header.
                    Decoder d(sent.body);
                    d.dateTime();
                    d.u32();
                    d.statusCode();
                    d.skipDiagnosticInfo();
                    ASSERT_TRUE(d.ok()) << "response " << sent.typeId;
                    ++answered;
                    ++answersByType[sent.typeId];
                    if (sent.typeId == TypeId::kCreateSessionResponse) {
                        Decoder body(sent.body);
                        body.dateTime();
                        body.u32();
                        body.statusCode();
                        body.skipDiagnosticInfo();
                        body.arrayLength();
                        body.extensionObject();
                        body.nodeId();
                        token = body.nodeId();
                    }
                }
            }
            requests.clear();
        }
        closed += open ? 0 : 1;
        // Output stays bounded by what was asked for.
        EXPECT_LE(channel.takeOutput().size(), Limits::kMaxMessageSize);
        core.sessions.onConnectionClosed(connection);
        sink.sent.clear();
    }
    EXPECT_GT(closed, 0u);
    EXPECT_GT(answered, 0u);
    // Enough rounds stayed valid long enough to reach the services behind a session.
    EXPECT_GT(answersByType[TypeId::kReadResponse], 0u);
    EXPECT_GT(answersByType[TypeId::kBrowseResponse], 0u);
    EXPECT_GT(answersByType[TypeId::kCreateMonitoredItemsResponse], 0u);
    // Sessions left open by the rounds are bounded by the limit, and all go at stop.
    EXPECT_LE(core.sessions.count(), Limits::kMaxSessions);
    core.sessions.stop();
    EXPECT_EQ(core.sessions.count(), 0u);
    EXPECT_EQ(entry->getObjectRoot().getBranchCount(), 1u);
}

TEST(HostileInput, RandomBytesNeverPassTheChannel) {
    Fuzzer fuzz(7);
    for (int round = 0; round < rounds(); ++round) {
        SecureChannel channel(1);
        std::vector<ServiceRequest> requests;
        std::string bytes;
        for (size_t n = fuzz.pick(200); n; --n)
            bytes.push_back(static_cast<char>(fuzz.pick(256)));
        if (fuzz.pick(2))
            bytes = helloMessage() + bytes;
        channel.receive(bytes, requests);
        EXPECT_TRUE(requests.empty()) << "round " << round;
    }
}

// The same conversations through signed and encrypted channels: some rounds change protected
// bytes in flight (the channel must close), others change the plain request before it is
// protected (it passes the channel and meets the services' decoders). The session is made and
// activated with real signatures, so the services behind it are reached.
TEST(HostileInput, MutatedConversationsThroughEncryptedChannels) {
    using namespace vorn::ua::test;
    using security::SecurityMode;
    auto entry = entryWithTags();
    CollectingSink sink;
    ScratchFolder scratch;
    auto pki = std::make_unique<security::PkiStore>(scratch.path);
    std::string error;
    ASSERT_TRUE(pki->loadOrCreateOwn("Tarnvale", "urn:h:VornAutomation:Tarnvale", "h", &error));
    auto identity = ClientIdentity::make("urn:hostile");
    std::ofstream(scratch.path / "trusted/certs/hostile.der", std::ios::binary)
        << identity.certificate.der();
    security::ServerSecurity serverSecurity(security::defaultEndpoints(), std::move(pki));
    const security::Certificate& serverCertificate = serverSecurity.pki()->certificate();
    ServiceContext core(*entry, CoreSettings{"urn:p", "urn:a", "P", 500}, sink, {}, "urn:a:tags");
    core.security = &serverSecurity;
    ServiceDispatcher dispatcher(core, sink);
    Fuzzer fuzz(20261209);
    const auto policies = security::securePolicies();
    size_t closed = 0;
    std::map<uint32_t, size_t> answersByType;
    int total = std::max(1, rounds() / 6);

    for (int round = 0; round < total; ++round) {
        const security::SecurityPolicy& policy = *policies[round % policies.size()];
        SecurityMode mode = round % 2 ? SecurityMode::sign : SecurityMode::signAndEncrypt;
        SecureChannel channel(7, &serverSecurity);
        SecureTestClient client(policy, mode, identity, serverCertificate);
        std::vector<ServiceRequest> requests;
        uint64_t connection = static_cast<uint64_t>(round) + 1;
        bool open = channel.receive(helloMessage(), requests);
        channel.takeOutput(); // the Acknowledge
        std::string opening = client.open(0);
        open = open && test::receiveChecked(channel, fuzz.pick(8) ? opening : fuzz.mutate(opening),
                                            requests);
        open = open && client.takeOpenResponse(channel.takeOutput());
        NodeId token;
        std::string clientNonce = security::randomBytes(32);
        std::string serverNonce;
        auto steps = conversation(token);
        for (size_t i = 0; open && i < steps.size(); ++i) {
            size_t step = fuzz.pick(5) == 0 ? fuzz.pick(steps.size()) : i;
            steps = conversation(token);
            std::string body = steps[step].second;
            uint32_t type = steps[step].first;
            if (type == TypeId::kCreateSessionRequest || type == TypeId::kActivateSessionRequest) {
                Encoder e;
                requestHeader(e, token, 1);
                if (type == TypeId::kCreateSessionRequest) {
                    createSessionBody(e, "urn:hostile", clientNonce, identity.certificate.der());
                } else {
                    std::string signature;
                    ASSERT_TRUE(policy.asymmetricSign(
                        identity.key, serverCertificate.der() + serverNonce, signature));
                    e.string(policy.asymmetricSignatureUri());
                    e.string(signature);
                    e.arrayLength(0);
                    e.arrayLength(0);
                    e.extensionObject(
                        {NodeId(0, TypeId::kAnonymousIdentityToken), 1, "\x00\x00\x00\x00"});
                    e.nullString();
                    e.nullString();
                }
                body = e.bytes();
            }
            // Plain bytes changed before protection, or protected bytes changed in flight.
            bool inFlight = fuzz.pick(3) == 0;
            std::string chunk = client.message(type, inFlight ? body : fuzz.mutate(body));
            open = channel.receive(inFlight ? fuzz.mutate(chunk) : chunk, requests);
            for (const ServiceRequest& request : requests) {
                size_t before = sink.sent.size();
                dispatcher.dispatch(connection, request);
                for (size_t s = before; s < sink.sent.size(); ++s) {
                    const auto& sent = sink.sent[s];
                    Decoder d(sent.body);
                    d.dateTime();
                    d.u32();
                    StatusCode status = d.statusCode();
                    d.skipDiagnosticInfo();
                    ASSERT_TRUE(d.ok()) << "response " << sent.typeId;
                    ++answersByType[sent.typeId];
                    // Responses go back through the channel's protection.
                    EXPECT_TRUE(channel.sendMessage(sent.requestId, sent.typeId, sent.body) ||
                                !channel.isOpen());
                    if (sent.typeId == TypeId::kCreateSessionResponse && status == 0) {
                        d.arrayLength();
                        d.extensionObject();
                        d.nodeId();
                        token = d.nodeId();
                        d.f64();
                        serverNonce = d.string();
                    }
                }
            }
            requests.clear();
            channel.takeOutput();
        }
        closed += open ? 0 : 1;
        core.sessions.onConnectionClosed(connection);
        sink.sent.clear();
    }
    EXPECT_GT(closed, 0u);
    EXPECT_GT(answersByType[TypeId::kActivateSessionResponse], 0u);
    EXPECT_GT(answersByType[TypeId::kReadResponse], 0u);
    EXPECT_GT(answersByType[TypeId::kCreateMonitoredItemsResponse], 0u);
    core.sessions.stop();
    EXPECT_EQ(core.sessions.count(), 0u);
}
