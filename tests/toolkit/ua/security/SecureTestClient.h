// The client side of a secure channel, for tests that talk to the server's channel without a
// socket: Hello, OpenSecureChannel (issue and renew) signed with the client's key and
// encrypted for the server's, and message chunks protected with the derived keys.
#pragma once

#include "UaFrames.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/security/ChunkSecurity.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace vorn::ua::test {

// A key and a self-signed certificate made out to `uri`; `days` below 0 makes it expired.
struct ClientIdentity {
    security::RsaKey key;
    security::Certificate certificate;

    static ClientIdentity make(const std::string& uri, int days = 365, int bits = 2048) {
        ClientIdentity identity;
        identity.key = *security::RsaKey::generate(bits);
        identity.certificate = *security::Certificate::createSelfSigned(
            identity.key, "test client", "Tests", uri, "localhost", days);
        return identity;
    }
};

class SecureTestClient {
public:
    SecureTestClient(const security::SecurityPolicy& policy, security::SecurityMode mode,
                     ClientIdentity identity, security::Certificate serverCertificate)
        : policy_(policy), mode_(mode), identity_(std::move(identity)),
          server_(std::move(serverCertificate)) {}

    // requestType 0 issues, 1 renews.
    std::string open(uint32_t requestType) {
        clientNonce_ = security::randomBytes(security::SecurityPolicy::kNonceLength);
        std::string header = clearOpenHeader(requestType == 0 ? 0 : channelId_);
        Encoder e;
        e.u32(++sequence_);
        e.u32(++requestId_);
        e.nodeId(NodeId(0, TypeId::kOpenSecureChannelRequest));
        e.nodeId(NodeId());
        e.dateTime(0);
        e.u32(7);
        e.u32(0);
        e.nullString();
        e.u32(0);
        e.extensionObject({});
        e.u32(0);
        e.u32(requestType);
        e.u32(static_cast<uint32_t>(mode_));
        e.string(clientNonce_);
        e.u32(60000);
        std::string chunk;
        EXPECT_TRUE(security::protectAsymmetric(policy_, identity_.key, server_.publicKey(), header,
                                                e.bytes(), chunk));
        return chunk;
    }

    // Reads the OpenSecureChannel response and derives the token's keys.
    bool takeOpenResponse(const std::string& bytes) {
        if (bytes.size() < 8)
            return false;
        Decoder d(std::string_view(bytes).substr(8));
        d.u32();
        d.string();
        d.string();
        d.string();
        if (!d.ok() || bytes.substr(0, 4) != "OPNF")
            return false;
        size_t clear = 8 + d.position();
        std::string plain;
        if (!security::unprotectAsymmetric(policy_, identity_.key, server_.publicKey(),
                                           std::string_view(bytes).substr(0, clear),
                                           std::string_view(bytes).substr(clear), plain))
            return false;
        Decoder b(plain);
        b.u32();
        b.u32();
        b.nodeId();
        b.dateTime();
        b.u32();
        uint32_t status = b.statusCode();
        b.skipDiagnosticInfo();
        b.arrayLength();
        b.extensionObject();
        b.u32();
        channelId_ = b.u32();
        tokenId_ = b.u32();
        b.dateTime();
        b.u32();
        std::string serverNonce = b.string();
        if (!b.ok() || status != 0)
            return false;
        clientKeys_ = policy_.deriveKeys(serverNonce, clientNonce_);
        serverKeys_ = policy_.deriveKeys(clientNonce_, serverNonce);
        return true;
    }

    // One request in one chunk; the sequence number may be given to replay one.
    std::string message(uint32_t typeId, const std::string& body, uint32_t sequence = 0) {
        Encoder h;
        h.raw("MSGF");
        h.u32(0);
        h.u32(channelId_);
        h.u32(tokenId_);
        Encoder e;
        e.u32(sequence ? sequence : ++sequence_);
        e.u32(++requestId_);
        e.nodeId(NodeId(0, typeId));
        e.raw(body);
        std::string chunk;
        EXPECT_TRUE(security::protectSymmetric(policy_, clientKeys_, encrypted(), h.bytes(),
                                               e.bytes(), chunk));
        return chunk;
    }

    // The body of a response chunk (after the sequence header); empty when it does not check.
    std::string readMessage(std::string_view chunk) {
        std::string plain;
        if (chunk.size() < 16 || chunk.substr(0, 3) != "MSG" ||
            !security::unprotectSymmetric(policy_, serverKeys_, encrypted(), chunk.substr(0, 16),
                                          chunk.substr(16), plain))
            return {};
        return plain.substr(8);
    }

    uint32_t channelId() const { return channelId_; }
    uint32_t tokenId() const { return tokenId_; }
    uint32_t sequence() const { return sequence_; }

private:
    bool encrypted() const { return mode_ == security::SecurityMode::signAndEncrypt; }

    std::string clearOpenHeader(uint32_t channelId) {
        Encoder e;
        e.raw("OPNF");
        e.u32(0);
        e.u32(channelId);
        e.string(policy_.uri());
        e.string(identity_.certificate.der());
        e.string(server_.thumbprint());
        return e.bytes();
    }

    const security::SecurityPolicy& policy_;
    security::SecurityMode mode_;
    ClientIdentity identity_;
    security::Certificate server_;
    std::string clientNonce_;
    security::SymmetricKeys clientKeys_;
    security::SymmetricKeys serverKeys_;
    uint32_t channelId_ = 0;
    uint32_t tokenId_ = 0;
    uint32_t sequence_ = 0;
    uint32_t requestId_ = 0;
};

// Feeds bytes to a channel as the network does: an OpenSecureChannel's RSA work, which the
// channel hands out, runs here at once. The channel's answer as receive() gives it.
inline bool receiveChecked(SecureChannel& channel, std::string_view bytes,
                           std::vector<ServiceRequest>& requests) {
    if (!channel.receive(bytes, requests))
        return false;
    if (auto check = channel.takeOpenCheck()) {
        check->run();
        return channel.finishOpen(*check, requests);
    }
    return true;
}

// The status of the Error message in `bytes`, 0 when there is none.
inline uint32_t errorStatus(const std::string& bytes) {
    size_t at = bytes.find("ERRF");
    if (at == std::string::npos)
        return 0;
    Decoder d(std::string_view(bytes).substr(at + 8));
    return d.u32();
}

// A scratch folder removed at the end of the test.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder() {
        char name[] = "/tmp/ua-security-XXXXXX";
        path = mkdtemp(name);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
};

} // namespace vorn::ua::test
