// The main window's client area: the status text in Arial at 16 pixels, each line centred,
// starting 10 pixels below the top. Right and middle clicks do nothing.
#pragma once

#include <QString>
#include <QWidget>

namespace vorn::ui {

class StatusTextView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFontPixels = 16;
    static constexpr int kTopMargin = 10;

    explicit StatusTextView(QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString text_;
    QFont font_;
};

} // namespace vorn::ui
