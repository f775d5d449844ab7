// The web front's HTTP(S) server, on Boost.Beast: asynchronous, so that idle or slow
// browsers hold no thread, on a few threads of its own. Every limit of WebLimits.h is kept
// here: connections, header and body sizes, deadlines. Each whole request goes to one handler
// (the routes), on one of these threads; the handler must not wait long.
#pragma once

#include "web/HttpMessages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vorn::web {

struct TlsIdentity {
    std::string certificateDer; // the server's certificate
    void* privateKey = nullptr; // its key, an OpenSSL EVP_PKEY (the server takes a reference)
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit HttpServer(Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on `address` (dotted IPv4) and `port` (0: any free port), with TLS when `tls`
    // is given, and starts the threads. False, with the reason, when it cannot.
    bool start(const std::string& address, uint16_t port, const TlsIdentity* tls,
               std::string& error);
    uint16_t port() const;
    // Connections open now (for the tests of the limits).
    size_t connectionCount() const;
    // Stops accepting and joins the threads; idempotent. Connections close when the server
    // is destroyed.
    void stop();

    // The listener, threads and limits, which the connections (HttpServer.cpp) reach too.
    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace vorn::web
