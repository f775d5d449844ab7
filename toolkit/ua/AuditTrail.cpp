#include "AuditTrail.h"

#include "toolkit/SOCmnTrace.h"
#include "toolkit/ua/security/HexText.h"

#include <charconv>
#include <cstdio>

namespace vorn::ua {
namespace {

// Elements of an array value shown before the rest is left out.
constexpr size_t kShownElements = 16;
// Bytes of a text from the client (a value, a user name, a URI) shown before the rest is
// left out.
constexpr size_t kShownCharacters = 200;

// Text a client chose, made safe for one trace line: control characters become '?'.
std::string printable(const std::string& text) {
    std::string out = text.substr(0, kShownCharacters);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text.size() > kShownCharacters ? out + "..." : out;
}

std::string scalarText(const Scalar& scalar) {
    if (const bool* b = std::get_if<bool>(&scalar))
        return *b ? "true" : "false";
    if (const int64_t* i = std::get_if<int64_t>(&scalar))
        return std::to_string(*i);
    if (const uint64_t* u = std::get_if<uint64_t>(&scalar))
        return std::to_string(*u);
    if (const double* d = std::get_if<double>(&scalar)) {
        char text[32];
        auto [end, ec] = std::to_chars(text, text + sizeof text, *d);
        return ec == std::errc() ? std::string(text, end) : "?";
    }
    if (const std::string* s = std::get_if<std::string>(&scalar))
        return "\"" + printable(*s) + "\"";
    return std::holds_alternative<std::monostate>(scalar) ? "null" : "(structure)";
}

std::string statusText(StatusCode status) {
    static const std::pair<StatusCode, const char*> kNames[] = {
        {Status::kBadUserAccessDenied, "BadUserAccessDenied"},
        {Status::kBadIdentityTokenInvalid, "BadIdentityTokenInvalid"},
        {Status::kBadIdentityTokenRejected, "BadIdentityTokenRejected"},
        {Status::kBadTimeout, "BadTimeout"},
        {Status::kBadShutdown, "BadShutdown"},
        {Status::kBadOutOfRange, "BadOutOfRange"},
        {Status::kBadNoCommunication, "BadNoCommunication"},
        {Status::kBadDeviceFailure, "BadDeviceFailure"},
        {Status::kBadOutOfService, "BadOutOfService"},
        {Status::kBadNotWritable, "BadNotWritable"},
        {Status::kBadTypeMismatch, "BadTypeMismatch"},
    };
    for (auto [code, name] : kNames)
        if (code == status)
            return name;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", status);
    return code;
}

std::string userText(const std::string& name) {
    return name.empty() ? "anonymous" : "user \"" + printable(name) + "\"";
}

void trace(TraceLevel level, const std::string& text) {
    getSOCmnTrace().trace(level, level == TraceLevel::info ? "AUD" : "SEC", text);
}

} // namespace

std::string describeClient(const std::string& applicationUri, const std::string& thumbprint,
                           const ClientAddress* client) {
    return "application URI " + (applicationUri.empty() ? "(none)" : printable(applicationUri)) +
           ", certificate thumbprint " + (thumbprint.empty() ? "(none)" : thumbprint) + ", from " +
           (client ? client->text() : "(unknown)");
}

void auditCertificateRefused(const security::Certificate& certificate, const std::string& why,
                             const ClientAddress& client) {
    trace(TraceLevel::warning,
          "client certificate refused (" + why + "): subject " + printable(certificate.subject()) +
              ", " +
              describeClient(certificate.applicationUri(),
                             security::toHex(certificate.thumbprint(), security::HexDigits::upper),
                             &client));
}

void auditLoginRefused(const std::string& userName, StatusCode status,
                       const std::string& applicationUri, const std::string& thumbprint,
                       const ClientAddress* client) {
    trace(TraceLevel::warning, "login refused (" + statusText(status) + ") for " +
                                   userText(userName) + ": " +
                                   describeClient(applicationUri, thumbprint, client));
}

void auditSessionActivated(const SessionUser& user) {
    trace(TraceLevel::info,
          "session activated for " + userText(user.name) + " (" + security::roleName(user.role) +
              "): " + describeClient(user.applicationUri, user.thumbprint, user.client.get()));
}

void auditWriteRefused(const SessionUser& user, const std::string& itemId) {
    trace(TraceLevel::warning,
          "write refused for lack of rights: " + userText(user.name) + " (" +
              security::roleName(user.role) + "), item " + itemId + ": " +
              describeClient(user.applicationUri, user.thumbprint, user.client.get()));
}

void auditWrite(const SessionUser& user, const std::string& itemId, const Variant& value,
                StatusCode outcome, bool completed) {
    std::string result = outcome == Status::kGood ? "Good" : statusText(outcome);
    if (!completed)
        result += ", answered before the device: the write may still take place";
    trace(TraceLevel::info,
          "write by " + userText(user.name) + ": " + itemId + " = " + valueText(value) + " (" +
              result +
              "): " + describeClient(user.applicationUri, user.thumbprint, user.client.get()));
}

std::string valueText(const Variant& value) {
    if (!value.isArray)
        return value.values.empty() ? "null" : scalarText(value.values.front());
    std::string text = "[";
    for (size_t i = 0; i < value.values.size() && i < kShownElements; ++i)
        text += (i ? ", " : "") + scalarText(value.values[i]);
    if (value.values.size() > kShownElements)
        text += ", ... (" + std::to_string(value.values.size()) + " elements)";
    return text + "]";
}

} // namespace vorn::ua
