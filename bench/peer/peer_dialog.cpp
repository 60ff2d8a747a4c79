#include "peer_dialog.h"

#include <QColor>
#include <QGridLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace {

QIcon PlainIcon(const QColor& colour) {
    QPixmap pixels(16, 16);
    pixels.fill(colour);
    return QIcon(pixels);
}

}  // namespace

PeerDialog::PeerDialog() {
    setWindowTitle("Bare Qt tray dialog");
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLineEdit("127.0.0.1", this), 0, 0, 1, 3);
    int column = 0;
    for (const char* label : {"None", "Beep", "Message"}) {
        layout->addWidget(new QRadioButton(label, this), 1, column++);
    }
    column = 0;
    for (const char* label : {"Options", "Hide", "Help"}) {
        layout->addWidget(new QPushButton(label, this), 2, column++);
    }

    m_tray.setIcon(PlainIcon(Qt::red));
    m_tray.setToolTip("Bare Qt tray dialog");
    m_tray.show();
}
