// A fresh directory under /tmp for one test's files (logs, value files, pty links),
// removed with everything in it when the test ends.
#pragma once

#include <string>

namespace vorn::test {

class ScratchDir {
public:
    ScratchDir();  // throws std::runtime_error when it cannot be made
    ~ScratchDir(); // removes the directory and its contents
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes `text` to the named file (folders made as needed) and returns its path.
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// The whole text of a file; empty when it cannot be read.
std::string contentsOf(const std::string& path);

} // namespace vorn::test
