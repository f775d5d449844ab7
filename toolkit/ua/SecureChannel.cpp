#include "SecureChannel.h"

#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

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

void patchSize(std::string& chunk, size_t start) {
    uint32_t size = static_cast<uint32_t>(chunk.size() - start);
    for (int i = 0; i < 4; ++i)
        chunk[start + 4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

} // namespace

SecureChannel::SecureChannel(uint32_t channelId)
    : channelId_(channelId), createdAt_(Clock::now()) {}

bool SecureChannel::isExpired(Clock::time_point now) const {
    if (!input_.empty() &&
        now - chunkStartedAt_ > std::chrono::milliseconds(Limits::kChunkTimeoutMs))
        return true;
    if (state_ == State::awaitingHello || state_ == State::awaitingOpen)
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
    while (state_ != State::closed && input_.size() - used >= kHeaderSize) {
        Decoder header(std::string_view(input_).substr(used, kHeaderSize));
        header.rawBytes(4);
        uint32_t size = header.u32();
        uint32_t limit = state_ == State::awaitingHello ? Limits::kBufferSize : receiveChunkSize_;
        if (size < kHeaderSize || size > limit) {
            fail(Status::kBadTcpMessageTooLarge, "chunk size out of range");
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

bool SecureChannel::onOpen(std::string_view chunk) {
    Decoder d(chunk.substr(kHeaderSize));
    uint32_t channelId = d.u32();
    std::string policy = d.string();
    d.string(); // sender certificate
    d.string(); // receiver thumbprint
    uint32_t sequenceNumber = d.u32();
    uint32_t requestId = d.u32();
    NodeId type = d.nodeId();
    if (!d.ok() || type != NodeId(0, TypeId::kOpenSecureChannelRequest)) {
        fail(Status::kBadDecodingError, "malformed OpenSecureChannel");
        return false;
    }
    if (policy != kSecurityPolicyNone) {
        fail(Status::kBadSecurityPolicyRejected, "only security policy None is offered");
        return false;
    }
    if (!checkSequence(sequenceNumber))
        return false;
    // Request header.
    d.nodeId();
    d.dateTime();
    uint32_t requestHandle = d.u32();
    d.u32();
    d.string();
    d.u32();
    d.extensionObject();
    d.u32(); // client protocol version
    uint32_t requestType = d.u32();
    uint32_t securityMode = d.u32();
    d.string(); // client nonce
    uint32_t requestedLifetime = d.u32();
    if (!d.ok()) {
        fail(Status::kBadDecodingError, "malformed OpenSecureChannel");
        return false;
    }
    constexpr uint32_t kIssue = 0, kRenew = 1, kModeNone = 1;
    bool issue = requestType == kIssue && state_ == State::awaitingOpen && channelId == 0;
    bool renew = requestType == kRenew && state_ == State::open && channelId == channelId_;
    if (!issue && !renew) {
        fail(Status::kBadTcpSecureChannelUnknown, "OpenSecureChannel does not fit the channel");
        return false;
    }
    if (securityMode != kModeNone) {
        fail(Status::kBadSecurityModeRejected, "only security mode None is offered");
        return false;
    }
    previousTokenId_ = tokenId_;
    tokenId_ = tokenId_ + 1;
    tokenCreated_ = Clock::now();
    tokenLifetimeMs_ =
        std::clamp(requestedLifetime, Limits::kMinTokenLifetimeMs, Limits::kMaxTokenLifetimeMs);
    state_ = State::open;
    sendOpenResponse(requestId, requestHandle, tokenLifetimeMs_);
    return true;
}

void SecureChannel::sendOpenResponse(uint32_t requestId, uint32_t requestHandle,
                                     uint32_t lifetimeMs) {
    std::string out = messageHeader("OPN", 'F');
    Encoder e;
    e.u32(channelId_);
    e.string(kSecurityPolicyNone);
    e.nullString();
    e.nullString();
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
    e.string(""); // server nonce: none with policy None
    out += e.bytes();
    patchSize(out, 0);
    output_ += out;
}

bool SecureChannel::onMessage(char chunkType, std::string_view chunk,
                              std::vector<ServiceRequest>& requests) {
    Decoder d(chunk.substr(kHeaderSize));
    uint32_t channelId = d.u32();
    uint32_t tokenId = d.u32();
    uint32_t sequenceNumber = d.u32();
    uint32_t requestId = d.u32();
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
    std::string_view body = chunk.substr(kSymmetricOverhead);
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
    size_t perChunk = sendChunkSize_ - kSymmetricOverhead;
    size_t chunks = (total + perChunk - 1) / perChunk;
    if (total > Limits::kMaxMessageSize || (peerMaxMessageSize_ && total > peerMaxMessageSize_) ||
        (peerMaxChunkCount_ && chunks > peerMaxChunkCount_))
        return false;
    std::string message = typeNode.bytes();
    message.append(body);
    std::string_view rest(message);
    while (!rest.empty()) {
        std::string_view part = rest.substr(0, perChunk);
        rest.remove_prefix(part.size());
        size_t start = output_.size();
        output_ += messageHeader("MSG", rest.empty() ? 'F' : 'C');
        Encoder e;
        e.u32(channelId_);
        e.u32(tokenId_);
        e.u32(nextSequenceNumber());
        e.u32(requestId);
        output_ += e.bytes();
        output_.append(part);
        patchSize(output_, start);
    }
    return true;
}

} // namespace vorn::ua
