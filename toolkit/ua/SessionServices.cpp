// CreateSession, ActivateSession (also of an existing session from a new channel, after a
// lost socket) and CloseSession. Identity: anonymous.
#include "Services.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <random>

namespace vorn::ua {
namespace {

constexpr size_t kNonceLength = 32;

std::string nonce() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string bytes(kNonceLength, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void skipApplicationDescription(Decoder& in) {
    in.string();
    in.string();
    in.localizedText();
    in.u32();
    in.string();
    in.string();
    uint32_t urls = in.arrayLength(4);
    for (uint32_t i = 0; i < urls && in.ok(); ++i)
        in.string();
}

// Cuts a UTF-8 text to at most `length` bytes without splitting a character.
void cutUtf8(std::string& text, size_t length) {
    if (text.size() <= length)
        return;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    text.resize(length);
}

} // namespace

ServiceResponse createSession(ServiceContext& core, ServiceCall& call) {
    skipApplicationDescription(call.in);
    call.in.string(); // server URI
    std::string endpointUrl = call.in.string();
    std::string sessionName = call.in.string();
    call.in.string(); // client nonce
    size_t certificateSize = call.in.string().size();
    double requestedTimeout = call.in.f64();
    call.in.u32(); // max response message size: the channel's limits apply
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (endpointUrl.size() > Limits::kMaxEndpointUrlLength ||
        certificateSize > Limits::kMaxCertificateSize)
        return ServiceResponse::fault(call, Status::kBadEncodingLimitsExceeded);
    cutUtf8(sessionName, Limits::kMaxSessionNameLength);
    if (core.info.isShuttingDown())
        return ServiceResponse::fault(call, Status::kBadShutdown);

    Encoder out;
    std::shared_ptr<DaClient> evicted;
    {
        std::lock_guard lock(core.sessions.mutex());
        Session* session = core.sessions.create(sessionName, requestedTimeout, evicted);
        if (session) {
            session->connectionId = call.connectionId;
            encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
            out.nodeId(session->sessionId);
            out.nodeId(session->authenticationToken);
            out.f64(session->timeoutMs);
        }
    }
    if (evicted) // outside the lock; never the last client, since a session was just made
        evicted->close();
    if (out.size() == 0)
        return ServiceResponse::fault(call, Status::kBadTooManySessions);
    out.string(nonce());
    out.nullString(); // server certificate
    encodeEndpoints(core, out, endpointUrl);
    out.arrayLength(0); // server software certificates
    out.nullString();   // signature algorithm
    out.nullString();   // signature
    out.u32(Limits::kMaxMessageSize);
    return {TypeId::kCreateSessionResponse, std::move(out.bytes())};
}

ServiceResponse activateSession(ServiceContext& core, ServiceCall& call) {
    Decoder& in = call.in;
    in.string(); // client signature: algorithm
    in.string(); // and signature
    uint32_t certificates = in.arrayLength(8);
    for (uint32_t i = 0; i < certificates && in.ok(); ++i) {
        in.string();
        in.string();
    }
    uint32_t locales = in.arrayLength(4);
    for (uint32_t i = 0; i < locales && in.ok(); ++i)
        in.string();
    ExtensionObject identity = in.extensionObject();
    in.string();
    in.string();
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    bool anonymous =
        identity.typeId.isNull() || identity.typeId == NodeId(0, TypeId::kAnonymousIdentityToken);
    if (!anonymous)
        return ServiceResponse::fault(call, Status::kBadIdentityTokenInvalid);

    std::lock_guard lock(core.sessions.mutex());
    Session* session = core.sessions.find(call.header.authenticationToken);
    if (!session)
        return ServiceResponse::fault(call, Status::kBadSessionIdInvalid);
    if (session->connectionId != call.connectionId) {
        // Moving to a new channel: Publishes parked on the old one cannot be answered there.
        session->publishQueue.clear();
        session->connectionId = call.connectionId;
    }
    session->activated = true;
    session->lastSeen = Session::Clock::now();
    core.sessions.wake();

    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.string(nonce());
    out.arrayLength(0);
    out.arrayLength(0);
    return {TypeId::kActivateSessionResponse, std::move(out.bytes())};
}

ServiceResponse closeSession(ServiceContext& core, ServiceCall& call) {
    call.in.boolean(); // delete subscriptions: a session's groups always go with it
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    std::shared_ptr<DaClient> client;
    {
        std::lock_guard lock(core.sessions.mutex());
        Session* session = core.sessions.find(call.header.authenticationToken);
        if (!session || session->connectionId != call.connectionId)
            return ServiceResponse::fault(call, Status::kBadSessionIdInvalid);
        client = core.sessions.close(*session);
    }
    // Outside the lock: releasing the last session calls the server's event handler.
    if (client)
        client->close();
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    return {TypeId::kCloseSessionResponse, std::move(out.bytes())};
}

} // namespace vorn::ua
