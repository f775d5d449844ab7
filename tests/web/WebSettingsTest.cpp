#include "web/WebSettings.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::web;

namespace {
const std::string kKey = "SOFTWARE\\VornAutomation\\Tarnvale";
}

TEST(HttpListen, AnAddressWithAPortOrAPortAloneOnLoopback) {
    auto both = parseHttpListen("0.0.0.0:8443");
    ASSERT_TRUE(both);
    EXPECT_EQ(both->address, "0.0.0.0");
    EXPECT_EQ(both->port, 8443);
    auto portOnly = parseHttpListen("8080");
    ASSERT_TRUE(portOnly);
    EXPECT_EQ(portOnly->address, "127.0.0.1");
    EXPECT_EQ(portOnly->port, 8080);
    for (const char* bad : {"", "abc", "127.0.0.1", "127.0.0.1:", "127.0.0.1:70000", "host:80",
                            "1.2.3:80", "127.0.0.1:-1", ":80", "[::1]:80"})
        EXPECT_FALSE(parseHttpListen(bad)) << bad;
}

TEST(HttpListen, PlainHttpBeyondLoopbackNeedsTheUsersWord) {
    test::ScratchDir dir;
    Registry registry(dir.file("registry.ini"));
    std::string error;
    EXPECT_FALSE(readWebSettings(registry, kKey, error));
    EXPECT_EQ(error, "") << "no HttpListen: the front is off, which is no error";

    registry.writeString(kKey, "HttpListen", "8080x");
    EXPECT_FALSE(readWebSettings(registry, kKey, error));
    EXPECT_NE(error.find("is not ADDRESS:PORT"), std::string::npos) << error;

    registry.writeString(kKey, "HttpListen", "0.0.0.0:8080");
    EXPECT_FALSE(readWebSettings(registry, kKey, error));
    EXPECT_NE(error.find("HttpTls=1"), std::string::npos) << error;
    registry.writeString(kKey, "HttpAllowPlain", "1");
    EXPECT_TRUE(readWebSettings(registry, kKey, error)) << error;
    registry.writeString(kKey, "HttpAllowPlain", "0");
    registry.writeString(kKey, "HttpTls", "1");
    registry.writeString(kKey, "MetricsToken", "s3cret");
    auto settings = readWebSettings(registry, kKey, error);
    ASSERT_TRUE(settings) << error;
    EXPECT_TRUE(settings->tls);
    EXPECT_EQ(settings->metricsToken, "s3cret");
}
