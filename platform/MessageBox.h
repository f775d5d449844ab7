// Modal message boxes behind one small interface: a real dialog where there is a display,
// stderr where there is none, and scripted answers in tests.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vorn {

enum class MessageIcon { none, information, warning, error, question };
enum class MessageButtons { ok, okCancel, yesNo, yesNoCancel };
enum class MessageAnswer { ok, cancel, yes, no };

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // `owner` is the window the box belongs to (may be null).
    virtual MessageAnswer show(void* owner, const std::string& text, const std::string& caption,
                               MessageIcon icon, MessageButtons buttons) = 0;
};

// The answer a box gives when nobody can click it: its first button.
MessageAnswer defaultAnswer(MessageButtons buttons);

// True when no display is available or VORN_HEADLESS=1 asks for none.
bool isHeadless();

// Writes "caption: text" to stderr and gives the default answer.
class StderrMessageBox : public MessageBoxService {
public:
    MessageAnswer show(void* owner, const std::string& text, const std::string& caption,
                       MessageIcon icon, MessageButtons buttons) override;
};

// Records every box and answers from a queue (the default answer once it is empty).
class ScriptedMessageBox : public MessageBoxService {
public:
    struct Shown {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer show(void* owner, const std::string& text, const std::string& caption,
                       MessageIcon icon, MessageButtons buttons) override;
    void queueAnswer(MessageAnswer answer);
    std::vector<Shown> shown() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::deque<MessageAnswer> answers_;
    std::vector<Shown> shown_;
};

// The process-wide service; stderr until a program or test installs another. The caller keeps
// ownership of what it installs and puts the previous one back before destroying it.
MessageBoxService& messageBoxes();
MessageBoxService* installMessageBoxes(MessageBoxService* service);

inline MessageAnswer showMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon = MessageIcon::warning,
                                 MessageButtons buttons = MessageButtons::ok,
                                 void* owner = nullptr) {
    return messageBoxes().show(owner, text, caption, icon, buttons);
}

// Installs a service for the life of a scope, e.g. a scripted box in a test.
class ScopedMessageBoxes {
public:
    explicit ScopedMessageBoxes(MessageBoxService& service)
        : previous_(installMessageBoxes(&service)) {}
    ~ScopedMessageBoxes() { installMessageBoxes(previous_); }
    ScopedMessageBoxes(const ScopedMessageBoxes&) = delete;
    ScopedMessageBoxes& operator=(const ScopedMessageBoxes&) = delete;

private:
    MessageBoxService* previous_;
};

} // namespace vorn
