// A radio button that behaves as an automatic radio button of a dialog template: a click checks
// it and clears the other radio buttons of its template group, and never clears it.
#pragma once

#include <QRadioButton>

namespace tsyqt {

class AutoRadioButton : public QRadioButton {
  public:
    AutoRadioButton(const QString& text, int group, QWidget* parent);

    int Group() const { return m_group; }

  protected:
    void nextCheckState() override;

  private:
    int m_group;
};

}  // namespace tsyqt
