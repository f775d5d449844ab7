#include "RequestLogRecords.h"

#include <charconv>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace vorn::test {
namespace {

bool parseInt(std::string_view text, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// "YYYY-MM-DDTHH:MM:SS.mmm", UTC
std::optional<std::chrono::system_clock::time_point> parseTime(std::string_view text) {
    if (text.size() != 23 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.')
        return std::nullopt;
    int year, month, day, hour, minute, second, millisecond;
    if (!parseInt(text.substr(0, 4), year) || !parseInt(text.substr(5, 2), month) ||
        !parseInt(text.substr(8, 2), day) || !parseInt(text.substr(11, 2), hour) ||
        !parseInt(text.substr(14, 2), minute) || !parseInt(text.substr(17, 2), second) ||
        !parseInt(text.substr(20, 3), millisecond))
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    std::time_t seconds = timegm(&utc);
    return std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(millisecond);
}

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// Splits off the next space-separated field.
std::string_view nextField(std::string_view& rest) {
    auto space = rest.find(' ');
    std::string_view field = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
    return field;
}

bool parseNamedInt(std::string_view field, std::string_view name, int& value) {
    return field.size() > name.size() + 1 && field.substr(0, name.size()) == name &&
           field[name.size()] == '=' && parseInt(field.substr(name.size() + 1), value);
}

} // namespace

std::optional<LoggedRequest> parseLogLine(std::string_view line) {
    LoggedRequest record;
    std::string_view rest = line;
    auto time = parseTime(nextField(rest));
    if (!time)
        return std::nullopt;
    record.time = *time;
    if (!parseNamedInt(nextField(rest), "unit", record.unit) ||
        !parseNamedInt(nextField(rest), "fc", record.function) ||
        !parseNamedInt(nextField(rest), "start", record.start) ||
        !parseNamedInt(nextField(rest), "count", record.count))
        return std::nullopt;
    if (!rest.empty()) {
        std::string_view field = nextField(rest);
        if (!field.starts_with("data=") || !rest.empty())
            return std::nullopt;
        record.data = parseHex(field.substr(5));
        if (!record.data)
            return std::nullopt;
    }
    return record;
}

std::vector<LoggedRequest> readRequestLog(const std::string& path) {
    std::vector<LoggedRequest> records;
    std::ifstream file(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        // A line still being written has no newline yet; it is read next time.
        if (file.eof())
            break;
        auto record = parseLogLine(line);
        if (!record)
            throw std::runtime_error(path + ":" + std::to_string(number) +
                                     ": not a request log line: " + line);
        records.push_back(*record);
    }
    return records;
}

std::vector<LoggedRequest> waitForRequests(const std::string& path, std::size_t count,
                                           std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<LoggedRequest> records = readRequestLog(path);
        if (records.size() >= count || std::chrono::steady_clock::now() >= deadline)
            return records;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace vorn::test
