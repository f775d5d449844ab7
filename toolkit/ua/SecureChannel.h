// One opc.tcp connection's protocol state: Hello/Acknowledge, OpenSecureChannel (issue and
// renew, with policy None or a secure policy the server offers: client certificate checked,
// nonces exchanged, keys derived per token), message chunks both ways with the negotiated
// sizes (signed, or signed and encrypted, with the token's keys), sequence numbers, request ids
// and token lifetimes, CloseSecureChannel, and an Error message before every close the client
// caused. No sockets here: bytes in, bytes and requests out. The RSA work of an
// OpenSecureChannel that issues a channel is handed out (takeOpenCheck) to run off the network
// thread; the channel waits for it and goes on with finishOpen.
#pragma once

#include "toolkit/ua/ClientAddress.h"
#include "toolkit/ua/UaStatusCodes.h"
#include "toolkit/ua/UaTypes.h"
#include "toolkit/ua/security/ServerSecurity.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::ua {

constexpr const char* kSecurityPolicyNone = "http://opcfoundation.org/UA/SecurityPolicy#None";

// A complete service request taken off the channel: the body follows the type's NodeId.
struct ServiceRequest {
    uint32_t requestId = 0;
    uint32_t typeId = 0;
    std::string body;
    // The channel's policy, mode and client certificate.
    std::shared_ptr<const security::ChannelSecurity> security;
    // Where the client connects from (set by the network layer).
    std::shared_ptr<const ClientAddress> client;
};

// The costly part of an OpenSecureChannel that issues a secure channel, which any client can
// ask for before the server knows it: decrypting the request, checking its signature and the
// client's certificate against the trust list. The channel has checked all that can be checked
// before (policy, certificate, key size, thumbprint, size); run() does the rest on any thread.
struct OpenCheck {
    const security::SecurityPolicy* policy = nullptr;
    const security::PkiStore* pki = nullptr;
    // The client's certificate, then the certificates it sent to complete its chain.
    std::vector<security::Certificate> chain;
    std::string chunk;
    size_t clearSize = 0;
    ClientAddress client; // for the trace and the rejected certificates' bound
    // Set by run(): Good with the request in `plain`, or the refusal.
    StatusCode status = Status::kBadSecurityChecksFailed;
    std::string plain;

    void run();
};

class SecureChannel {
public:
    using Clock = std::chrono::steady_clock;

    // Without `security` (or when it offers only None) the channel takes policy None only.
    explicit SecureChannel(uint32_t channelId, const security::ServerSecurity* security = nullptr);

    // Takes bytes from the socket and appends the complete requests found. False when the
    // connection is to close once the output is sent (a fault, or the client's close).
    bool receive(std::string_view bytes, std::vector<ServiceRequest>& requests);
    // Encodes a response (`body` without its type NodeId) as MSG chunks. False, and nothing
    // queued, when it exceeds what the client takes; the caller then sends a smaller fault.
    bool sendMessage(uint32_t requestId, uint32_t typeId, std::string_view body);
    // Sends a service response; when it exceeds what the client takes, `fault` (a ServiceFault
    // body with BadResponseTooLarge) goes instead, and when even that does not fit, an Error
    // message BadResponseTooLarge and a close. False when the channel is closed.
    bool sendResponse(uint32_t requestId, uint32_t typeId, std::string_view body,
                      std::string_view fault);
    // Bytes to write to the socket; the channel forgets them.
    std::string takeOutput();
    bool hasOutput() const { return !output_.empty(); }

    // The OpenSecureChannel check the channel waits for, once; null when it waits for none.
    // Until finishOpen the channel takes no more bytes.
    std::shared_ptr<OpenCheck> takeOpenCheck() { return std::move(pendingOpen_); }
    bool isOpening() const { return state_ == State::opening; }
    // Goes on once the check has run: answers the OpenSecureChannel (or fails) and takes what
    // arrived meanwhile. False when the connection is to close once the output is sent.
    bool finishOpen(const OpenCheck& check, std::vector<ServiceRequest>& requests);

