// modbus-sim over Modbus TCP on loopback, driven by libmodbus as an independent client.
#include "ModbusClient.h"
#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;

class SimulatorTcp : public ::testing::Test {
protected:
    // Starts the simulator on a free loopback port with its log in the scratch folder.
    void start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--tcp", "127.0.0.1:0", "--log", logPath()});
        sim_ = std::make_unique<SimProcess>(MODBUS_SIM_PATH, arguments);
    }
    // Every test also checks that the simulator ends cleanly, which catches crashes and, in the
    // sanitizer build, memory errors and leaks in it.
    void TearDown() override {
        if (sim_ && !sim_->process().waitForExit(std::chrono::milliseconds(0))) {
            EXPECT_EQ(sim_->stop(), 0) << sim_->process().errorOutput();
        }
    }
    ModbusClient connect(int unit) { return ModbusClient::tcp(sim_->host(), sim_->port(), unit); }
    std::string logPath() const { return scratch_.file("requests.log"); }

    ScratchDir scratch_;
    std::unique_ptr<SimProcess> sim_;
};

TEST_F(SimulatorTcp, ServesValuesFromTheCommandLineAndTheValuesFile) {
    std::string values = scratch_.write("values.txt", R"(# shared by every unit
hr 0..3 7
ir 5 -2        # int16
unit 17
hr 1 0x0102
coil 9 1
di 4 1
hr 100 "AB#C"  # '#' inside a string is no comment
)");
    start({"--unit", "1", "--unit", "17", "--values", values, "--set", "hr:10=0x4148", "--set",
           "coil:3=1", "--set", "17:hr:20=\"ABCDE\"", "--set", "hr:0=65535"});

    auto unit1 = connect(1);
    EXPECT_EQ(unit1.readHolding(0, 4), (std::vector<uint16_t>{65535, 7, 7, 7}));
    EXPECT_EQ(unit1.readHolding(10, 1), (std::vector<uint16_t>{0x4148}));
    EXPECT_EQ(unit1.readHolding(20, 3), (std::vector<uint16_t>{0, 0, 0}));
    uint16_t input = 0;
    ASSERT_EQ(modbus_read_input_registers(unit1.get(), 5, 1, &input), 1);
    EXPECT_EQ(input, 0xFFFE);

    auto unit17 = connect(17);
    EXPECT_EQ(unit17.readHolding(0, 2), (std::vector<uint16_t>{65535, 0x0102}));
    EXPECT_EQ(unit17.readHolding(20, 3), (std::vector<uint16_t>{0x4142, 0x4344, 0x4500}));
    EXPECT_EQ(unit17.readHolding(100, 2), (std::vector<uint16_t>{0x4142, 0x2343}));
    uint8_t bits[10] = {};
    ASSERT_EQ(modbus_read_bits(unit17.get(), 0, 10, bits), 10);
    EXPECT_EQ(bits[3], 1);
    EXPECT_EQ(bits[9], 1);
    EXPECT_EQ(bits[8], 0);
    ASSERT_EQ(modbus_read_input_bits(unit17.get(), 4, 1, bits), 1);
    EXPECT_EQ(bits[0], 1);
}

