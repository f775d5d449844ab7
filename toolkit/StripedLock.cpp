#include "StripedLock.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorn {
namespace {

// Enough that the engine's writes and the clients' reads rarely meet on one lock.
constexpr size_t kStripes = 256;

} // namespace

std::mutex& stripedLock(const void* object) {
    static std::array<std::mutex, kStripes> locks;
    // Heap objects are at least 16-byte aligned: the low bits say nothing.
    const auto address = reinterpret_cast<uintptr_t>(object) >> 4;
    return locks[(address ^ (address >> 8)) % kStripes];
}

} // namespace vorn
