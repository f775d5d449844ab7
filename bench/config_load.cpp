// Loads a generated configuration of 100 devices with 1,000 tags each (in ten branches) the
// way a server does at start, and reports the load time and the process's peak memory.
//   config_load [devices] [tags-per-device]
#include "config/ConfigLoader.h"
#include "server/ModbusTag.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorn;

namespace {

const char* const kTypes[] = {
    "HREGISTER VT_I2", "HREGISTER VT_R4",       "IREGISTER VT_UI2",  "COIL",
    "INPUTSTATUS",     "HREGISTER VT_I4 ARRAY", "HREGISTER VT_BSTR", "HREGISTER VT_BOOL"};

std::string generate(int devices, int tagsPerDevice) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusTcpIpCfg>\r\n"
                      "\t<MODBUS>\r\n\t\t<DATATYPE name=\"HREGISTER\" readcode = \"3\" "
                      "writecode=\"16\" singlewrcode=\"6\"/>\r\n\t</MODBUS>\r\n\t<OPC_DA>\r\n";
    for (int d = 0; d < devices; ++d) {
        xml += "\t\t<PLC name=\"PLC" + std::to_string(d) + "\" address = \"127.0.0." +
               std::to_string(d % 250 + 1) + "\" id=\"1\" timeout=\"1000\">\r\n\t\t\t<tags>\r\n";
        for (int t = 0; t < tagsPerDevice; ++t) {
            if (t % 100 == 0)
                xml += "\t\t\t\t<Area" + std::to_string(t / 100) + ">\r\n";
            xml += "\t\t\t\t\t<tag>\r\n\t\t\t\t\t\t<name>Tag" + std::to_string(t) +
                   "</name>\r\n\t\t\t\t\t\t<comment>generated tag</comment>\r\n"
                   "\t\t\t\t\t\t<address>" +
                   std::to_string(t * 2) +
                   "</address>\r\n"
                   "\t\t\t\t\t\t<datatype>" +
                   kTypes[t % 8] +
                   "</datatype>\r\n"
                   "\t\t\t\t\t\t<accessrights>READWRITE</accessrights>\r\n"
                   "\t\t\t\t\t\t<databit>3</databit>\r\n\t\t\t\t\t\t<elements>4</elements>\r\n"
                   "\t\t\t\t\t</tag>\r\n";
            if (t % 100 == 99 || t + 1 == tagsPerDevice)
                xml += "\t\t\t\t</Area" + std::to_string(t / 100) + ">\r\n";
        }
        xml += "\t\t\t</tags>\r\n\t\t</PLC>\r\n";
    }
    return xml + "\t</OPC_DA>\r\n</VornModBusTcpIpCfg>\r\n";
}

size_t countTags(const SODaSNode& node) {
    size_t count = node.leafCount();
    for (const auto& branch : node.getBranches())
        count += countTags(*branch);
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 100;
    const int tagsPerDevice = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string path = "/tmp/vorn-config-load-" + std::to_string(getpid()) + ".xml";
    // The file is written by a child process, so that this process's peak is the loader's.
    pid_t writer = fork();
    if (writer == 0) {
        std::ofstream(path, std::ios::binary) << generate(devices, tagsPerDevice);
        _exit(0);
    }
    int status = 0;
    waitpid(writer, &status, 0);
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    const double fileBytes = static_cast<double>(written.tellg());

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ServerConfig config;
    auto root = makeObject<SODaSNameSpaceRoot>();
    modbus::EngineQueues queues;
    ConfigLoader loader(ServerKind::tarnvale, config, modbusTagFactory(queues));
    auto start = std::chrono::steady_clock::now();
    loader.loadConfiguration(path, *root);
    auto took = std::chrono::steady_clock::now() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::remove(path.c_str());

    const size_t tags = countTags(*root);
    std::printf("file: %.1f MB, %zu devices, %zu tags\n", fileBytes / 1e6,
                config.devices.getCount(), tags);
    std::printf("load time: %.3f s\n", std::chrono::duration<double>(took).count());
    std::printf("peak resident memory: %.1f MB (before loading: %.1f MB)\n",
                after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0);
    return tags == static_cast<size_t>(devices) * tagsPerDevice ? 0 : 1;
}