    bool isOpen() const { return state_ == State::open; }
    bool isClosed() const { return state_ == State::closed; }
    // The handshake took too long, a chunk is still incomplete after its bound, or the token
    // ran out without renewal.
    bool isExpired(Clock::time_point now) const;
    uint32_t channelId() const { return channelId_; }
    // Bytes held for requests not yet complete.
    size_t bufferedBytes() const { return input_.size() + partialBody_.size(); }
    // Sends an Error message and closes (used by the server for its own reasons).
    void fail(StatusCode code, const std::string& reason);

private:
    enum class State { awaitingHello, awaitingOpen, opening, open, closed };

    bool processChunk(std::string_view chunk, std::vector<ServiceRequest>& requests);
    bool onHello(std::string_view body);
    bool onOpen(std::string_view chunk);
    // What can be checked of a secure OpenSecureChannel before anything is decrypted: the
    // policy offered, the client's certificate chain and key, our thumbprint, the size.
    StatusCode precheckOpen(const std::string& policyUri, const std::string& senderCertificate,
                            const std::string& receiverThumbprint, size_t protectedSize,
                            const security::SecurityPolicy*& policy,
                            std::vector<security::Certificate>& chain) const;
    // Decrypts and checks the protected part of a renewal with a secure policy.
    StatusCode renewProtected(const security::SecurityPolicy& policy,
                              const security::Certificate& certificate, std::string_view chunk,
                              size_t clearSize, std::string& plain);
    // The OpenSecureChannel request in clear: issues or renews the token and answers.
    bool openWith(std::string_view request, uint32_t headerChannelId,
                  std::shared_ptr<security::ChannelSecurity> peer);
    bool startToken(const security::SecurityPolicy& policy, const std::string& clientNonce,
                    std::string& serverNonce);
    bool isSecure() const { return security_ && security_->policy; }
    bool onMessage(char chunkType, std::string_view chunk, std::vector<ServiceRequest>& requests);
    bool checkSequence(uint32_t sequenceNumber);
    void sendOpenResponse(uint32_t requestId, uint32_t requestHandle, uint32_t lifetimeMs,
                          const std::string& serverNonce);
    uint32_t nextSequenceNumber();

    const uint32_t channelId_;
    const security::ServerSecurity* const server_;
    std::shared_ptr<const security::ChannelSecurity> security_;
    security::RsaKey clientKey_;
    std::shared_ptr<OpenCheck> pendingOpen_;
    State state_ = State::awaitingHello;
    Clock::time_point createdAt_;
    std::string input_;
    // When the chunk now in `input_` began to arrive (while one is incomplete).
    Clock::time_point chunkStartedAt_;
    std::string output_;

    // Negotiated in the Hello.
    uint32_t receiveChunkSize_ = 0;
    uint32_t sendChunkSize_ = 0;
    uint32_t peerMaxMessageSize_ = 0; // 0: no limit
    uint32_t peerMaxChunkCount_ = 0;

    // Tokens: the current one and the one it replaced (accepted until the new one is used).
    uint32_t tokenId_ = 0;
    uint32_t previousTokenId_ = 0;
    Clock::time_point tokenCreated_;
    uint32_t tokenLifetimeMs_ = 0;
    // Keys of the current and the previous token: what the client signs with, what we sign with.
    // Responses go under the previous token until the client has used the new one.
    struct TokenKeys {
        security::SymmetricKeys client;
        security::SymmetricKeys server;
    };
    TokenKeys keys_;
    TokenKeys previousKeys_;

    bool haveSequence_ = false;
    uint32_t lastReceivedSequence_ = 0;
    uint32_t sendSequence_ = 0;

    // The message being assembled from chunks.
    uint32_t partialRequestId_ = 0;
    std::string partialBody_;
    uint32_t partialChunks_ = 0;
};

} // namespace vorn::ua
