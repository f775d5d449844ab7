// Millisecond tick counter that wraps at 2^32 like GetTickCount; differences taken in
// uint32_t arithmetic stay right across the wrap.
#pragma once

#include <chrono>
#include <cstdint>

namespace vorn {

inline uint32_t getTickCount() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

inline uint32_t ticksSince(uint32_t start) {
    return getTickCount() - start;
}

} // namespace vorn
