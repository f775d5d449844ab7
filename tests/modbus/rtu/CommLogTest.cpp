// The communication log: its lines for the transactions of the serial transport, the switch,
// and the move to the backup file once the log has grown past its limit.
#include "RtuLine.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
constexpr uint8_t holding = modbus::RegisterKind::kHoldingRegister;

std::string contentOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(CommLog, EveryTransactionGivesATxAndAnRxLineStampedWithTheLocalTime) {
    RtuLine line;
    std::tm now = localTime(2026, 12, 5, 9, 5, 3);
    modbus::CommLog log(line.scratch.path(), [&] { return now; });
    modbus::RtuTransport rtu(line.ports, line.registry, log);
    ASSERT_EQ(rtu.start({rtuDevice(17, 150)}), modbus::ErrorCode::kSuccess);
    Bytes destination(4);

    // Off at start: nothing is written.
    ASSERT_EQ(rtu.selectDevice(1), 0);
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), 4);
    EXPECT_EQ(line.device.receive(8, 1s).size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(log.currentPath()));

    // No answer: an RX line without bytes.
    log.setEnabled(true);
    ASSERT_EQ(rtu.selectDevice(1), 0);
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), 4);
    EXPECT_EQ(line.device.receive(8, 1s).size(), 8u);

    // An answer in January; of a long write only the first 8 bytes are logged.
    now = localTime(2027, 1, 14, 23, 59, 9);
    ASSERT_EQ(rtu.selectDevice(1), 0);
    auto result = std::async(std::launch::async, [&] {
        return rtu.writeMultiple(16, holding, 3, 0x10, Bytes{1, 2, 3, 4, 5, 6});
    });
    line.device.receive(8 + 7, 2s);
    line.device.send(withCrc({0x11, 0x10, 0x00, 0x10, 0x00, 0x03}));
    EXPECT_EQ(result.get(), 0);

    EXPECT_EQ(contentOf(log.currentPath()), "5 Dec 2026 09:05:03. TX: 11 3 0 0 0 2 c6 9b \r\n"
                                            "5 Dec 2026 09:05:03. RX: \r\n"
                                            "14 Gen 2027 23:59:09. TX: 11 10 0 10 0 3 6 1 \r\n"
                                            "14 Gen 2027 23:59:09. RX: 11 10 0 10 0 3 "
                                            "83 5d \r\n");

    // Switched off again, nothing is added.
    const std::string logged = contentOf(log.currentPath());
    log.setEnabled(false);
    ASSERT_EQ(rtu.selectDevice(1), 0);
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), 4);
    EXPECT_EQ(line.device.receive(8, 1s).size(), 8u);
    EXPECT_EQ(contentOf(log.currentPath()), logged);
}

TEST(CommLog, ALogGrownPastTheLimitMovesToTheBackup) {
    ScratchDir scratch;
    modbus::CommLog log(scratch.path(), [] { return localTime(2026, 3, 1, 0, 0, 0); });
    const std::string atLimit(modbus::CommLog::rotationBytes, 'a');
    const std::string line =
        modbus::CommLog::formatLine(localTime(2026, 3, 1, 0, 0, 0), "RX:", Bytes{0xFF, 0x00});
    EXPECT_EQ(line, "1 Mar 2026 00:00:00. RX: ff 0 \r\n");

    // At the limit the log still grows.
    scratch.write("Log.err", atLimit);
    log.appendLine(line);
    EXPECT_EQ(contentOf(log.currentPath()), atLimit + line);
    EXPECT_FALSE(std::filesystem::exists(log.backupPath()));

    // Past it, the next line starts a fresh log, with or without an old backup.
    for (bool backupBefore : {false, true}) {
        if (backupBefore)
            scratch.write("Log.bak", "older");
        scratch.write("Log.err", atLimit + "b");
        log.appendLine(line);
        EXPECT_EQ(contentOf(log.currentPath()), line) << backupBefore;
        EXPECT_EQ(contentOf(log.backupPath()), atLimit + "b") << backupBefore;
    }
}