TEST_F(SimulatorTcp, WritesChangeOnlyTheAddressedUnitAndAreLoggedWithTheirBytes) {
    start({"--unit", "1", "--unit", "17"});
    auto unit17 = connect(17);
    const uint16_t written[] = {0x4148, 0x0000};
    ASSERT_EQ(modbus_write_registers(unit17.get(), 10, 2, written), 2);
    ASSERT_EQ(modbus_write_bit(unit17.get(), 3, 1), 1);
    ASSERT_EQ(modbus_write_register(unit17.get(), 7, 0xBEEF), 1);
    const uint8_t coils[10] = {1, 0, 1, 1, 0, 0, 0, 0, 1, 1};
    ASSERT_EQ(modbus_write_bits(unit17.get(), 100, 10, coils), 10);

    EXPECT_EQ(unit17.readHolding(10, 2), (std::vector<uint16_t>{0x4148, 0}));
    EXPECT_EQ(unit17.readHolding(7, 1), (std::vector<uint16_t>{0xBEEF}));
    auto unit1 = connect(1);
    EXPECT_EQ(unit1.readHolding(10, 1), (std::vector<uint16_t>{0}));

    uint8_t coilsRead[10] = {};
    ASSERT_EQ(modbus_read_bits(unit17.get(), 100, 10, coilsRead), 10);
    EXPECT_TRUE(std::equal(std::begin(coils), std::end(coils), std::begin(coilsRead)));

    auto log = readRequestLog(logPath());
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[0].unit, 17);
    EXPECT_EQ(log[0].function, 16);
    EXPECT_EQ(log[0].start, 10);
    EXPECT_EQ(log[0].count, 2);
    EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0x41, 0x48, 0x00, 0x00}));
    EXPECT_EQ(log[1].function, 5);
    EXPECT_EQ(log[1].start, 3);
    EXPECT_EQ(log[1].data, (std::vector<uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(log[2].function, 6);
    EXPECT_EQ(log[2].data, (std::vector<uint8_t>{0xBE, 0xEF}));
    EXPECT_EQ(log[3].function, 15);
    EXPECT_EQ(log[3].start, 100);
    EXPECT_EQ(log[3].count, 10);
    EXPECT_EQ(log[3].data, (std::vector<uint8_t>{0x0D, 0x03}));
    EXPECT_EQ(log[4].function, 3);
    EXPECT_FALSE(log[4].data.has_value());
    EXPECT_EQ(log[6].unit, 1);
}

TEST_F(SimulatorTcp, MaskWriteAndReadWriteRequestsAreCarriedOutAndLogged) {
    start({"--unit", "1", "--set", "hr:5=0x1234"});
    auto client = connect(1);
    ASSERT_EQ(modbus_mask_write_register(client.get(), 5, 0xFF00, 0x0056), 1);
    EXPECT_EQ(client.readHolding(5, 1), (std::vector<uint16_t>{0x1256}));

    const uint16_t written[] = {0xAAAA, 0xBBBB};
    uint16_t read[3] = {};
    ASSERT_EQ(modbus_write_and_read_registers(client.get(), 6, 2, written, 5, 3, read), 3);
    EXPECT_EQ(std::vector<uint16_t>(read, read + 3),
              (std::vector<uint16_t>{0x1256, 0xAAAA, 0xBBBB}));

    auto log = readRequestLog(logPath());
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].function, 22);
    EXPECT_EQ(log[0].start, 5);
    EXPECT_EQ(log[0].count, 1);
    EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0x56}));
    EXPECT_EQ(log[2].function, 23);
    EXPECT_EQ(log[2].start, 5); // the read part
    EXPECT_EQ(log[2].count, 3);
    EXPECT_EQ(log[2].data, (std::vector<uint8_t>{0xAA, 0xAA, 0xBB, 0xBB}));
}

TEST_F(SimulatorTcp, TablesEndAtAddress65535) {
    start({"--unit", "1", "--set", "hr:65535=0x7777"});
    auto client = connect(1);
    EXPECT_EQ(client.readHolding(65535, 1), (std::vector<uint16_t>{0x7777}));
    uint16_t values[2] = {};
    EXPECT_EQ(modbus_read_registers(client.get(), 65535, 2, values), -1);
    EXPECT_EQ(errno, EMBXILADD);
    const uint16_t written[2] = {1, 2};
    EXPECT_EQ(modbus_write_registers(client.get(), 65535, 2, written), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(client.readHolding(65534, 2), (std::vector<uint16_t>{0, 0x7777}));
}

TEST_F(SimulatorTcp, LogLinesHaveTheDocumentedFormatAndTheTimeOfArrival) {
    start({"--unit", "17"});
    auto client = connect(17);
    auto before = std::chrono::system_clock::now();
    client.readHolding(0, 2);
    const uint16_t written[] = {0x4148, 0x0000};
    ASSERT_EQ(modbus_write_registers(client.get(), 10, 2, written), 2);
    auto after = std::chrono::system_clock::now();

    std::ifstream file(logPath());
    std::string read, write, extra;
    ASSERT_TRUE(std::getline(file, read));
    ASSERT_TRUE(std::getline(file, write));
    EXPECT_FALSE(std::getline(file, extra));
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})";
    EXPECT_TRUE(std::regex_match(read, std::regex(stamp + " unit=17 fc=3 start=0 count=2")))
        << read;
    EXPECT_TRUE(std::regex_match(
        write, std::regex(stamp + " unit=17 fc=16 start=10 count=2 data=41480000")))
        << write;

    auto record = parseLogLine(read);
    ASSERT_TRUE(record);
    EXPECT_GE(record->time, std::chrono::floor<std::chrono::milliseconds>(before));
    EXPECT_LE(record->time, after);
}

