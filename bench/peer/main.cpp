// The bare Qt 6 tray program: one modal dialog, as the monitor runs its main window.
#include <QApplication>

#include "peer_dialog.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    PeerDialog dialog;
    dialog.exec();
    return 0;
}
