#include "server/GatewayServer.h"

#include "ScratchDir.h"
#include "engine/EngineObserver.h"
#include "toolkit/DaClient.h"

#include <gtest/gtest.h>

using namespace vorn;

namespace {

const std::string kTarnvaleKey = "SOFTWARE\\VornAutomation\\Tarnvale";

std::unique_ptr<modbus::ModbusTransport> noTransport(const ServerConfig&) {
    return nullptr;
}

} // namespace

TEST(GatewayServer, RegistrationRecordsAndTheOpcUaPortLiveInTheRegistry) {
    vorn::test::ScratchDir dir;
    Registry registry(dir.file("registry.ini"));
    GatewayServer core(ServerKind::tarnvale, noTransport, registry);
    EXPECT_EQ(core.opcUaPort(), 4840);
    ASSERT_TRUE(core.registerServer());
    const std::string classKey = std::string("SOFTWARE\\Classes\\CLSID\\") + core.identity().clsid;
    EXPECT_EQ(registry.readString(classKey, "ProgID").value_or(""),
              "Vorn.ModBusTcpIpOPCServerDA.1.1");
    EXPECT_EQ(registry.readString(classKey, "Description").value_or(""),
              "Vorn ModBus Tcp/Ip OPC DA Server v1.1");
    EXPECT_EQ(registry.readString(classKey, "Endpoint").value_or(""), "opc.tcp://localhost:4840");
    ASSERT_TRUE(core.unregisterServer());
    EXPECT_FALSE(registry.keyExists(classKey));

    registry.writeString(kTarnvaleKey, "OpcUaPort", "4901");
    EXPECT_EQ(GatewayServer(ServerKind::tarnvale, noTransport, registry).opcUaPort(), 4901);
    registry.writeString(kTarnvaleKey, "OpcUaPort", "70000");
    EXPECT_EQ(GatewayServer(ServerKind::tarnvale, noTransport, registry).opcUaPort(), 4840);
    EXPECT_EQ(GatewayServer(ServerKind::rennick, noTransport, registry).opcUaPort(), 4841);
}

TEST(ServerEventHandler, TheLastClientLeavingEndsOnlyAServerStartedOnDemand) {
    for (bool embedded : {false, true}) {
        vorn::test::ScratchDir dir;
        GatewayServer core(ServerKind::tarnvale, noTransport, Registry(dir.file("registry.ini")));
        int closes = 0;
        core.installEventHandler(embedded, [&] { ++closes; });
        core.entry().start();
        { DaClient client(core.entry()); }
        EXPECT_EQ(closes, embedded ? 1 : 0);
    }
}
