#include "StatusTextView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vorn::ui {

StatusTextView::StatusTextView(QWidget* parent) : QWidget(parent), font_("Arial") {
    font_.setPixelSize(kFontPixels);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void StatusTextView::setText(const QString& text) {
    text_ = text;
    update();
}

void StatusTextView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font_);
    const QRect area = rect().adjusted(0, kTopMargin, 0, 0);
    // Not clipped to the moved rectangle, and every line centred on its own.
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, text_);
}

void StatusTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept(); // swallowed: no context menu, nothing reaches the window
        return;
    }
    QWidget::mousePressEvent(event);
}

void StatusTextView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace vorn::ui
