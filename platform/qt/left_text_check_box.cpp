#include "left_text_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace tsyqt {

QRect LeftTextCheckBox::IndicatorRect(const QStyleOptionButton& option) const {
    QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    indicator.moveRight(rect().right());
    return indicator;
}

void LeftTextCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton box = option;
    box.rect = IndicatorRect(option);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
    QStyleOptionButton label = option;
    label.rect = QRect(0, 0, box.rect.left() - spacing, height());
    painter.drawControl(QStyle::CE_CheckBoxLabel, label);

    if ((option.state & QStyle::State_HasFocus) != 0) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        const int textWidth = fontMetrics().horizontalAdvance(text());
        focus.rect = QRect(0, 0, qMin(textWidth + 2, label.rect.width()), height());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool LeftTextCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

}  // namespace tsyqt
