// Run-time errors of the editor: a number and a description, caught by the handler of the
// user command that caused them and shown in the editor's standard message form.
#pragma once

#include <stdexcept>
#include <string>

namespace vorn::editor {

// Error numbers. They follow the numbering of the runtime the editor was first written for,
// so users and support keep recognising them.
enum EditorErrorNumber : int {
    kErrInvalidArgument = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrTypeMismatch = 13,
    kErrNestingTooDeep = 28,
    kErrFileNotFound = 53,
    kErrFileAccess = 75,
    kErrMissingValue = 91,
    kErrBadFileFormat = 321,
    kErrInvalidValue = 380,
    kErrDuplicateCollectionKey = 457,
    kErrElementNotFound = 35601,
    kErrDuplicateNodeKey = 35602,
};

class EditorError : public std::runtime_error {
public:
    EditorError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

// Caption of every box the editor shows.
inline constexpr const char* kEditorCaption = "Quillmar";

// " Error n. " + number + "  " + description + " in " + handler.
std::string standardErrorText(int number, const std::string& description,
                              const std::string& handler);

// Shows the standard error text in an OK-only box through the platform's message boxes.
void reportError(const EditorError& error, const std::string& handler);

} // namespace vorn::editor
