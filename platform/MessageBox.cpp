#include "MessageBox.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorn {
namespace {

StderrMessageBox stderrBoxes;
std::atomic<MessageBoxService*> current{&stderrBoxes};

} // namespace

MessageAnswer defaultAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::yesNo:
    case MessageButtons::yesNoCancel:
        return MessageAnswer::yes;
    default:
        return MessageAnswer::ok;
    }
}

bool isHeadless() {
    const char* forced = std::getenv("VORN_HEADLESS");
    if (forced && std::strcmp(forced, "1") == 0)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

MessageAnswer StderrMessageBox::show(void*, const std::string& text, const std::string& caption,
                                     MessageIcon, MessageButtons buttons) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), line.c_str());
    std::fflush(stderr);
    return defaultAnswer(buttons);
}

MessageAnswer ScriptedMessageBox::show(void*, const std::string& text, const std::string& caption,
                                       MessageIcon icon, MessageButtons buttons) {
    std::lock_guard lock(mutex_);
    shown_.push_back({text, caption, icon, buttons});
    if (answers_.empty())
        return defaultAnswer(buttons);
    MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void ScriptedMessageBox::queueAnswer(MessageAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<ScriptedMessageBox::Shown> ScriptedMessageBox::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

void ScriptedMessageBox::clear() {
    std::lock_guard lock(mutex_);
    shown_.clear();
    answers_.clear();
}

MessageBoxService& messageBoxes() {
    return *current.load();
}

MessageBoxService* installMessageBoxes(MessageBoxService* service) {
    return current.exchange(service ? service : &stderrBoxes);
}

} // namespace vorn
