#include "ByteOrder.h"

#include <algorithm>

namespace vorn::modbus {

void reorderValues(ByteOrder order, std::span<uint8_t> bytes, size_t width) {
    if (order == ByteOrder::abcd || width < 2)
        return;
    const size_t whole = bytes.size() - bytes.size() % width;
    for (size_t value = 0; value < whole; value += width) {
        uint8_t* first = bytes.data() + value;
        if (swapsWords(order)) {
            // Registers in reverse order: the least significant register comes first.
            for (size_t low = 0, high = width - 2; low < high; low += 2, high -= 2) {
                std::swap(first[low], first[high]);
                std::swap(first[low + 1], first[high + 1]);
            }
        }
        if (swapsBytes(order))
            for (size_t at = 0; at < width; at += 2)
                std::swap(first[at], first[at + 1]);
    }
}

} // namespace vorn::modbus
