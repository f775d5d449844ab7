// Who may ask for what, at the routes: the rules that a test over loopback cannot reach (a
// scraper from another address) and the refusals without a login.
#include "web/WebRoutes.h"

#include "ScratchDir.h"
#include "server/GatewayServer.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::web;

namespace {

class Accounts : public ua::security::UserDirectory {
public:
    explicit Accounts(bool anonymous) : anonymous_(anonymous) {}
    std::optional<ua::security::UserAccount> find(const std::string& name) const override {
        if (name != "operator")
            return std::nullopt;
        return ua::security::UserAccount{ua::security::UserRole::read, hash_};
    }
    bool allowAnonymous() const override { return anonymous_; }
    ua::security::UserRole anonymousRole() const override { return ua::security::UserRole::read; }

private:
    bool anonymous_;
    std::string hash_ = ua::security::hashPassword("right");
};

struct Rig {
    explicit Rig(bool anonymous)
        : server(ServerKind::tarnvale, nullptr, Registry(dir.file("registry.ini"))),
          routes(StatusReader(server), std::make_shared<Accounts>(anonymous), "s3cret") {}

    HttpResponse get(const std::string& path, bool loopback, const std::string& authorization = "",
                     const std::string& cookie = "") {
        HttpRequest request;
        request.method = "GET";
        request.path = path;
        request.fromLoopback = loopback;
        request.authorization = authorization;
        request.cookie = cookie;
        request.arrived = std::chrono::steady_clock::now();
        return routes.handle(request);
    }

    test::ScratchDir dir;
    GatewayServer server;
    WebRoutes routes;
};

std::string header(const HttpResponse& response, const std::string& name) {
    for (const auto& [key, value] : response.headers)
        if (key == name)
            return value;
    return {};
}

} // namespace

TEST(WebRoutes, MetricsFromAnotherAddressWantTheBearerToken) {
    Rig rig(true);
    EXPECT_EQ(rig.get("/metrics", true).status, 200) << "loopback needs no token";
    EXPECT_EQ(rig.get("/metrics", false).status, 401);
    EXPECT_EQ(header(rig.get("/metrics", false), "WWW-Authenticate"), "Bearer");
    EXPECT_EQ(rig.get("/metrics", false, "Bearer wrong").status, 401);
    EXPECT_EQ(rig.get("/metrics", false, "Bearer s3cret2").status, 401);
    EXPECT_EQ(rig.get("/metrics", false, "Basic s3cret").status, 401);
    const HttpResponse scraped = rig.get("/metrics", false, "Bearer s3cret");
    EXPECT_EQ(scraped.status, 200);
    EXPECT_NE(scraped.body.find("vorn_opcua_sessions 0"), std::string::npos) << scraped.body;
}

TEST(WebRoutes, WithoutAnonymousUsersThePageAndTheApiWantALogin) {
    Rig rig(false);
    const HttpResponse page = rig.get("/", true);
    EXPECT_EQ(page.status, 303);
    EXPECT_EQ(header(page, "Location"), "/login");
    EXPECT_EQ(rig.get("/api/devices", true).status, 401);
    EXPECT_EQ(rig.get("/api/devices", true, "", "vorn_session=" + std::string(64, 'a')).status, 401)
        << "a made-up cookie is no login";
    EXPECT_EQ(rig.get("/login", true).status, 200) << "the form itself is open";
    EXPECT_EQ(rig.get("/style.css", true).status, 200);

    Rig open(true);
    EXPECT_EQ(open.get("/", true).status, 200) << "AllowAnonymous opens the page";
    EXPECT_EQ(open.get("/api/devices", true).body, "[]");
    EXPECT_EQ(open.get("/api/tags", true).status, 200);
    EXPECT_EQ(open.get("/api/tags?branch=Nowhere", true).status, 404);
    EXPECT_EQ(open.get("/nothing", true).status, 404);
}
