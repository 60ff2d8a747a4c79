#include "updown_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <string>

namespace tsyqt {
namespace {

QToolButton* MakeArrow(Qt::ArrowType arrow, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // The control is no tab stop, and clicking an arrow leaves the focus in the buddy.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Whole decimal numbers only, with blanks around them allowed.
bool ParseDecimal(const QString& text, int* value) {
    const std::string digits = text.trimmed().toStdString();
    if (digits.empty()) return false;
    const char* begin = digits.data();
    const char* end = begin + digits.size();
    if (*begin == '+') ++begin;
    const auto [stop, error] = std::from_chars(begin, end, *value);
    return error == std::errc() && stop == end;
}

}  // namespace

UpDownControl::UpDownControl(win::DWORD style, QWidget* parent)
    : QWidget(parent),
      m_style(style),
      m_up(MakeArrow(Qt::UpArrow, "up", this)),
      m_down(MakeArrow(Qt::DownArrow, "down", this)) {
    setFocusPolicy(Qt::NoFocus);
    QObject::connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    QObject::connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownControl::SetBuddy(QLineEdit* buddy) {
    if (m_buddy) m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (buddy == nullptr) return;
    if ((m_style & win::UDS_ARROWKEYS) != 0) buddy->installEventFilter(this);
    if ((m_style & win::UDS_ALIGNRIGHT) != 0) {
        const QRect area = buddy->geometry();
        const int width = std::min(this->width(), area.width());
        buddy->setGeometry(area.x(), area.y(), area.width() - width, area.height());
        setGeometry(area.right() - width + 1, area.y(), width, area.height());
    }
}

int UpDownControl::Clamp(int value) const {
    return std::clamp(value, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
}

win::LRESULT UpDownControl::SetRange(win::LPARAM range) {
    m_upper = static_cast<short>(win::LOWORD(static_cast<std::uintptr_t>(range)));
    m_lower = static_cast<short>(win::HIWORD(static_cast<std::uintptr_t>(range)));
    return 0;
}

win::LRESULT UpDownControl::SetPosition(win::LPARAM position) {
    const int previous = m_position;
    m_position = Clamp(static_cast<short>(win::LOWORD(static_cast<std::uintptr_t>(position))));
    WriteBuddy();
    return previous;
}

win::LRESULT UpDownControl::GetPosition() {
    bool valid = true;
    if ((m_style & win::UDS_SETBUDDYINT) != 0 && m_buddy) {
        int typed = 0;
        valid = ReadBuddy(&typed);
        if (valid) m_position = typed;
    }
    return static_cast<win::LRESULT>(
        win::MAKELONG(static_cast<win::WORD>(m_position), valid ? 0 : 1));
}

bool UpDownControl::ReadBuddy(int* position) const {
    int value = 0;
    if (!m_buddy || !ParseDecimal(m_buddy->text(), &value)) return false;
    if (value != Clamp(value)) return false;
    *position = value;
    return true;
}

void UpDownControl::WriteBuddy() {
    if ((m_style & win::UDS_SETBUDDYINT) == 0 || !m_buddy) return;
    m_buddy->setText(QString::number(m_position));
}

void UpDownControl::Step(int direction) {
    // A number typed into the buddy counts from where the user left it.
    int typed = 0;
    if ((m_style & win::UDS_SETBUDDYINT) != 0 && ReadBuddy(&typed)) m_position = typed;
    const int toward = m_upper >= m_lower ? direction : -direction;
    m_position = Clamp(m_position + toward);
    WriteBuddy();
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    // The type first: while the dialog is torn down the buddy is already half gone, and only
    // a key press needs to know which object it reached.
    if (event->type() == QEvent::KeyPress && watched == m_buddy) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                Step(+1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                Step(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

}  // namespace tsyqt