// Each serial line's thread logs into the one log: lines must stay whole, a transaction's TX
// and RX lines together, while the log moves to the backup under them.
TEST(CommLog, LinesOfManyThreadsStayWholeAndPairedWhileTheLogRotates) {
    ScratchDir scratch;
    modbus::CommLog log(scratch.path(), [] { return localTime(2026, 3, 1, 0, 0, 0); });
    log.setEnabled(true);
    constexpr int kThreads = 8;
    constexpr int kTransactions = 400;
    constexpr size_t kReplyBytes = 200; // about 640 bytes a transaction: two moves at least
    std::vector<std::thread> lines;
    for (int t = 0; t < kThreads; ++t)
        lines.emplace_back([&log, t] {
            for (int n = 0; n < kTransactions; ++n) {
                const auto tag = static_cast<uint8_t>(t);
                const auto high = static_cast<uint8_t>(n >> 8);
                const auto low = static_cast<uint8_t>(n & 0xFF);
                Bytes reply(kReplyBytes, tag);
                reply[1] = high;
                reply[2] = low;
                log.logTransaction(Bytes{tag, high, low, 3, 0, 0, 0, 2, 0xAA}, reply);
            }
        });
    for (std::thread& thread : lines)
        thread.join();

    const std::string stamp = "1 Mar 2026 00:00:00. ";
    auto bytesAfter = [&](const std::string& line, const std::string& prefix) {
        Bytes bytes;
        if (line.rfind(stamp + prefix + " ", 0) != 0)
            return bytes;
        std::istringstream hex(line.substr(stamp.size() + prefix.size() + 1));
        for (unsigned value; hex >> std::hex >> value;)
            bytes.push_back(static_cast<uint8_t>(value));
        return bytes;
    };
    ASSERT_TRUE(std::filesystem::exists(log.backupPath()));
    size_t pairs = 0;
    for (const std::string& path : {log.backupPath(), log.currentPath()}) {
        const std::string content = contentOf(path);
        ASSERT_FALSE(content.empty()) << path;
        ASSERT_EQ(content.substr(content.size() - 2), "\r\n") << path;
        std::vector<std::string> text;
        for (size_t from = 0, end; from < content.size(); from = end + 2) {
            end = content.find("\r\n", from);
            text.push_back(content.substr(from, end - from));
        }
        ASSERT_EQ(text.size() % 2, 0u) << path;
        for (size_t i = 0; i < text.size(); i += 2) {
            const Bytes sent = bytesAfter(text[i], "TX:");
            const Bytes received = bytesAfter(text[i + 1], "RX:");
            ASSERT_EQ(sent.size(), modbus::CommLog::kLoggedRequestBytes) << path << ':' << i;
            ASSERT_EQ(received.size(), kReplyBytes) << path << ':' << i + 1;
            EXPECT_EQ(Bytes(received.begin(), received.begin() + 3),
                      Bytes(sent.begin(), sent.begin() + 3))
                << path << ':' << i;
            EXPECT_EQ(std::count(received.begin() + 3, received.end(), sent[0]),
                      static_cast<long>(kReplyBytes - 3))
                << path << ':' << i + 1;
            ++pairs;
        }
    }
    EXPECT_LE(std::filesystem::file_size(log.currentPath()),
              static_cast<uintmax_t>(modbus::CommLog::rotationBytes) + 2000);
    EXPECT_GT(pairs, 1000u);
}

TEST(CommLog, ALogThatCannotBeWrittenLosesTheLineQuietly) {
    ScratchDir scratch;
    modbus::CommLog log(scratch.file("missing-folder"));
    log.setEnabled(true);
    log.logTransaction(Bytes{1, 2, 3}, {});
    EXPECT_FALSE(std::filesystem::exists(scratch.file("missing-folder")));
}

TEST(CommLog, LivesBesideTheProgram) {
    const auto program = std::filesystem::read_symlink("/proc/self/exe");
    const auto log = modbus::CommLog::besideProgram();
    EXPECT_EQ(log.currentPath(), (program.parent_path() / "Log.err").string());
    EXPECT_EQ(log.backupPath(), (program.parent_path() / "Log.bak").string());
}

} // namespace
} // namespace vorn::test
