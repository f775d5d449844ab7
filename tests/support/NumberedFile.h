// Configuration text built line by line for tests of the "CFG" lines, which name the line of
// the element they are about, and the checks made on those lines.
#pragma once

#include "LoadedConfig.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace vorn::test {

// A file built line by line that remembers on which line each marked element starts.
class NumberedFile {
public:
    explicit NumberedFile(const std::string& root) {
        add("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
        add("<" + root + ">");
    }
    void add(const std::string& line, const std::string& mark = {}) {
        if (!mark.empty())
            marks_[mark] = lines_ + 1;
        text_ += line + "\r\n";
        lines_ += 1 + static_cast<size_t>(std::count(line.begin(), line.end(), '\n'));
    }
    size_t lineOf(const std::string& mark) const { return marks_.at(mark); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    size_t lines_ = 0;
    std::map<std::string, size_t> marks_;
};

inline std::vector<std::string> tracesWith(const LoadedConfig& c, const std::string& what) {
    std::vector<std::string> found;
    for (const std::string& line : c.traces)
        if (line.find(what) != std::string::npos)
            found.push_back(line);
    return found;
}

// Exactly one trace line mentions `what`, and it starts with the line number.
inline void expectOneWarningAt(const LoadedConfig& c, const std::string& what, size_t line) {
    auto found = tracesWith(c, what);
    ASSERT_EQ(found.size(), 1u) << what;
    EXPECT_EQ(found[0].rfind("line " + std::to_string(line) + ": ", 0), 0u) << found[0];
}

// The trace at its default level for the life of a test.
class DefaultTraceLevel {
public:
    DefaultTraceLevel() : previous_(getSOCmnTrace().level()) {
        getSOCmnTrace().setLevel(TraceLevel::warning);
    }
    ~DefaultTraceLevel() { getSOCmnTrace().setLevel(previous_); }

private:
    TraceLevel previous_;
};

} // namespace vorn::test
