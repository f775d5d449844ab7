// Replacing a file in one step: the content goes to a temporary file beside it, which is then
// renamed over the old one, so a reader sees the old file or the new one, never a part.
// The new file keeps the old one's group and mode (and its owner where the writer may set it),
// so a file readable by a service's group only stays so whoever saves it, whatever the umask.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vorn {

// Mode of a file that does not exist yet and holds nothing secret (the umask applies).
inline constexpr mode_t kSharedFileMode = 0666;
// Mode of a new file that may hold secrets (password hashes): its owner's only.
inline constexpr mode_t kPrivateFileMode = 0600;

// Writes `content` to `path` (a symbolic link's target is replaced, the link kept). A file that
// did not exist gets `newFileMode` less the umask. Returns why it failed, naming the file; the
// old file is then unchanged. The folder must exist.
std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view content,
                                               mode_t newFileMode);

} // namespace vorn
