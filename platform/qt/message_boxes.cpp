#include "message_boxes.h"

#include <QMessageBox>
#include <QPointer>
#include <vector>

#include "afxwin.h"
#include "gui_thread.h"
#include "window_record.h"

namespace tsyqt {
namespace {

std::vector<QPointer<QMessageBox>>& WorkerBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

QMessageBox::Icon IconFor(win::UINT type, DefaultIcon whenNoIcon) {
    switch (type & win::MB_ICONMASK) {
        case win::MB_ICONHAND:
            return QMessageBox::Critical;
        case win::MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case win::MB_ICONINFORMATION:
            return QMessageBox::Information;
        case 0x20:  // MB_ICONQUESTION
            return QMessageBox::Question;
        default:
            return whenNoIcon == DefaultIcon::kExclamation ? QMessageBox::Warning
                                                           : QMessageBox::NoIcon;
    }
}

win::HWND MainWindowHandle() {
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
}

int RunBox(const MessageBoxRequest& request, bool forWorker) {
    // A stop that came while the call was on its way: the worker no longer waits for an answer.
    if (forWorker && AfxStopRequested()) return 0;
    win::HWND__* owner = FindRecord(request.ownedByMainWindow ? MainWindowHandle() : request.owner);
    QWidget* parent = owner != nullptr ? owner->widget.data() : nullptr;

    QMessageBox box(IconFor(request.type, request.whenNoIcon), ToQt(request.caption),
                    ToQt(request.text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    // Owned: only the owner is blocked, so the tray icon and other dialogs still take input.
    box.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    if (forWorker) WorkerBoxes().emplace_back(&box);
    box.exec();
    if (forWorker) {
        auto& boxes = WorkerBoxes();
        std::erase_if(boxes,
                      [&](const QPointer<QMessageBox>& open) { return open == &box || !open; });
    }
    return win::IDOK;
}

}  // namespace

int ShowMessageBox(const MessageBoxRequest& request) {
    const bool forWorker = !OnGuiThread();
    return static_cast<int>(RunOnGuiThread(
        [request, forWorker] { return static_cast<win::LRESULT>(RunBox(request, forWorker)); }));
}

void CloseWorkerMessageBoxes() {
    for (const QPointer<QMessageBox>& box : WorkerBoxes()) {
        if (box) box->done(QMessageBox::Ok);
    }
}

}  // namespace tsyqt

int CWnd::MessageBox(const char* text, const char* caption, win::UINT type) {
    tsyqt::MessageBoxRequest request;
    request.owner = m_hWnd;
    request.text = text ? text : "";
    // Without a caption the system's own word for a box is used.
    request.caption = caption ? caption : "Error";
    request.type = type;
    return tsyqt::ShowMessageBox(request);
}

int AfxMessageBox(const char* text, win::UINT type, win::UINT) {
    CWinApp* app = AfxGetApp();
    tsyqt::MessageBoxRequest request;
    // The main window owns the framework's boxes while it exists, and is blocked meanwhile.
    request.ownedByMainWindow = true;
    request.text = text ? text : "";
    if (app != nullptr) request.caption = std::string(app->m_strAppName.View());
    request.type = type;
    request.whenNoIcon = tsyqt::DefaultIcon::kExclamation;
    return tsyqt::ShowMessageBox(request);
}
