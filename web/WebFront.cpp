#include "WebFront.h"

#include "server/RegistryUserDirectory.h"
#include "server/UaSecuritySettings.h"
#include "toolkit/ua/security/PkiStore.h"
#include "web/WebSettings.h"

#include <unistd.h>

namespace vorn::web {

WebFront::~WebFront() {
    stop();
}

bool WebFront::start(std::string& error) {
    const std::string key = profileOf(server_.identity().kind).registryKey;
    auto settings = readWebSettings(server_.registry(), key, error);
    if (!settings)
        return error.empty();
    routes_ = std::make_unique<WebRoutes>(
        StatusReader(server_), std::make_shared<RegistryUserDirectory>(server_.registry(), key),
        settings->metricsToken);
    http_ = std::make_unique<HttpServer>(
        [routes = routes_.get()](const HttpRequest& request) { return routes->handle(request); });

    std::optional<TlsIdentity> tls;
    std::unique_ptr<ua::security::PkiStore> pki;
    if (settings->tls) {
        // The certificate the OPC UA endpoints use, made at the first start if there is none.
        const std::string name = server_.identity().programName;
        char host[256] = "localhost";
        gethostname(host, sizeof host - 1);
        auto folder = server_.registry().readString(key, "PkiFolder");
        pki = std::make_unique<ua::security::PkiStore>(
            folder && !folder->empty() ? std::filesystem::path(*folder)
                                       : ua::security::PkiStore::defaultRoot(name));
        std::string pkiError;
        if (!pki->loadOrCreateOwn(name, uaApplicationUri(host, name), host, &pkiError)) {
            error = "HTTPS: PKI folder: " + pkiError;
            return false;
        }
        tls = TlsIdentity{pki->certificate().der(), pki->privateKey().native()};
    }
    if (!http_->start(settings->listen.address, settings->listen.port, tls ? &*tls : nullptr,
                      error)) {
        error = "HttpListen: " + error;
        http_.reset();
        return false;
    }
    scheme_ = settings->tls ? "https" : "http";
    address_ = settings->listen.address;
    return true;
}

std::string WebFront::url() const {
    if (!http_)
        return {};
    return scheme_ + "://" + address_ + ":" + std::to_string(http_->port());
}

void WebFront::stop() {
    if (http_)
        http_->stop();
    http_.reset();
}

} // namespace vorn::web
