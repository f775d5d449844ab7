// A request and its response as the routes see them, without the HTTP library's types: the
// library stays inside HttpServer.cpp.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace vorn::web {

struct HttpRequest {
    std::string method; // "GET", "POST", ...
    std::string path;   // up to "?", still percent-encoded
    std::string query;  // after "?", without it
    std::string cookie;
    std::string authorization;
    std::string contentType;
    std::string body;
    bool fromLoopback = false; // the browser's address is 127.0.0.0/8
    bool overTls = false;
    std::chrono::steady_clock::time_point arrived;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // Set-Cookie, Location, ...
    // Not sent before this time (a refused login); the connection waits on a timer, not on a
    // thread.
    std::chrono::steady_clock::time_point notBefore{};

    static HttpResponse text(int status, std::string body) {
        HttpResponse r;
        r.status = status;
        r.body = std::move(body);
        return r;
    }
};

} // namespace vorn::web
