#include "dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <cstdint>

namespace tsyqt {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, m_baseX, 4);
}
int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, m_baseY, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy));
}

QFont DialogFont(const DialogTemplate& dialog) {
    QFont font = QApplication::font();
    font.setStyleHint(QFont::SansSerif);
    if ((dialog.style & win::DS_SETFONT) != 0 && dialog.pointSize > 0) {
        font.setPointSize(dialog.pointSize);
        if (dialog.weight >= 600) font.setWeight(QFont::Bold);
        font.setItalic(dialog.italic);
    }
    return font;
}

}  // namespace tsyqt
