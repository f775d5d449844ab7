// The file part of the store-and-forward buffer: a ring of records in a file of fixed size, the
// oldest at its head. Started empty at every start of the server (it holds what the broker has
// not yet had, for this run). The publisher's thread owns it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::north::mqtt {

class SpoolFile {
public:
    SpoolFile() = default;
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Creates (or empties) the file with room for `capacity` bytes of records and their
    // lengths. False with the reason when it cannot be made; the spool then holds nothing.
    bool open(const std::filesystem::path& file, size_t capacity, std::string& error);
    bool isOpen() const { return fd_ >= 0; }

    // Bytes a record takes in the file.
    static size_t footprint(std::string_view record) { return record.size() + kLengthBytes; }
    // False when there is no room (or the file failed); nothing is written then.
    bool push(std::string_view record);
    // The oldest record, removed; nullopt when empty (or the file failed).
    std::optional<std::string> pop();

    size_t bytes() const { return used_; }
    size_t count() const { return count_; }
    size_t capacity() const { return capacity_; }
    // The reason the file stopped working, empty while it works.
    const std::string& failure() const { return failure_; }

private:
    static constexpr size_t kLengthBytes = 4;
    template <class Io, class Bytes> bool transfer(Io io, size_t offset, Bytes data, size_t size);
    bool writeAt(size_t offset, const char* data, size_t size);
    bool readAt(size_t offset, char* data, size_t size);
    void fail(const char* what);

    int fd_ = -1;
    size_t capacity_ = 0;
    size_t head_ = 0; // offset of the oldest record
    size_t used_ = 0;
    size_t count_ = 0;
    std::string failure_;
};

} // namespace vorn::north::mqtt
