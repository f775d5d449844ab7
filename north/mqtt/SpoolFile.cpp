#include "SpoolFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vorn::north::mqtt {

SpoolFile::~SpoolFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool SpoolFile::open(const std::filesystem::path& file, size_t capacity, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error = file.string() + ": " + std::strerror(errno);
        return false;
    }
    capacity_ = capacity;
    head_ = used_ = count_ = 0;
    failure_.clear();
    return true;
}

void SpoolFile::fail(const char* what) {
    failure_ = std::string(what) + ": " + std::strerror(errno ? errno : EIO);
    ::close(fd_);
    fd_ = -1;
    used_ = count_ = 0;
}

// The ring wraps at capacity_: a record may lie in two pieces.
template <class Io, class Bytes>
bool SpoolFile::transfer(Io io, size_t offset, Bytes data, size_t size) {
    while (size > 0) {
        offset %= capacity_;
        const size_t piece = std::min(size, capacity_ - offset);
        const ssize_t n = io(fd_, data, piece, static_cast<off_t>(offset));
        if (n <= 0)
            return false;
        offset += static_cast<size_t>(n);
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SpoolFile::writeAt(size_t offset, const char* data, size_t size) {
    return transfer(::pwrite, offset, data, size);
}

bool SpoolFile::readAt(size_t offset, char* data, size_t size) {
    return transfer(::pread, offset, data, size);
}

bool SpoolFile::push(std::string_view record) {
    if (fd_ < 0 || footprint(record) > capacity_ - used_)
        return false;
    const auto length = static_cast<uint32_t>(record.size());
    char prefix[kLengthBytes];
    std::memcpy(prefix, &length, kLengthBytes);
    const size_t tail = (head_ + used_) % capacity_;
    if (!writeAt(tail, prefix, kLengthBytes) ||
        !writeAt(tail + kLengthBytes, record.data(), record.size())) {
        fail("writing the store-and-forward file");
        return false;
    }
    used_ += footprint(record);
    ++count_;
    return true;
}

std::optional<std::string> SpoolFile::pop() {
    if (fd_ < 0 || count_ == 0)
        return std::nullopt;
    char prefix[kLengthBytes];
    uint32_t length = 0;
    if (!readAt(head_, prefix, kLengthBytes)) {
        fail("reading the store-and-forward file");
        return std::nullopt;
    }
    std::memcpy(&length, prefix, kLengthBytes);
    if (length + kLengthBytes > used_) {
        errno = EIO;
        fail("the store-and-forward file is damaged");
        return std::nullopt;
    }
    std::string record(length, '\0');
    if (!readAt(head_ + kLengthBytes, record.data(), length)) {
        fail("reading the store-and-forward file");
        return std::nullopt;
    }
    head_ = (head_ + kLengthBytes + length) % capacity_;
    used_ -= kLengthBytes + length;
    --count_;
    if (count_ == 0)
        head_ = 0;
    return record;
}

} // namespace vorn::north::mqtt
