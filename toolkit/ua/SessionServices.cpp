// CreateSession, ActivateSession (also of an existing session from a new channel, after a
// lost socket) and CloseSession. On a secure channel each side proves it holds its
// certificate's key by signing the other's certificate and latest nonce. Identity: anonymous or
// a user account (UserIdentity.h), whose role the session keeps. A user name's password is
// checked by the admission checks and the call answered from there: a refusal half a second
// after the request, holding no thread meanwhile.
#include "Services.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/UserIdentity.h"
#include "toolkit/ua/security/HexText.h"

#include <chrono>

namespace vorn::ua {
namespace {

constexpr size_t kNonceLength = 32;

std::string nonce() {
    return security::randomBytes(kNonceLength);
}

// Reads an ApplicationDescription and gives its application URI.
std::string readApplicationUri(Decoder& in) {
    std::string uri = in.string();
    in.string();
    in.localizedText();
    in.u32();
    in.string();
    in.string();
    uint32_t urls = in.arrayLength(4);
    for (uint32_t i = 0; i < urls && in.ok(); ++i)
        in.string();
    return uri;
}

// Checks what a secure channel's client says of itself in CreateSession: the certificate is
// the channel's, its application URI is the client's, the nonce is long enough.
StatusCode checkClient(const ServiceCall& call, const std::string& applicationUri,
                       const std::string& clientNonce, const std::string& clientCertificate) {
    const security::ChannelSecurity& channel = *call.channel;
    if (clientNonce.size() < kNonceLength)
        return Status::kBadNonceInvalid;
    auto certificate = security::Certificate::fromDer(clientCertificate);
    if (!certificate || certificate->der() != channel.clientCertificate.der())
        return Status::kBadCertificateInvalid;
    if (certificate->applicationUri() != applicationUri)
        return Status::kBadCertificateUriInvalid;
    return Status::kGood;
}

bool isSecure(const ServiceCall& call) {
    return call.channel && call.channel->policy;
}

std::string thumbprintOf(const std::string& certificateDer) {
    if (certificateDer.empty())
        return {};
    return security::toHex(security::sha1(certificateDer), security::HexDigits::upper);
}

// What an ActivateSession needs to finish once its user is known, on whichever thread.
struct Activation {
    uint64_t connectionId = 0;
    uint32_t requestId = 0;
    uint32_t requestHandle = 0;
    NodeId authenticationToken;
    std::string lastNonce; // the session's nonce the client signed
    std::shared_ptr<const ClientAddress> client;
};

// Ends the activation with the user found: the session takes the user and a new nonce.
ServiceResponse activated(ServiceContext& core, const Activation& a, const IdentityToken& token,
                          const IdentityResult& user) {
    auto fault = [&](StatusCode status) {
        return ServiceResponse{TypeId::kServiceFault, serviceFault(a.requestHandle, status)};
    };
    std::lock_guard lock(core.sessions.mutex());
    Session* session = core.sessions.find(a.authenticationToken);
    if (!session || session->serverNonce != a.lastNonce)
        return fault(Status::kBadSessionIdInvalid);
    std::string serverNonce = nonce();
    if (serverNonce.empty())
        return fault(Status::kBadSecurityChecksFailed);
    session->serverNonce = serverNonce;
    if (session->connectionId != a.connectionId) {
        // Moving to a new channel: Publishes parked on the old one cannot be answered there.
        session->publishQueue.clear();
        session->connectionId = a.connectionId;
    }
    session->clientAddress = a.client;
    auto sessionUser = std::make_shared<SessionUser>();
    sessionUser->name = token.anonymous ? "" : token.userName;
    sessionUser->role = user.role;
    sessionUser->applicationUri = session->applicationUri;
    sessionUser->thumbprint = thumbprintOf(session->clientCertificate);
    sessionUser->client = a.client;
    session->user = sessionUser;
    for (auto& [id, subscription] : session->subscriptions)
        subscription.userMayWrite = sessionUser->mayWrite();
    session->activated = true;
    session->lastSeen = Session::Clock::now();
    core.sessions.wake();
    if (!token.anonymous)
        auditSessionActivated(*sessionUser);

    Encoder out;
    encodeResponseHeader(out, a.requestHandle, Status::kGood);
    out.string(serverNonce);
    out.arrayLength(0);
    out.arrayLength(0);
    return {TypeId::kActivateSessionResponse, std::move(out.bytes())};
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
    std::string applicationUri = readApplicationUri(call.in);
    call.in.string(); // server URI
    std::string endpointUrl = call.in.string();
    std::string sessionName = call.in.string();
    std::string clientNonce = call.in.string();
    std::string clientCertificate = call.in.string();
    double requestedTimeout = call.in.f64();
    call.in.u32(); // max response message size: the channel's limits apply
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (endpointUrl.size() > Limits::kMaxEndpointUrlLength ||
        clientCertificate.size() > Limits::kMaxCertificateSize)
        return ServiceResponse::fault(call, Status::kBadEncodingLimitsExceeded);
    cutUtf8(sessionName, Limits::kMaxSessionNameLength);
    if (core.info.isShuttingDown())
        return ServiceResponse::fault(call, Status::kBadShutdown);
    const security::ChannelSecurity none;
    const security::ChannelSecurity& channel = call.channel ? *call.channel : none;
    // A None channel serves discovery only when no endpoint offers None.
    if (!core.security->offers(channel.policy, channel.mode))
        return ServiceResponse::fault(call, Status::kBadSecurityPolicyRejected);
    std::string signature;
    if (isSecure(call)) {
        StatusCode status = checkClient(call, applicationUri, clientNonce, clientCertificate);
        if (Status::isBad(status))
            return ServiceResponse::fault(call, status);
        if (!channel.policy->asymmetricSign(core.security->pki()->privateKey(),
                                            clientCertificate + clientNonce, signature))
            return ServiceResponse::fault(call, Status::kBadSecurityChecksFailed);
    }
    std::string serverNonce = nonce();
    if (serverNonce.empty())
        return ServiceResponse::fault(call, Status::kBadSecurityChecksFailed);

    Encoder out;
    std::shared_ptr<DaClient> evicted;
    {
        std::lock_guard lock(core.sessions.mutex());
        Session* session = core.sessions.create(sessionName, requestedTimeout, evicted,
                                                call.client ? call.client->host : "");
        if (session) {
            session->connectionId = call.connectionId;
            session->applicationUri = applicationUri;
            cutUtf8(session->applicationUri, Limits::kMaxSessionNameLength);
            session->clientAddress = call.client;
            session->serverNonce = serverNonce;
            session->clientCertificate = channel.clientCertificate.der();
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
    out.string(serverNonce);
    // Also on a None channel: the client encrypts passwords with it.
    if (core.security->pki())
        out.string(core.security->pki()->certificate().der());
    else
        out.nullString();
    encodeEndpoints(core, out, endpointUrl);
    out.arrayLength(0); // server software certificates
    if (isSecure(call)) {
        out.string(channel.policy->asymmetricSignatureUri());
        out.string(signature);
    } else {
        out.nullString();
        out.nullString();
    }
    out.u32(Limits::kMaxMessageSize);
    return {TypeId::kCreateSessionResponse, std::move(out.bytes())};
}

ServiceResponse activateSession(ServiceContext& core, ServiceCall& call) {
    Decoder& in = call.in;
    in.string(); // client signature: algorithm (the policy's)
    std::string clientSignature = in.string();
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

    // The application first, under the lock; then the user, without it (hashes are slow).
    Activation a{call.connectionId,
                 call.requestId,
                 call.header.requestHandle,
                 call.header.authenticationToken,
                 {},
                 call.client};
    std::string applicationUri;
    std::string thumbprint;
    {
        std::lock_guard lock(core.sessions.mutex());
        Session* session = core.sessions.find(call.header.authenticationToken);
        if (!session)
            return ServiceResponse::fault(call, Status::kBadSessionIdInvalid);
        std::string channelCertificate =
            isSecure(call) ? call.channel->clientCertificate.der() : "";
        if (channelCertificate != session->clientCertificate)
            return ServiceResponse::fault(call, Status::kBadSecurityChecksFailed);
        if (isSecure(call)) {
            const security::ChannelSecurity& channel = *call.channel;
            std::string signedData =
                core.security->pki()->certificate().der() + session->serverNonce;
            if (!channel.policy->asymmetricVerify(channel.clientCertificate.publicKey(), signedData,
                                                  clientSignature))
                return ServiceResponse::fault(call, Status::kBadApplicationSignatureInvalid);
        }
        a.lastNonce = session->serverNonce;
        applicationUri = session->applicationUri;
        thumbprint = thumbprintOf(session->clientCertificate);
    }
    auto token = std::make_shared<IdentityToken>(
        readIdentityToken(core, call.channel ? call.channel->policy : nullptr, identity));
    if (Status::isBad(token->status)) {
        auditLoginRefused(token->userName, token->status, applicationUri, thumbprint,
                          call.client.get());
        return ServiceResponse::fault(call, token->status);
    }
    if (token->anonymous)
        return activated(core, a, *token, {Status::kGood, token->role});

    using Clock = AdmissionChecks::Clock;
    const Clock::time_point arrival = Clock::now();
    auto user = std::make_shared<IdentityResult>();
    bool queued = core.admission.submit(
        call.client ? call.client->host : "",
        [&core, token, user, lastNonce = a.lastNonce, arrival] {
            *user = checkPassword(core, *token, lastNonce);
            if (Status::isBad(user->status))
                return AdmissionChecks::Outcome{
                    arrival + std::chrono::milliseconds(kRefusedLoginDelayMs), true};
            return AdmissionChecks::Outcome{Clock::now(), false};
        },
        [&core, a, token, user, applicationUri, thumbprint] {
            ServiceResponse response;
            if (Status::isBad(user->status)) {
                auditLoginRefused(token->userName, user->status, applicationUri, thumbprint,
                                  a.client.get());
                response = {TypeId::kServiceFault, serviceFault(a.requestHandle, user->status)};
            } else {
                response = activated(core, a, *token, *user);
            }
            core.sink.sendResponse(a.connectionId, a.requestId, response.typeId,
                                   std::move(response.body));
        });
    if (!queued)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    return ServiceResponse::later();
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
