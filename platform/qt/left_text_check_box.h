// A check box with its text on the left and the box against its right edge, as a template's
// left-text check box shows. Qt's right-to-left layout would move the trailing colon of a Latin
// label to the wrong end, so it paints itself.
#pragma once

#include <QCheckBox>

namespace tsyqt {

class LeftTextCheckBox : public QCheckBox {
  public:
    LeftTextCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QRect IndicatorRect(const QStyleOptionButton& option) const;
};

}  // namespace tsyqt
