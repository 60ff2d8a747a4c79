// A template group box: an etched frame whose top line runs through the middle of its title,
// as a classic dialog draws it. Qt's styles draw the frame below the title, which would put it
// under controls that the template places just inside the box.
#pragma once

#include <QGroupBox>

namespace tsyqt {

class GroupFrame : public QGroupBox {
  public:
    GroupFrame(const QString& title, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tsyqt
