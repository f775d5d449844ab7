// Moving a run of units between a device and a block buffer, and handing the bytes of a read
// to the tags that live in it.
#pragma once

#include "engine/Blocks.h"
#include "engine/PolledTag.h"
#include "modbus/ModbusTransport.h"
#include "modbus/ReadLimits.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::modbus {

// Reads `length` units from `start` in consecutive requests of at most the device's units per
// read (123 registers or 1968 bits by default) into `buffer` (grown to fit). The first failing
// request ends the run with its code.
[[nodiscard]] int readRun(ModbusTransport& transport, uint8_t readCode, uint8_t kind,
                          uint16_t start, uint32_t length, std::vector<uint8_t>& buffer,
                          const ReadLimits& limits = {});

// A device refuses a block of several tags as a whole when a register in a hole between them is
// not mapped: exception 2 (illegal data address), or 3 (illegal data value) from devices that
// check a request's length against their map.
bool refusedForAHole(int code, size_t tagsInBlock);

// Reads each tag on its own: a tag that reads gets its value and Good, one that fails the
// quality of its failure. Success when at least one tag read, else the last failure's code.
// `tagCodes`, when given, gets each tag's own outcome in the order of `tags` (tags not tried
// after the device went away get that communication error).
[[nodiscard]] int readTagByTag(ModbusTransport& transport, uint8_t readCode,
                               const std::vector<PolledTag*>& tags, const ReadLimits& limits,
                               std::vector<int>* tagCodes = nullptr);

// How a poll block's read went.
struct PollRead {
    int code = 0; // the block's outcome; read tag by tag, success when one of its tags read
    // This read found the device refusing the block as a whole, with this code (0: it did not).
    int refusal = 0;
    // Read tag by tag: each member's own outcome, in the block's member order.
    std::vector<int> tagCodes;
};

// Reads a poll block as the engine polls it: in one run into its buffer, or its tags one by one
// when the device refused its layout before (in `splitLayouts`) or refuses it now (the layout
// is then added). Tags read one by one have their values or qualities already; after a run the
// caller hands the buffer to the tags.
[[nodiscard]] PollRead readPollBlock(ModbusTransport& transport, PollBlock& block,
                                     const ReadLimits& limits, SplitLayouts& splitLayouts);

// The units of a run in words: "registers 10 to 12", "bits 0 to 7".
std::string unitsText(uint8_t kind, uint16_t start, uint16_t length);

// Writes `length` units from `buffer` in consecutive write-multiple requests.
[[nodiscard]] int writeRun(ModbusTransport& transport, uint8_t writeCode, uint8_t kind,
                           uint16_t start, uint32_t length, const std::vector<uint8_t>& buffer);

// Stores the tag's value out of a block read from `start` with good quality. False (and
// nothing stored) when the data does not hold the tag.
bool deliverValue(PolledTag& tag, const std::vector<uint8_t>& data, uint16_t start);

// Gives the tag the quality of a failed transfer; its value stays.
void markFailed(PolledTag& tag, int code);

} // namespace vorn::modbus
