// The web front's one table of routes (path, method, who may ask, handler) and the dispatch:
// the page and its files, the login form, the JSON API and /metrics. Who may ask:
// - anyone: the login form and the page's style sheet and script, which carry no data;
// - a viewer: a logged-in browser (role read or readwrite), or anyone while the server allows
//   anonymous users (registry value AllowAnonymous, as for OPC UA);
// - a metrics scraper: any client on loopback, else one with "Authorization: Bearer
//   <MetricsToken>".
// Nothing here writes to a device or changes the configuration.
#pragma once

#include "toolkit/ua/security/UserAccounts.h"
#include "web/HttpMessages.h"
#include "web/LoginSessions.h"
#include "web/StatusReader.h"

#include <atomic>
#include <memory>
#include <string>

namespace vorn::web {

class WebRoutes {
public:
    WebRoutes(StatusReader reader, std::shared_ptr<const ua::security::UserDirectory> users,
              std::string metricsToken);

    HttpResponse handle(const HttpRequest& request);

    LoginSessions& logins() { return logins_; }

private:
    enum class Access { anyone, viewer, metrics };
    struct Route {
        const char* method;
        const char* path;
        Access access;
        HttpResponse (WebRoutes::*handler)(const HttpRequest&, const Login* login);
    };
    static const Route kRoutes[];

    // The login of the request's cookie, if any.
    std::optional<Login> loginOf(const HttpRequest& request);
    bool maySeeMetrics(const HttpRequest& request) const;

    HttpResponse asset(const HttpRequest& request, const Login* login);
    HttpResponse loginForm(const HttpRequest& request, const Login* login);
    HttpResponse logIn(const HttpRequest& request, const Login* login);
    HttpResponse logOut(const HttpRequest& request, const Login* login);
    HttpResponse server(const HttpRequest& request, const Login* login);
    HttpResponse devices(const HttpRequest& request, const Login* login);
    HttpResponse tags(const HttpRequest& request, const Login* login);
    HttpResponse metrics(const HttpRequest& request, const Login* login);

    StatusReader reader_;
    std::shared_ptr<const ua::security::UserDirectory> users_;
    const std::string metricsToken_;
    LoginSessions logins_;
    // Password hashes are slow by design: one is checked at a time, so that a flood of logins
    // takes one thread, not every core.
    std::atomic<bool> checkingPassword_{false};
};

} // namespace vorn::web
