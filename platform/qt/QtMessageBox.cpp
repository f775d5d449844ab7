#include "QtMessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace vorn {
namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::information:
        return QMessageBox::Information;
    case MessageIcon::warning:
        return QMessageBox::Warning;
    case MessageIcon::error:
        return QMessageBox::Critical;
    case MessageIcon::question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::okCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::yesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::yesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

MessageAnswer answerOf(int button, MessageButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::ok;
    case QMessageBox::Yes:
        return MessageAnswer::yes;
    case QMessageBox::No:
        return MessageAnswer::no;
    case QMessageBox::Cancel:
        return MessageAnswer::cancel;
    default:
        // Closed without a button: what Escape means for these buttons.
        return buttons == MessageButtons::ok      ? MessageAnswer::ok
               : buttons == MessageButtons::yesNo ? MessageAnswer::no
                                                  : MessageAnswer::cancel;
    }
}

} // namespace

MessageAnswer QtMessageBox::show(void* owner, const std::string& text, const std::string& caption,
                                 MessageIcon icon, MessageButtons buttons) {
    // Widgets live on the GUI thread only; elsewhere the message goes where a display-less
    // server writes it, rather than waiting on a thread that may be waiting on us.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return StderrMessageBox().show(owner, text, caption, icon, buttons);
    QMessageBox box(qtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons(buttons), static_cast<QWidget*>(owner));
    box.setWindowModality(Qt::ApplicationModal);
    return answerOf(box.exec(), buttons);
}

} // namespace vorn
