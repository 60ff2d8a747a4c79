#include "group_frame.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>

namespace tsyqt {

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    // Only a frame: clicks go through to the controls inside it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineY = metrics.height() / 2;

    // Etched in, drawn here: styles offset their group frame by the title's height.
    qDrawShadeRect(&painter, QRect(0, lineY, width(), height() - lineY), palette(), true, 1, 0);

    if (title().isEmpty()) return;
    const int indent = metrics.averageCharWidth();
    const int gap = metrics.averageCharWidth() / 3;
    QRect text = metrics.boundingRect(QRect(indent, 0, width() - 2 * indent, metrics.height()),
                                      Qt::AlignLeft | Qt::TextShowMnemonic, title());
    painter.fillRect(text.adjusted(-gap, 0, gap, 0), palette().window());
    style()->drawItemText(&painter, text, Qt::AlignLeft | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

}  // namespace tsyqt
