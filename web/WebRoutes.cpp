#include "WebRoutes.h"

#include "toolkit/ua/security/SecurityPolicy.h"
#include "web/FormText.h"
#include "web/Metrics.h"
#include "web/PageAssets.h"
#include "web/StatusJson.h"
#include "web/WebLimits.h"

#include <nlohmann/json.hpp>

namespace vorn::web {
namespace {

constexpr const char* kJson = "application/json";
constexpr std::string_view kMessageMark = "<!--message-->";

HttpResponse json(int status, std::string body) {
    HttpResponse response = HttpResponse::text(status, std::move(body));
    response.contentType = kJson;
    return response;
}

HttpResponse jsonError(int status, const std::string& text) {
    return json(status, nlohmann::json{{"error", text}}.dump());
}

HttpResponse redirect(const char* to) {
    HttpResponse response = HttpResponse::text(303, "");
    response.headers.emplace_back("Location", to);
    return response;
}

bool wantsJson(const HttpRequest& request) {
    return request.path.starts_with("/api/");
}

// The login form with `message` (plain text) where the page marks it.
HttpResponse loginPage(int status, const std::string& message) {
    const PageAsset* page = findPageAsset("/login");
    std::string body(page->body);
    if (const size_t at = body.find(kMessageMark); at != std::string::npos)
        body.replace(at, kMessageMark.size(), message); // our own texts: nothing to escape
    HttpResponse response = HttpResponse::text(status, std::move(body));
    response.contentType = std::string(page->contentType);
    return response;
}

std::string sessionCookie(const std::string& value, bool secure, long maxAgeSeconds) {
    return std::string(kSessionCookie) + "=" + value +
           "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" + std::to_string(maxAgeSeconds) +
           (secure ? "; Secure" : "");
}

} // namespace

// Each route once, with who may ask; a new route is one row.
const WebRoutes::Route WebRoutes::kRoutes[] = {
    {"GET", "/", Access::viewer, &WebRoutes::asset},
    {"GET", "/app.js", Access::anyone, &WebRoutes::asset},
    {"GET", "/style.css", Access::anyone, &WebRoutes::asset},
    {"GET", "/login", Access::anyone, &WebRoutes::loginForm},
    {"POST", "/login", Access::anyone, &WebRoutes::logIn},
    {"POST", "/logout", Access::anyone, &WebRoutes::logOut},
    {"GET", "/api/server", Access::viewer, &WebRoutes::server},
    {"GET", "/api/devices", Access::viewer, &WebRoutes::devices},
    {"GET", "/api/tags", Access::viewer, &WebRoutes::tags},
    {"GET", "/metrics", Access::metrics, &WebRoutes::metrics},
};

WebRoutes::WebRoutes(StatusReader reader, std::shared_ptr<const ua::security::UserDirectory> users,
                     std::string metricsToken)
    : reader_(reader), users_(std::move(users)), metricsToken_(std::move(metricsToken)) {}

std::optional<Login> WebRoutes::loginOf(const HttpRequest& request) {
    const std::string cookie = cookieValue(request.cookie, kSessionCookie);
    if (cookie.empty())
        return std::nullopt;
    return logins_.find(cookie, LoginSessions::Clock::now());
}

bool WebRoutes::maySeeMetrics(const HttpRequest& request) const {
    if (request.fromLoopback)
        return true;
    constexpr std::string_view kBearer = "Bearer ";
    if (metricsToken_.empty() || !request.authorization.starts_with(kBearer))
        return false;
    return ua::security::equalInConstantTime(
        std::string_view(request.authorization).substr(kBearer.size()), metricsToken_);
}

HttpResponse WebRoutes::handle(const HttpRequest& request) {
    bool pathKnown = false;
    for (const Route& route : kRoutes) {
        if (request.path != route.path)
            continue;
        pathKnown = true;
        if (request.method != route.method)
            continue;
        std::optional<Login> login = loginOf(request);
        switch (route.access) {
        case Access::anyone:
            break;
        case Access::viewer:
            if (!login && !(users_ && users_->allowAnonymous()))
                return wantsJson(request) ? jsonError(401, "log in first") : redirect("/login");
            break;
        case Access::metrics:
            if (!maySeeMetrics(request)) {
                HttpResponse refused = HttpResponse::text(
                    401, "metrics from this address need \"Authorization: Bearer <token>\"\n");
                refused.headers.emplace_back("WWW-Authenticate", "Bearer");
                return refused;
            }
            break;
        }
        return (this->*route.handler)(request, login ? &*login : nullptr);
    }
    if (pathKnown) {
        HttpResponse refused = HttpResponse::text(405, "method not allowed\n");
        return refused;
    }
    return wantsJson(request) ? jsonError(404, "no such resource")
                              : HttpResponse::text(404, "not found\n");
}

HttpResponse WebRoutes::asset(const HttpRequest& request, const Login*) {
    const PageAsset* asset = findPageAsset(request.path);
    HttpResponse response = HttpResponse::text(200, std::string(asset->body));
    response.contentType = std::string(asset->contentType);
    // The page runs its own script and style sheet only.
    response.headers.emplace_back("Content-Security-Policy",
                                  "default-src 'self'; frame-ancestors 'none'; form-action 'self'");
    return response;
}

HttpResponse WebRoutes::loginForm(const HttpRequest&, const Login*) {
    return loginPage(200, "");
}

HttpResponse WebRoutes::logIn(const HttpRequest& request, const Login*) {
    const auto user = formField(request.body, "user");
    const auto password = formField(request.body, "password");
    if (!user || !password || !users_)
        return loginPage(400, "Give a user name and a password.");
    if (checkingPassword_.exchange(true)) {
        HttpResponse busy = loginPage(503, "Another login is being checked; try again.");
        busy.headers.emplace_back("Retry-After", "1");
        return busy;
    }
    const auto role = ua::security::authenticate(*users_, *user, *password);
    checkingPassword_.store(false);
    if (!role) {
        // Known and unknown names cost the same hash; the answer then waits until the same
        // time after the request's arrival, on a timer, so neither speed tells them apart.
        HttpResponse refused = loginPage(401, "Wrong user name or password.");
        refused.notBefore = request.arrived + Limits::kRefusedLoginDelay;
        return refused;
    }
    const std::string cookie = logins_.open({*user, *role}, LoginSessions::Clock::now());
    if (cookie.empty())
        return loginPage(500, "The server could not make a session; try again.");
    HttpResponse response = redirect("/");
    response.headers.emplace_back(
        "Set-Cookie",
        sessionCookie(
            cookie, request.overTls,
            std::chrono::duration_cast<std::chrono::seconds>(Limits::kLoginLifetime).count()));
    return response;
}

HttpResponse WebRoutes::logOut(const HttpRequest& request, const Login*) {
    const std::string cookie = cookieValue(request.cookie, kSessionCookie);
    if (!cookie.empty())
        logins_.close(cookie);
    HttpResponse response = redirect("/login");
    response.headers.emplace_back("Set-Cookie", sessionCookie("", request.overTls, 0));
    return response;
}

HttpResponse WebRoutes::server(const HttpRequest&, const Login* login) {
    return json(200, serverJson(reader_.server(), login ? login->user : "",
                                login ? ua::security::roleName(login->role) : ""));
}

HttpResponse WebRoutes::devices(const HttpRequest&, const Login*) {
    return json(200, devicesJson(reader_.devices()));
}

HttpResponse WebRoutes::tags(const HttpRequest& request, const Login*) {
    const auto branch = formField(request.query, "branch");
    auto view = reader_.branch(branch.value_or(""));
    if (!view)
        return jsonError(404, "no such branch");
    return json(200, branchJson(*view));
}

HttpResponse WebRoutes::metrics(const HttpRequest&, const Login*) {
    const ServerFacts facts = reader_.server();
    HttpResponse response = HttpResponse::text(
        200, metricsText(reader_.devices(), facts.ua, processFacts(facts.startTime)));
    response.contentType = kMetricsContentType;
    return response;
}

} // namespace vorn::web
