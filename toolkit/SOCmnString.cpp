#include "SOCmnString.h"

#include <cstdarg>
#include <cstdio>

namespace vorn {

std::string SOCmnString::format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), pattern, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

size_t SOCmnString::replace(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return 0;
    size_t count = 0;
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
        ++count;
    }
    return count;
}

} // namespace vorn
