// The trace lines an operator reads to learn who did what through OPC UA: certificates and
// logins refused (warning), sessions activated with a user name (info), every client write
// handed to a device with its user, item and value, and writes refused for lack of rights
// (info and warning). Each names the client: application URI, certificate thumbprint (none on
// an unsecured channel) and address. Passwords never appear.
#pragma once

#include "toolkit/ua/ClientAddress.h"
#include "toolkit/ua/UaStatusCodes.h"
#include "toolkit/ua/UaTypes.h"
#include "toolkit/ua/security/Crypto.h"
#include "toolkit/ua/security/UserAccounts.h"

#include <memory>
#include <string>

namespace vorn::ua {

// Who a session is: the client application, its channel and its user.
struct SessionUser {
    std::string name; // empty: anonymous
    security::UserRole role = security::UserRole::readWrite;
    std::string applicationUri;
    std::string thumbprint; // of the channel's client certificate, hex; empty without one
    std::shared_ptr<const ClientAddress> client;

    bool mayWrite() const { return role == security::UserRole::readWrite; }
};

// "application URI urn:x, certificate thumbprint AB12..., from 10.0.0.5:50123"
std::string describeClient(const std::string& applicationUri, const std::string& thumbprint,
                           const ClientAddress* client);

// A client certificate the trust list refused (`why`: "not trusted", "revoked", ...).
void auditCertificateRefused(const security::Certificate& certificate, const std::string& why,
                             const ClientAddress& client);
void auditLoginRefused(const std::string& userName, StatusCode status,
                       const std::string& applicationUri, const std::string& thumbprint,
                       const ClientAddress* client);
void auditSessionActivated(const SessionUser& user);
void auditWriteRefused(const SessionUser& user, const std::string& itemId);
// A write handed to a device, with the outcome the client was told; `completed` is false when
// the answer (BadTimeout, BadShutdown) came before the device's.
void auditWrite(const SessionUser& user, const std::string& itemId, const Variant& value,
                StatusCode outcome, bool completed);

// A value as the trace shows it: numbers, true/false, "text", [a, b, ...] (long arrays cut).
std::string valueText(const Variant& value);

} // namespace vorn::ua
