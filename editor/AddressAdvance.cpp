#include "AddressAdvance.h"

#include <cmath>

namespace vorn::editor {
namespace {

constexpr int kBitsPerRegister = 16;

// Whole numbers as the editor's runtime converts them: to the nearest, halves to even.
long long rounded(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

bool isOneOf(const std::string& value, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (value == name)
            return true;
    }
    return false;
}

} // namespace

ItemPosition nextItemPosition(const std::string& modbusType, const std::string& dataType,
                              double address, double bit, double elements) {
    const long long a = rounded(address);
    const long long b = rounded(bit);
    const bool insideRegisters = modbusType.find("register") != std::string::npos;
    ItemPosition next{a, static_cast<int>(b)};

    if (dataType == "boolean") {
        if (!insideRegisters) {
            next.address = a + 1;
        } else if (b >= kBitsPerRegister - 1) {
            next = {a + 1, 0};
        } else {
            next.bit = static_cast<int>(b + 1);
        }
    } else if (isOneOf(dataType, {"unsigned 16 bit", "signed 16 bit"})) {
        next.address = a + 1;
    } else if (isOneOf(dataType, {"unsigned 32 bit", "signed 32 bit", "32 bit float"})) {
        next.address = a + 2;
    } else if (isOneOf(dataType, {"unsigned 64 bit", "signed 64 bit", "64 bit float"})) {
        next.address = a + 4;
    } else if (dataType == "boolean array") {
        if (insideRegisters) {
            // Bits run on from the item's first bit; floor division keeps a negative count
            // (refused by the checks anyway) from landing inside the item.
            const long long p = rounded(bit + elements);
            const long long registers =
                p >= 0 ? p / kBitsPerRegister : -((-p + kBitsPerRegister - 1) / kBitsPerRegister);
            next = {a + registers, static_cast<int>(p - registers * kBitsPerRegister)};
        } else {
            next.address = a + rounded(elements);
        }
    } else if (isOneOf(dataType, {"unsigned 8 bit array", "signed 8 bit array", "string"})) {
        // Two characters per register and one register more: 4 elements advance by 3.
        next.address = a + rounded(elements / 2) + 1;
    } else if (isOneOf(dataType, {"unsigned 16 bit array", "signed 16 bit array"})) {
        next.address = a + rounded(elements);
    } else if (isOneOf(dataType,
                       {"unsigned 32 bit array", "signed 32 bit array", "32 bit float array"})) {
        next.address = a + 2 * rounded(elements);
    } else if (isOneOf(dataType,
                       {"unsigned 64 bit array", "signed 64 bit array", "64 bit float array"})) {
        next.address = a + 4 * rounded(elements);
    }
    return next;
}

} // namespace vorn::editor
