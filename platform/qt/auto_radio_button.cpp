#include "auto_radio_button.h"

namespace tsyqt {

AutoRadioButton::AutoRadioButton(const QString& text, int group, QWidget* parent)
    : QRadioButton(text, parent), m_group(group) {
    // Groups follow the template, not Qt's sibling rule; and a check set by message must not
    // clear the others, only a click does.
    setAutoExclusive(false);
}

void AutoRadioButton::nextCheckState() {
    setChecked(true);
    if (parentWidget() == nullptr) return;
    const auto siblings =
        parentWidget()->findChildren<AutoRadioButton*>(Qt::FindDirectChildrenOnly);
    for (AutoRadioButton* other : siblings) {
        if (other != this && other->m_group == m_group) other->setChecked(false);
    }
}

}  // namespace tsyqt