TEST_F(SimulatorTcp, AnswersTheConfiguredFaults) {
    start({"--unit", "1", "--unit", "17", "--unit", "5", "--exception", "17:3:2", "--silent", "5",
           "--delay-ms", "1:400"});

    // An exception for one function of one unit only.
    auto unit17 = connect(17);
    uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(unit17.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(modbus_read_input_registers(unit17.get(), 0, 1, &value), 1);

    // A unit not served: gateway target failed to respond.
    auto absent = connect(9);
    EXPECT_EQ(modbus_read_registers(absent.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, EMBXGTAR);

    // A silent unit lets the client time out, but still hears the request.
    auto silent = connect(5);
    silent.setResponseTimeout(300ms);
    EXPECT_EQ(modbus_read_registers(silent.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, ETIMEDOUT);

    // A late unit answers late without holding up another connection meanwhile.
    auto late = connect(1);
    auto prompt = connect(17);
    std::chrono::steady_clock::duration lateTook{}, promptTook{};
    std::thread lateReader([&] {
        auto begin = std::chrono::steady_clock::now();
        uint16_t lateValue = 0;
        if (modbus_read_registers(late.get(), 0, 1, &lateValue) == 1)
            lateTook = std::chrono::steady_clock::now() - begin;
    });
    std::this_thread::sleep_for(50ms);
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(modbus_read_input_registers(prompt.get(), 0, 1, &value), 1);
    promptTook = std::chrono::steady_clock::now() - begin;
    lateReader.join();
    EXPECT_GE(lateTook, 400ms);
    EXPECT_LT(lateTook, 2s);
    // Had the late answer held up the loop, this one would take 350 ms or more.
    EXPECT_LT(promptTook, 300ms);

    auto log = readRequestLog(logPath());
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[2].unit, 9);
    EXPECT_EQ(log[3].unit, 5);
}

TEST_F(SimulatorTcp, ServesSeveralClientsAndSurvivesClosedAndGarbledConnections) {
    start({"--unit", "1", "--set", "hr:0=42"});
    auto first = connect(1);
    auto second = connect(1);
    {
        auto dropped = connect(1);
        dropped.readHolding(0, 1);
    } // closed by the peer
    EXPECT_EQ(first.readHolding(0, 1), (std::vector<uint16_t>{42}));

    // Garbage, and a frame cut short, on raw sockets.
    // A write of 125 registers that announces 250 data bytes but brings a few, then garbage.
    const char cutShort[] = "\x00\x01\x00\x00\x00\xFF\x01\x10\x00\x00\x00\x7D\xFA"
                            "garbage garbage garbage";
    const char headerOnly[] = "\x00\x01\x00";
    for (std::string bytes : {std::string(cutShort, sizeof cutShort - 1),
                              std::string(headerOnly, sizeof headerOnly - 1)}) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(sim_->port()));
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        std::this_thread::sleep_for(100ms);
        ::close(fd);
    }

    EXPECT_EQ(second.readHolding(0, 1), (std::vector<uint16_t>{42}));
    auto third = connect(1);
    EXPECT_EQ(third.readHolding(0, 1), (std::vector<uint16_t>{42}));
    EXPECT_FALSE(sim_->process().waitForExit(0ms).has_value());
}

TEST_F(SimulatorTcp, AClientThatStopsReadingIsDisconnectedAndOthersAreStillServed) {
    start({"--unit", "1"});
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(sim_->port()));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    std::this_thread::sleep_for(50ms);

    // Read 125 registers, over and over, never reading an answer.
    const uint8_t request[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06,
                               0x01, 0x03, 0x00, 0x00, 0x00, 0x7D};
    bool disconnected = false;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!disconnected && std::chrono::steady_clock::now() < deadline) {
        ssize_t sent = ::send(fd, request, sizeof request, MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN)
            disconnected = true;
        else if (sent < 0)
            std::this_thread::sleep_for(1ms);
    }
    ::close(fd);
    EXPECT_TRUE(disconnected);

    auto other = connect(1);
    EXPECT_EQ(other.readHolding(0, 1), (std::vector<uint16_t>{0}));
}

TEST_F(SimulatorTcp, EndsWithExitCodeZeroOnSigtermAndSigint) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
        start({"--unit", "1"});
        auto client = connect(1); // an open connection must not delay the end
        sim_->process().signal(signalNumber);
        EXPECT_EQ(sim_->process().waitForExit(3s), 0) << "signal " << signalNumber;
    }
}

