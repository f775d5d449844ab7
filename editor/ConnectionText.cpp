#include "ConnectionText.h"

#include "fileformat/ConfigFormat.h"

#include <arpa/inet.h>

namespace vorn::editor {
namespace {

constexpr int kMaxComPort = 255;
constexpr size_t kMaxComDigits = 3;

} // namespace

bool isIpv4Address(const std::string& text) {
    // inet_pton takes only the full dotted quad, a form every server's reader accepts.
    in_addr parsed{};
    return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

std::optional<std::string> servedIpv4Address(const std::string& text) {
    in_addr parsed{};
    if (text.empty() || text.size() > format::kMaxAddressLength ||
        ::inet_aton(text.c_str(), &parsed) == 0)
        return std::nullopt;
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &parsed, dotted, sizeof dotted);
    return std::string(dotted);
}

bool isServedPortName(const std::string& com) {
    return !com.empty() && com.size() <= format::kMaxPortNameLength;
}

std::optional<int> comPortNumber(const std::string& com) {
    if (com.size() <= 3 || com.compare(0, 3, "COM") != 0)
        return std::nullopt;
    const std::string digits = com.substr(3);
    if (digits.size() > kMaxComDigits ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int number = std::stoi(digits);
    if (number < 1 || number > kMaxComPort)
        return std::nullopt;
    return number;
}

} // namespace vorn::editor
