// The web front's registry values under the server's key: HttpListen (where it listens; the
// front is off without it), HttpTls (1: HTTPS with the server's own certificate from its PKI
// folder), HttpAllowPlain (1: plain HTTP on an address other than loopback) and MetricsToken
// (the bearer token /metrics wants from other addresses than loopback).
#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::web {

struct ListenAddress {
    std::string address; // dotted IPv4
    uint16_t port = 0;   // 0: any free port (tests)
};

// "127.0.0.1:8080", "0.0.0.0:8443", or a port alone ("8080": 127.0.0.1); nothing for other text.
std::optional<ListenAddress> parseHttpListen(std::string_view text);

struct WebSettings {
    ListenAddress listen;
    bool tls = false;
    std::string metricsToken; // empty: /metrics only from loopback
};

// Nothing, with `error` empty, when HttpListen is not set; nothing with the reason in `error`
// when the values do not make a front that may start (plain HTTP beyond loopback included).
std::optional<WebSettings> readWebSettings(const Registry& registry, const std::string& key,
                                           std::string& error);

bool isLoopbackAddress(std::string_view address);

} // namespace vorn::web
