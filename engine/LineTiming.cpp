#include "LineTiming.h"

namespace vorn::modbus {

template <typename Transaction> int LineTiming::timed(Transaction transaction) {
    LineLoad* line = current_ > 0 && current_ <= lines_.size() ? lines_[current_ - 1] : nullptr;
    if (!line)
        return transaction();
    const LineLoad::Clock::time_point from = LineLoad::Clock::now();
    const int code = transaction();
    line->addBusy(from, LineLoad::Clock::now());
    return code;
}

int LineTiming::start(std::vector<DeviceEntry> devices) {
    current_ = 0;
    return transport_.start(std::move(devices));
}

int LineTiming::selectDevice(uint16_t index) {
    current_ = index;
    return transport_.selectDevice(index);
}

int LineTiming::readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                              std::span<uint8_t> destination) {
    return timed(
        [&] { return transport_.readRegisters(functionCode, kind, count, start, destination); });
}

int LineTiming::writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                              std::span<const uint8_t> data) {
    return timed([&] { return transport_.writeMultiple(functionCode, kind, count, start, data); });
}

int LineTiming::writeSingle(uint8_t functionCode, uint8_t kind, uint16_t address, uint8_t high,
                            uint8_t low) {
    return timed([&] { return transport_.writeSingle(functionCode, kind, address, high, low); });
}

void LineTiming::closeAll() {
    current_ = 0;
    transport_.closeAll();
}

} // namespace vorn::modbus
