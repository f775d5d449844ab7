// One entry of the publisher's stream, in the order things happened: a tag's new value or
// quality (with the time it was polled), or a device that failed or came back. Its bytes
// (`encodeRecord`) are what the store-and-forward buffer counts and what its file holds.
#pragma once

#include "platform/Variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::north::mqtt {

struct ChangeRecord {
    enum class Kind : uint8_t { value = 0, deviceDown = 1, deviceUp = 2 };
    Kind kind = Kind::value;
    uint32_t index = 0; // the tag (value) or the device
    uint16_t quality = 0;
    int64_t timeMs = 0; // Unix time in milliseconds: the poll that gave the value
    Variant value;
};

// Appends the record's bytes to `out`.
void encodeRecord(const ChangeRecord& record, std::string& out);
// The record of `bytes` (exactly one); nullopt when they do not hold one.
std::optional<ChangeRecord> decodeRecord(std::string_view bytes);

} // namespace vorn::north::mqtt
