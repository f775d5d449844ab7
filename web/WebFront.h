// The web front of a running server: reads its registry values, and when HttpListen is set
// serves the status page, the JSON API and /metrics on threads of its own (HTTPS with the
// server's own certificate when HttpTls=1). Started after the server, stopped before it.
#pragma once

#include "server/GatewayServer.h"
#include "web/HttpServer.h"
#include "web/WebRoutes.h"

#include <memory>
#include <string>

namespace vorn::web {

class WebFront {
public:
    explicit WebFront(GatewayServer& server) : server_(server) {}
    ~WebFront();

    // False, with the reason, when HttpListen is set but the front cannot serve; true when it
    // serves or is off.
    bool start(std::string& error);
    // "http://127.0.0.1:8080" once serving; empty when off.
    std::string url() const;
    void stop();

private:
    GatewayServer& server_;
    std::unique_ptr<WebRoutes> routes_;
    std::unique_ptr<HttpServer> http_;
    std::string scheme_;
    std::string address_;
};

} // namespace vorn::web
