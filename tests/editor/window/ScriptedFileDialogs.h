// File dialogs answered by a test: each call is recorded and takes the next queued path (an
// empty path, as a cancelled dialog gives, once the queue is empty).
#pragma once

#include "editor/window/FileDialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace vorn::editor::test {

class ScriptedFileDialogs : public FileDialogs {
public:
    struct Shown {
        std::string title;
        std::string filter;
        std::string proposedPath;
    };

    void queue(const std::string& path) { answers_.push_back(path); }
    const std::vector<Shown>& shown() const { return shown_; }
    void clear() {
        shown_.clear();
        answers_.clear();
    }

    std::string openFile(QWidget*, const std::string& title, const std::string& filter) override {
        shown_.push_back({title, filter, {}});
        return next();
    }
    std::string saveFile(QWidget*, const std::string& title, const std::string& filter,
                         const std::string& proposedPath) override {
        shown_.push_back({title, filter, proposedPath});
        return next();
    }

private:
    std::string next() {
        if (answers_.empty())
            return {};
        std::string path = answers_.front();
        answers_.pop_front();
        return path;
    }

    std::deque<std::string> answers_;
    std::vector<Shown> shown_;
};

} // namespace vorn::editor::test
