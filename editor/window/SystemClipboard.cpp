#include "SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vorn::editor {

std::string SystemClipboard::text() {
    return QGuiApplication::clipboard()->text().toStdString();
}

void SystemClipboard::clear() {
    QGuiApplication::clipboard()->clear();
}

} // namespace vorn::editor
