#include "AboutDialog.h"

#include "ServerTexts.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QVBoxLayout>

namespace vorn::ui {
namespace {

// The maker's logo: the name in white on the maker's blue.
QPixmap logo() {
    QPixmap pixmap(96, 40);
    pixmap.fill(QColor(0x1F, 0x4E, 0x8C));
    QPainter painter(&pixmap);
    QFont font("Arial");
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "VORN");
    return pixmap;
}

} // namespace

AboutDialog::AboutDialog(ServerKind kind, QWidget* parent) : QDialog(parent) {
    const ServerTexts& texts = textsOf(kind);
    const MakerDetails& maker = makerDetails();
    setWindowTitle(texts.aboutCaption);
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(texts.aboutProductLine, this));
    for (const char* line :
         {maker.name, maker.street, maker.city, maker.phone, maker.fax, maker.web})
        lines->addWidget(new QLabel(line, this));
    auto* logoLabel = new QLabel(this);
    logoLabel->setPixmap(logo());

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(lines, 1);
    top->addWidget(logoLabel, 0, Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

} // namespace vorn::ui
