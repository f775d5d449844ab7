// The toolkit's exception: thrown only when an allocation fails.
#pragma once

#include <exception>
#include <string>

namespace vorn {

class SOCmnException : public std::exception {
public:
    static constexpr unsigned kOutOfMemory = 1;

    SOCmnException(unsigned code, std::string text) : code_(code), text_(std::move(text)) {}
    static SOCmnException outOfMemory() { return {kOutOfMemory, "Out of memory"}; }

    unsigned code() const { return code_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    unsigned code_;
    std::string text_;
};

} // namespace vorn
