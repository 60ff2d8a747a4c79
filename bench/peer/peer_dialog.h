// The bare Qt 6 tray program that the monitor is measured beside: the same handful of widgets and
// a tray icon, with no logic behind them, so that what the monitor costs on top of Qt shows.
#pragma once

#include <QDialog>
#include <QSystemTrayIcon>

class PeerDialog : public QDialog {
    Q_OBJECT

  public:
    PeerDialog();

  private:
    QSystemTrayIcon m_tray;
};
