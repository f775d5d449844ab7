#include "WebSettings.h"

#include <arpa/inet.h>
#include <charconv>

namespace vorn::web {
namespace {

std::optional<uint16_t> portOf(std::string_view text) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

bool isDottedIpv4(const std::string& text) {
    in_addr parsed{};
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

bool isOn(const Registry& registry, const std::string& key, const char* name) {
    auto text = registry.readString(key, name);
    return text && *text == "1";
}

} // namespace

std::optional<ListenAddress> parseHttpListen(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
        text.remove_suffix(1);
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        auto port = portOf(text);
        return port ? std::optional(ListenAddress{"127.0.0.1", *port}) : std::nullopt;
    }
    const std::string address(text.substr(0, colon));
    auto port = portOf(text.substr(colon + 1));
    if (!port || !isDottedIpv4(address))
        return std::nullopt;
    return ListenAddress{address, *port};
}

bool isLoopbackAddress(std::string_view address) {
    return address.starts_with("127.");
}

std::optional<WebSettings> readWebSettings(const Registry& registry, const std::string& key,
                                           std::string& error) {
    error.clear();
    auto listen = registry.readString(key, "HttpListen");
    if (!listen || listen->empty())
        return std::nullopt;
    auto address = parseHttpListen(*listen);
    if (!address) {
        error = "HttpListen \"" + *listen +
                "\" is not ADDRESS:PORT or a port (for example 127.0.0.1:8080 or 8080)";
        return std::nullopt;
    }
    WebSettings settings;
    settings.listen = *address;
    settings.tls = isOn(registry, key, "HttpTls");
    if (!settings.tls && !isLoopbackAddress(address->address) &&
        !isOn(registry, key, "HttpAllowPlain")) {
        error = "HttpListen " + *listen +
                " is reachable from the network: set HttpTls=1 for HTTPS (or HttpAllowPlain=1 "
                "for plain HTTP, which shows passwords to the network)";
        return std::nullopt;
    }
    if (auto token = registry.readString(key, "MetricsToken"))
        settings.metricsToken = *token;
    return settings;
}

} // namespace vorn::web