TEST_F(SimulatorTcp, WritesTheReadyFileWithTheActualPort) {
    std::string readyFile = scratch_.file("ready");
    start({"--unit", "1", "--ready-file", readyFile});
    std::ifstream file(readyFile);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "listening " + sim_->where());
    EXPECT_GT(sim_->port(), 0);
}

TEST_F(SimulatorTcp, ServesOneDevicePerPortFromOneProcess) {
    sim_ = std::make_unique<SimProcess>(
        MODBUS_SIM_PATH,
        std::vector<std::string>{"--tcp", "127.0.0.1:0,0,0", "--unit", "1", "--unit", "2", "--unit",
                                 "3", "--set", "hr:5=42", "--silent", "2", "--log", logPath()});
    const std::vector<int> ports = sim_->ports();
    ASSERT_EQ(ports.size(), 3u) << sim_->where();
    EXPECT_EQ(std::set<int>(ports.begin(), ports.end()).size(), 3u) << sim_->where();

    // Unit 2 on the second port stays silent; the devices on the other ports answer meanwhile.
    auto silent = ModbusClient::tcp(sim_->host(), ports[1], 2);
    silent.setResponseTimeout(1500ms);
    std::thread waiting([&] { EXPECT_THROW(silent.readHolding(5, 1), std::runtime_error); });
    std::this_thread::sleep_for(100ms);
    for (int device : {0, 2}) {
        auto client = ModbusClient::tcp(sim_->host(), ports[device], device + 1);
        EXPECT_EQ(client.readHolding(5, 1), std::vector<uint16_t>{42}) << "port " << ports[device];
    }
    waiting.join();
    auto requests = readRequestLog(logPath());
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].unit, 2);
    EXPECT_LT(gapBetween(requests[0], requests[2]), 1000ms) << "answers waited for the silent one";
}

TEST_F(SimulatorTcp, ServesAPortRange) {
    // A range of free ports cannot be known in advance: take one the system just gave out and
    // retry with another when the port after it is taken meanwhile.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int first = 0;
        {
            SimProcess probe(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0"});
            first = probe.port();
            probe.stop();
        }
        if (first >= 65535)
            continue;
        try {
            SimProcess range(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:" + std::to_string(first) + "-" +
                                                            std::to_string(first + 1)});
            EXPECT_EQ(range.ports(), (std::vector<int>{first, first + 1}));
            auto client = ModbusClient::tcp(range.host(), first + 1, 1);
            EXPECT_EQ(client.readHolding(0, 1), std::vector<uint16_t>{0});
            EXPECT_EQ(range.stop(), 0);
            return;
        } catch (const std::runtime_error&) {
            // a port of the range was in use: try another
        }
    }
    FAIL() << "no free pair of ports found";
}

TEST_F(SimulatorTcp, ChangingValuesMoveWithTime) {
    start({"--unit", "1", "--set", "hr:0=10", "--counter", "hr:0", "--ramp", "ir:5", "--sine",
           "hr:30", "--toggle", "coil:0"});
    auto client = connect(1);
    std::set<uint16_t> counters, ramps, sines;
    std::set<uint8_t> toggles;
    uint16_t lastCounter = 10;
    const auto begin = std::chrono::steady_clock::now();
    for (int sample = 0; sample < 15; ++sample) {
        uint16_t counter = client.readHolding(0, 1)[0];
        uint16_t sine = client.readHolding(30, 1)[0];
        uint16_t ramp = 0;
        uint8_t toggle = 0;
        ASSERT_EQ(modbus_read_input_registers(client.get(), 5, 1, &ramp), 1);
        ASSERT_EQ(modbus_read_bits(client.get(), 0, 1, &toggle), 1);
        EXPECT_TRUE(counter == lastCounter || counter == lastCounter + 1) << counter;
        EXPECT_LE(ramp, 100);
        EXPECT_LE(std::abs(static_cast<int16_t>(sine)), 1000);
        lastCounter = counter;
        counters.insert(counter);
        ramps.insert(ramp);
        sines.insert(sine);
        toggles.insert(toggle);
        std::this_thread::sleep_for(100ms);
    }
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begin)
            .count();
    EXPECT_GE(counters.size(), 2u); // 1.5 s or more: at least one step of one
    EXPECT_LE(counters.size(), static_cast<std::size_t>(seconds) + 2);
    EXPECT_GE(ramps.size(), 5u);
    EXPECT_GE(sines.size(), 5u);
    EXPECT_EQ(toggles.size(), 2u);
}

} // namespace
} // namespace vorn::test
