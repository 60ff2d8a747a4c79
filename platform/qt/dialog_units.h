// Dialog units: template coordinates that scale with the dialog's font, so a layout made for
// one font fits any other.
#pragma once

#include <QFont>
#include <QRect>

#include "dialog_template.h"

namespace tsyqt {

class DialogUnits {
  public:
    // Base units measured as the classic dialog manager measures its font: the average width
    // of the 52 Latin letters, rounded, and the character cell's height.
    explicit DialogUnits(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;

  private:
    int m_baseX;
    int m_baseY;
};

// The font a template asks for, on this desktop: its sans font at the template's point size.
QFont DialogFont(const DialogTemplate& dialog);

// a * b / c rounded half away from zero, in 64 bits: the classic scaling helper.
int MulDiv(int a, int b, int c);

}  // namespace tsyqt
