// The Linux program: Qt's application object, then the framework's start of the application.
#include <QApplication>

#include "afx_startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends when its main dialog's run is over, not when a window closes: the main
    // window spends much of its life hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    // Wayland compositors and some X docks match windows to the installed desktop entry by this
    // name; without it they show a generic icon and cannot pin the program.
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSALY_APP_ID));
    return AfxRunApplication(argv[0]);
}
