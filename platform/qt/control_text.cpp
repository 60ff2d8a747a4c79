#include "control_text.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "dialog_builder.h"

namespace tsyqt {

QString StaticText(const char* text) {
    const QString source = ToQt(text);
    QString shown;
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] != u'&') {
            shown += source[i];
        } else if (i + 1 < source.size()) {
            shown += source[++i];  // the marked letter, or the second "&" of a pair
        }
    }
    return shown;
}

std::string TextOf(const win::HWND__& window) {
    QWidget* widget = window.widget;
    if (widget == nullptr) return {};
    switch (window.kind) {
        case ControlKind::kDialog:
        case ControlKind::kStatic:
            return window.text;
        case ControlKind::kPushButton:
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            return FromQt(static_cast<QAbstractButton*>(widget)->text());
        case ControlKind::kGroupBox:
            return FromQt(static_cast<QGroupBox*>(widget)->title());
        case ControlKind::kEdit:
            return FromQt(static_cast<QLineEdit*>(widget)->text());
        case ControlKind::kIcon:
        case ControlKind::kUpDown:
            return {};
    }
    return {};
}

void SetTextOf(win::HWND__& window, const std::string& text) {
    QWidget* widget = window.widget;
    if (widget == nullptr) return;
    switch (window.kind) {
        case ControlKind::kDialog:
            window.text = text;
            widget->setWindowTitle(LiteralWindowTitle(text));
            break;
        case ControlKind::kStatic:
            window.text = text;
            static_cast<QLabel*>(widget)->setText(StaticText(text.c_str()));
            break;
        case ControlKind::kPushButton:
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            static_cast<QAbstractButton*>(widget)->setText(ToQt(text));
            break;
        case ControlKind::kGroupBox:
            static_cast<QGroupBox*>(widget)->setTitle(ToQt(text));
            break;
        case ControlKind::kEdit:
            static_cast<QLineEdit*>(widget)->setText(ToQt(text));
            break;
        case ControlKind::kIcon:
        case ControlKind::kUpDown:
            break;
    }
}

}  // namespace tsyqt
