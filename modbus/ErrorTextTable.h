// Texts shown for error codes, read once from the error-text file beside the server.
// File format, per line: four hexadecimal digits (the code), one separator character, the text,
// CR LF. The line with code FFFF ends the table, as does the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::modbus {

class ErrorTextTable {
public:
    static constexpr size_t kMaxTextLength = 63;     // longer texts are cut
    static constexpr size_t kMaxFileBytes = 1 << 20; // the rest of a larger file is ignored
    static constexpr uint16_t kEndCode = 0xFFFF;

    // Reads the file at `path` unless a file was read already. A file that cannot be opened
    // leaves the table empty (and a later call tries again); returns whether a file is loaded.
    bool loadOnce(const std::string& path);

    // Adds the entries of file content `text`. Lines without four hexadecimal digits are
    // skipped; a line ended by LF alone is taken as well.
    void parse(std::string_view text);

    bool isLoaded() const { return loaded_; }
    size_t size() const { return entries_.size(); }

    // The text of the first entry with `code`, or nullopt when there is none.
    std::optional<std::string> lookup(uint16_t code) const;

private:
    struct Entry {
        uint16_t code;
        std::string text;
    };
    std::vector<Entry> entries_;
    bool loaded_ = false;
};

// File name of the error texts of each server.
constexpr const char* tcpErrorTextFile = "Tarnvale.dat";
constexpr const char* serialErrorTextFile = "Rennick.dat";

} // namespace vorn::modbus
