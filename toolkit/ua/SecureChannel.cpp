#include "SecureChannel.h"

#include "toolkit/ua/AuditTrail.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/security/ChunkSecurity.h"

#include <algorithm>

namespace vorn::ua {
namespace {

constexpr size_t kHeaderSize = 8;
// Message header, channel id, token id, sequence number and request id.
constexpr size_t kSymmetricOverhead = kHeaderSize + 4 + 4 + 8;
// Sequence numbers wrap to below 1024 once they pass this.
constexpr uint32_t kSequenceWrapFrom = 4294966271u;
constexpr uint32_t kSequenceWrapTo = 1024;

std::string messageHeader(const char* type, char chunkType) {
    std::string header(type, 3);
    header.push_back(chunkType);
    header.append(4, '\0');
    return header;
}

// Why the trust list refused a client's certificate, for the trace.
std::string trustRefusal(StatusCode status) {
    switch (status) {
    case Status::kBadSecurityChecksFailed:
        return "not trusted";
    case Status::kBadCertificateTimeInvalid:
        return "expired or not yet valid";
    case Status::kBadCertificateRevoked:
        return "revoked";
    default:
        return "invalid";
    }
}

void patchSize(std::string& chunk, size_t start) {
    uint32_t size = static_cast<uint32_t>(chunk.size() - start);
    for (int i = 0; i < 4; ++i)
        chunk[start + 4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

} // namespace

SecureChannel::SecureChannel(uint32_t channelId, const security::ServerSecurity* security)
    : channelId_(channelId), server_(security), createdAt_(Clock::now()) {}

bool SecureChannel::isExpired(Clock::time_point now) const {
    if (!input_.empty() &&
        now - chunkStartedAt_ > std::chrono::milliseconds(Limits::kChunkTimeoutMs))
        return true;
    if (state_ == State::awaitingHello || state_ == State::awaitingOpen || state_ == State::opening)
        return now - createdAt_ > std::chrono::milliseconds(Limits::kHandshakeTimeoutMs);
    if (state_ == State::open)
        return now - tokenCreated_ >
               std::chrono::milliseconds(tokenLifetimeMs_ + tokenLifetimeMs_ / 4);
    return false;
}

void SecureChannel::fail(StatusCode code, const std::string& reason) {
    if (state_ == State::closed)
        return;
    std::string error = messageHeader("ERR", 'F');
    Encoder e;
    e.statusCode(code);
    e.string(reason);
    error += e.bytes();
    patchSize(error, 0);
    output_ += error;
    state_ = State::closed;
    input_.clear();
    partialBody_.clear();
}

std::string SecureChannel::takeOutput() {
    std::string out;
    out.swap(output_);
    return out;
}

bool SecureChannel::receive(std::string_view bytes, std::vector<ServiceRequest>& requests) {
    if (state_ == State::closed)
        return false;
    input_.append(bytes);
    size_t used = 0;
    while (state_ != State::closed && state_ != State::opening &&
           input_.size() - used >= kHeaderSize) {
        Decoder header(std::string_view(input_).substr(used, kHeaderSize));
        header.rawBytes(4);
        uint32_t size = header.u32();
        uint32_t limit = state_ == State::awaitingHello ? Limits::kBufferSize : receiveChunkSize_;
        if (size < kHeaderSize || size > limit) {
            fail(Status::kBadTcpMessageTooLarge, "chunk size out of range");
            break;
        }
        // Refused before its bytes are taken: no RSA work for what no request needs.
        if (input_.compare(used, 3, "OPN") == 0 && size > Limits::kMaxOpenChunkSize) {
            fail(Status::kBadTcpMessageTooLarge, "OpenSecureChannel chunk too large");
            break;
        }
        if (input_.size() - used < size)
            break;
        std::string_view chunk = std::string_view(input_).substr(used, size);
        used += size;
        if (!processChunk(chunk, requests))
            break;
    }
    if (state_ == State::closed)
        return false;
    // A chunk begins now when none was waiting or the one waiting was completed.
    if (input_.size() == bytes.size() || used > 0)
        chunkStartedAt_ = Clock::now();
    input_.erase(0, used);
    return true;
}

bool SecureChannel::processChunk(std::string_view chunk, std::vector<ServiceRequest>& requests) {
    std::string_view type = chunk.substr(0, 3);
    char chunkType = chunk[3];
    if (type == "HEL") {
        if (state_ != State::awaitingHello || chunkType != 'F') {
            fail(Status::kBadTcpMessageTypeInvalid, "unexpected Hello");
            return false;
        }
        return onHello(chunk.substr(kHeaderSize));
    }
    if (state_ == State::awaitingHello) {
        fail(Status::kBadTcpMessageTypeInvalid, "Hello expected");
        return false;
    }
    if (type == "OPN") {
        if (chunkType != 'F') {
            fail(Status::kBadTcpMessageTypeInvalid, "OpenSecureChannel in chunks");
            return false;
        }
        return onOpen(chunk);
    }
    if (state_ != State::open) {
        fail(Status::kBadTcpMessageTypeInvalid, "OpenSecureChannel expected");
        return false;
    }
    if (type == "MSG")
        return onMessage(chunkType, chunk, requests);
    if (type == "CLO") {
        state_ = State::closed;
        return false;
    }
    fail(Status::kBadTcpMessageTypeInvalid, "unknown message type");
    return false;
}

bool SecureChannel::onHello(std::string_view body) {
    Decoder d(body);
    d.u32(); // protocol version: ours is 0, and the Acknowledge tells the client
    uint32_t peerReceive = d.u32();
    uint32_t peerSend = d.u32();
    uint32_t peerMaxMessage = d.u32();
    uint32_t peerMaxChunks = d.u32();
    int32_t urlLength = d.i32();
    if (!d.ok() || urlLength > static_cast<int32_t>(Limits::kMaxEndpointUrlLength) ||
        urlLength < -1 || (urlLength > 0 && d.remaining() < static_cast<size_t>(urlLength))) {
        fail(Status::kBadTcpEndpointUrlInvalid, "malformed Hello");
        return false;
    }
    if (peerReceive < Limits::kMinBufferSize || peerSend < Limits::kMinBufferSize) {
        fail(Status::kBadTcpInternalError, "buffer sizes below 8192");
        return false;
    }
    sendChunkSize_ = std::min(peerReceive, Limits::kBufferSize);
    receiveChunkSize_ = std::min(peerSend, Limits::kBufferSize);
    peerMaxMessageSize_ = peerMaxMessage;
    peerMaxChunkCount_ = peerMaxChunks;

    std::string ack = messageHeader("ACK", 'F');
    Encoder e;
    e.u32(0);
    e.u32(receiveChunkSize_);
    e.u32(sendChunkSize_);
    e.u32(Limits::kMaxMessageSize);
    e.u32(Limits::kMaxChunkCount);
    ack += e.bytes();
    patchSize(ack, 0);
    output_ += ack;
    state_ = State::awaitingOpen;
    return true;
}

bool SecureChannel::checkSequence(uint32_t sequenceNumber) {
    if (haveSequence_) {
        bool next = sequenceNumber == lastReceivedSequence_ + 1;
        bool wrapped =
            lastReceivedSequence_ >= kSequenceWrapFrom && sequenceNumber < kSequenceWrapTo;
        if (!next && !wrapped) {
            fail(Status::kBadSequenceNumberInvalid, "sequence number out of order");
            return false;
        }
    }
    haveSequence_ = true;
    lastReceivedSequence_ = sequenceNumber;
    return true;
}

StatusCode SecureChannel::precheckOpen(const std::string& policyUri,
                                       const std::string& senderCertificate,
                                       const std::string& receiverThumbprint, size_t protectedSize,
                                       const security::SecurityPolicy*& policy,
                                       std::vector<security::Certificate>& chain) const {
    using namespace security;
    policy = findSecurityPolicy(policyUri);
    if (!policy || !server_ || !server_->offersPolicy(policy))
        return Status::kBadSecurityPolicyRejected;
    if (senderCertificate.size() > Limits::kMaxCertificateSize)
        return Status::kBadCertificateInvalid;
    chain = Certificate::chainFromDer(senderCertificate);
    if (chain.empty() || !policy->acceptsKey(chain.front().publicKey()))
        return Status::kBadCertificateInvalid;
    const PkiStore& pki = *server_->pki();
    if (receiverThumbprint != pki.certificate().thumbprint())
        return Status::kBadSecurityChecksFailed;
    // Whole blocks of our key, no more than one request needs.
    const size_t block = pki.privateKey().sizeBytes();
    if (block == 0 || protectedSize == 0 || protectedSize % block != 0 ||
        protectedSize / block > Limits::kMaxOpenCipherBlocks)
        return Status::kBadSecurityChecksFailed;
    return Status::kGood;
}

StatusCode SecureChannel::renewProtected(const security::SecurityPolicy& policy,
                                         const security::Certificate& certificate,
                                         std::string_view chunk, size_t clearSize,
                                         std::string& plain) {
    if (!security_ || security_->policy != &policy ||
        security_->clientCertificate.der() != certificate.der())
        return Status::kBadSecurityChecksFailed;
    if (!security::unprotectAsymmetric(policy, server_->pki()->privateKey(),
                                       certificate.publicKey(), chunk.substr(0, clearSize),
                                       chunk.substr(clearSize), plain))
        return Status::kBadSecurityChecksFailed;
    return Status::kGood;
}

void OpenCheck::run() {
    const security::Certificate& certificate = chain.front();
    // The signature first: only a sender holding the certificate's key gets further.
    if (!security::unprotectAsymmetric(*policy, pki->privateKey(), certificate.publicKey(),
                                       std::string_view(chunk).substr(0, clearSize),
                                       std::string_view(chunk).substr(clearSize), plain)) {
        status = Status::kBadSecurityChecksFailed;
        return;
    }
    std::vector<security::Certificate> sent(chain.begin() + 1, chain.end());
    status = pki->checkClientCertificate(certificate, sent, client.host);
    if (Status::isBad(status))
        auditCertificateRefused(certificate, trustRefusal(status), client);
}

bool SecureChannel::onOpen(std::string_view chunk) {
    Decoder d(chunk.substr(kHeaderSize));
    uint32_t channelId = d.u32();
    std::string policyUri = d.string();
    std::string senderCertificate = d.string();
    std::string receiverThumbprint = d.string();
    if (!d.ok()) {
        fail(Status::kBadDecodingError, "malformed OpenSecureChannel");
        return false;
    }
    const size_t clearSize = kHeaderSize + d.position();
    auto peer = std::make_shared<security::ChannelSecurity>();
    if (policyUri == kSecurityPolicyNone) {
        if (state_ == State::open && isSecure()) {
            fail(Status::kBadSecurityChecksFailed, "renewal with another security policy");
            return false;
        }
        return openWith(chunk.substr(clearSize), channelId, std::move(peer));
    }
    const security::SecurityPolicy* policy = nullptr;
    std::vector<security::Certificate> chain;
    StatusCode status = precheckOpen(policyUri, senderCertificate, receiverThumbprint,
                                     chunk.size() - clearSize, policy, chain);
    if (Status::isBad(status)) {
        fail(status, "OpenSecureChannel refused");
        return false;
    }
    if (state_ == State::awaitingOpen) {
        // Issuing: the RSA work runs elsewhere, and the channel waits for it.
        auto check = std::make_shared<OpenCheck>();
        check->policy = policy;
        check->pki = server_->pki();
        check->chain = std::move(chain);
        check->chunk.assign(chunk);
        check->clearSize = clearSize;
        pendingOpen_ = std::move(check);
        state_ = State::opening;
        return true;
    }
    // Renewing: the client proved itself when the channel was issued.
    std::string plain;
    status = renewProtected(*policy, chain.front(), chunk, clearSize, plain);
    if (Status::isBad(status)) {
        fail(status, "OpenSecureChannel refused");
        return false;
    }
    peer->policy = policy;
    peer->clientCertificate = chain.front();
    return openWith(plain, channelId, std::move(peer));
}

bool SecureChannel::finishOpen(const OpenCheck& check, std::vector<ServiceRequest>& requests) {
    if (state_ != State::opening)
        return state_ != State::closed;
    state_ = State::awaitingOpen;
    if (Status::isBad(check.status)) {
        fail(check.status, "OpenSecureChannel refused");
        return false;
    }
    auto peer = std::make_shared<security::ChannelSecurity>();
    peer->policy = check.policy;
    peer->clientCertificate = check.chain.front();
    clientKey_ = peer->clientCertificate.publicKey();
    if (!openWith(check.plain, 0, std::move(peer)))
        return false;
    return receive({}, requests); // what the client sent meanwhile
}

bool SecureChannel::openWith(std::string_view request, uint32_t headerChannelId,
                             std::shared_ptr<security::ChannelSecurity> peer) {
    Decoder b(request);
    uint32_t sequenceNumber = b.u32();
    uint32_t requestId = b.u32();
    NodeId type = b.nodeId();
    if (!b.ok() || type != NodeId(0, TypeId::kOpenSecureChannelRequest)) {
        fail(Status::kBadDecodingError, "malformed OpenSecureChannel");
        return false;
    }
    if (!checkSequence(sequenceNumber))
        return false;
    // Request header.
    b.nodeId();
    b.dateTime();
    uint32_t requestHandle = b.u32();
    b.u32();
    b.string();
    b.u32();
    b.extensionObject();
    b.u32(); // client protocol version
    uint32_t requestType = b.u32();
    auto securityMode = static_cast<security::SecurityMode>(b.u32());
    std::string clientNonce = b.string();
    uint32_t requestedLifetime = b.u32();
    if (!b.ok()) {
        fail(Status::kBadDecodingError, "malformed OpenSecureChannel");
        return false;
    }
    constexpr uint32_t kIssue = 0, kRenew = 1;
    bool issue = requestType == kIssue && state_ == State::awaitingOpen && headerChannelId == 0;
    bool renew = requestType == kRenew && state_ == State::open && headerChannelId == channelId_;
    if (!issue && !renew) {
        fail(Status::kBadTcpSecureChannelUnknown, "OpenSecureChannel does not fit the channel");
        return false;
    }
    bool modeFits = peer->policy ? server_->offers(peer->policy, securityMode)
                                 : securityMode == security::SecurityMode::none;
    if (!modeFits || (renew && security_ && securityMode != security_->mode)) {
        fail(Status::kBadSecurityModeRejected, "security mode not offered");
        return false;
    }
    peer->mode = securityMode;
    std::string serverNonce;
    if (peer->policy && !startToken(*peer->policy, clientNonce, serverNonce))
        return false;
    if (issue)
        security_ = std::move(peer);
    previousTokenId_ = tokenId_;
    tokenId_ = tokenId_ + 1;
    tokenCreated_ = Clock::now();
    tokenLifetimeMs_ =
        std::clamp(requestedLifetime, Limits::kMinTokenLifetimeMs, Limits::kMaxTokenLifetimeMs);
    state_ = State::open;
    sendOpenResponse(requestId, requestHandle, tokenLifetimeMs_, serverNonce);
    return true;
}

bool SecureChannel::startToken(const security::SecurityPolicy& policy,
                               const std::string& clientNonce, std::string& serverNonce) {
    using security::SecurityPolicy;
    if (clientNonce.size() != SecurityPolicy::kNonceLength) {
        fail(Status::kBadNonceInvalid, "client nonce of the wrong length");
        return false;
    }
    serverNonce = security::randomBytes(SecurityPolicy::kNonceLength);
    TokenKeys keys{policy.deriveKeys(serverNonce, clientNonce),
                   policy.deriveKeys(clientNonce, serverNonce)};
    if (serverNonce.empty() || keys.client.signingKey.empty() || keys.server.signingKey.empty()) {
        fail(Status::kBadSecurityChecksFailed, "cannot derive the channel's keys");
        return false;
    }
    previousKeys_ = std::move(keys_);
    keys_ = std::move(keys);
    return true;
}

void SecureChannel::sendOpenResponse(uint32_t requestId, uint32_t requestHandle,
                                     uint32_t lifetimeMs, const std::string& serverNonce) {
    std::string header = messageHeader("OPN", 'F');
    Encoder h;
    h.u32(channelId_);
    if (isSecure()) {
        h.string(security_->policy->uri());
        h.string(server_->pki()->certificate().der());
        h.string(security_->clientCertificate.thumbprint());
    } else {
        h.string(kSecurityPolicyNone);
        h.nullString();
        h.nullString();
    }
    header += h.bytes();

    Encoder e;
    e.u32(nextSequenceNumber());
    e.u32(requestId);
    e.nodeId(NodeId(0, TypeId::kOpenSecureChannelResponse));
    DateTime now = nowDateTime();
    e.dateTime(now);
    e.u32(requestHandle);
    e.statusCode(Status::kGood);
    e.emptyDiagnosticInfo();
    e.arrayLength(0);
    e.extensionObject({});
    e.u32(0); // server protocol version
    e.u32(channelId_);
    e.u32(tokenId_);
    e.dateTime(now);
    e.u32(lifetimeMs);
    e.string(serverNonce); // empty with policy None
    if (!isSecure()) {
        header += e.bytes();
        patchSize(header, 0);
        output_ += header;
        return;
    }
    std::string chunk;
    if (!security::protectAsymmetric(*security_->policy, server_->pki()->privateKey(), clientKey_,
                                     std::move(header), e.bytes(), chunk)) {
        fail(Status::kBadSecurityChecksFailed, "cannot protect the OpenSecureChannel response");
        return;
    }
    output_ += chunk;
}

bool SecureChannel::onMessage(char chunkType, std::string_view chunk,
                              std::vector<ServiceRequest>& requests) {
    Decoder d(chunk.substr(kHeaderSize));
    uint32_t channelId = d.u32();
    uint32_t tokenId = d.u32();
    if (!d.ok()) {
        fail(Status::kBadDecodingError, "chunk too short");
        return false;
    }
    if (channelId != channelId_) {
        fail(Status::kBadTcpSecureChannelUnknown, "unknown secure channel");
        return false;
    }
    if (tokenId != tokenId_ && (tokenId != previousTokenId_ || previousTokenId_ == 0)) {
        fail(Status::kBadSecureChannelTokenUnknown, "unknown security token");
        return false;
    }
    constexpr size_t kClearSize = kHeaderSize + 8;
    std::string plain;
    std::string_view protectedPart = chunk.substr(kClearSize);
    if (isSecure()) {
        const TokenKeys& keys = tokenId == tokenId_ ? keys_ : previousKeys_;
        bool encrypted = security_->mode == security::SecurityMode::signAndEncrypt;
        if (!security::unprotectSymmetric(*security_->policy, keys.client, encrypted,
                                          chunk.substr(0, kClearSize), protectedPart, plain)) {
            fail(Status::kBadSecurityChecksFailed, "chunk signature invalid");
            return false;
        }
        protectedPart = plain;
    }
    Decoder sequence(protectedPart);
    uint32_t sequenceNumber = sequence.u32();
    uint32_t requestId = sequence.u32();
    if (!sequence.ok()) {
        fail(Status::kBadDecodingError, "chunk too short");
        return false;
    }
    if (tokenId == tokenId_)
        previousTokenId_ = 0; // the client has moved to the new token
    if (!checkSequence(sequenceNumber))
        return false;
    if (chunkType == 'A') {
        partialBody_.clear();
        partialChunks_ = 0;
        return true;
    }
    if (chunkType != 'C' && chunkType != 'F') {
        fail(Status::kBadTcpMessageTypeInvalid, "unknown chunk type");
        return false;
    }
    if (partialChunks_ > 0 && requestId != partialRequestId_) {
        fail(Status::kBadTcpMessageTypeInvalid, "chunks of two messages interleaved");
        return false;
    }
    std::string_view body = protectedPart.substr(8);
    if (partialBody_.size() + body.size() > Limits::kMaxMessageSize ||
        partialChunks_ + 1 > Limits::kMaxChunkCount) {
        fail(Status::kBadTcpMessageTooLarge, "message too large");
        return false;
    }
    partialRequestId_ = requestId;
    partialBody_.append(body);
    ++partialChunks_;
    if (chunkType == 'C')
        return true;

    Decoder message(partialBody_);
    NodeId type = message.nodeId();
    if (!message.ok() || type.ns != 0 || type.kind != NodeId::Kind::numeric) {
        fail(Status::kBadDecodingError, "message without a service type");
        return false;
    }
    ServiceRequest request;
    request.requestId = requestId;
    request.typeId = type.numeric;
    request.body = partialBody_.substr(message.position());
    request.security = security_;
    requests.push_back(std::move(request));
    partialBody_.clear();
    partialChunks_ = 0;
    return true;
}

uint32_t SecureChannel::nextSequenceNumber() {
    if (sendSequence_ >= kSequenceWrapFrom)
        sendSequence_ = 0;
    return ++sendSequence_;
}

bool SecureChannel::sendResponse(uint32_t requestId, uint32_t typeId, std::string_view body,
                                 std::string_view fault) {
    if (state_ != State::open)
        return false;
    if (!sendMessage(requestId, typeId, body) &&
        !sendMessage(requestId, TypeId::kServiceFault, fault))
        fail(Status::kBadResponseTooLarge, "response larger than the client takes");
    return state_ == State::open;
}

bool SecureChannel::sendMessage(uint32_t requestId, uint32_t typeId, std::string_view body) {
    if (state_ != State::open)
        return false;
    Encoder typeNode;
    typeNode.nodeId(NodeId(0, typeId));
    size_t total = typeNode.size() + body.size();
    constexpr size_t kClearSize = kHeaderSize + 8;
    bool encrypt = isSecure() && security_->mode == security::SecurityMode::signAndEncrypt;
    size_t perChunk =
        isSecure() ? security::symmetricPlainCapacity(encrypt, sendChunkSize_, kClearSize) - 8
                   : sendChunkSize_ - kSymmetricOverhead;
    size_t chunks = (total + perChunk - 1) / perChunk;
    if (total > Limits::kMaxMessageSize || (peerMaxMessageSize_ && total > peerMaxMessageSize_) ||
        (peerMaxChunkCount_ && chunks > peerMaxChunkCount_))
        return false;
    std::string message = typeNode.bytes();
    message.append(body);
    // After a renewal the old token secures our answers until the client has used the new one.
    const bool oldToken = previousTokenId_ != 0;
    const uint32_t tokenId = oldToken ? previousTokenId_ : tokenId_;
    const TokenKeys& keys = oldToken ? previousKeys_ : keys_;
    std::string_view rest(message);
    while (!rest.empty()) {
        std::string_view part = rest.substr(0, perChunk);
        rest.remove_prefix(part.size());
        std::string header = messageHeader("MSG", rest.empty() ? 'F' : 'C');
        Encoder h;
        h.u32(channelId_);
        h.u32(tokenId);
        header += h.bytes();
        Encoder e;
        e.u32(nextSequenceNumber());
        e.u32(requestId);
        e.raw(part);
        if (!isSecure()) {
            header += e.bytes();
            patchSize(header, 0);
            output_ += header;
            continue;
        }
        std::string chunk;
        if (!security::protectSymmetric(*security_->policy, keys.server, encrypt, std::move(header),
                                        e.bytes(), chunk)) {
            fail(Status::kBadSecurityChecksFailed, "cannot protect a message");
            return true; // the channel closes; nothing else to send
        }
        output_ += chunk;
    }
    return true;
}

} // namespace vorn::ua
