// Modal dialogs: built from their templates, opened, driven by the test's modal scripts, closed.
#include <exception>
#include <stdexcept>
#include <string>

#include "dialog_template.h"
#include "fake_controls.h"
#include "fake_platform.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

// Dialog units of 8-point MS Sans Serif in pixels: four across per character of 6, eight down
// per line of 13.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

void AddControls(fake::Platform& platform, fake::Window& dialog, const DialogTemplate& layout) {
    HWND previous = nullptr;
    for (const DialogItemTemplate& item : layout.items) {
        fake::Window& control = platform.NewWindow();
        control.parent = dialog.handle;
        control.id = item.id;
        control.windowClass = item.windowClass;
        control.style = item.style;
        control.exStyle = item.exStyle;
        control.text = item.text ? item.text : "";
        control.visible = (item.style & WS_VISIBLE) != 0;
        control.controlObject = std::make_unique<CWnd>();
        control.controlObject->Attach(control.handle);
        control.object = control.controlObject.get();
        if (control.windowClass == "msctls_updown32" && (item.style & UDS_AUTOBUDDY)) {
            control.buddy = previous;
        }
        dialog.children.push_back(control.handle);
        previous = control.handle;
    }
}

fake::Window& BuildDialog(fake::Platform& platform, CDialog& object, const DialogTemplate& layout,
                          HWND owner) {
    fake::Window& dialog = platform.NewWindow();
    dialog.isDialog = true;
    dialog.templateId = layout.id;
    dialog.object = &object;
    dialog.parent = owner;
    dialog.text = layout.caption ? layout.caption : "";
    dialog.style = layout.style;
    dialog.exStyle = layout.exStyle;
    dialog.clientWidth = layout.cx * kBaseUnitX / 4;
    dialog.clientHeight = layout.cy * kBaseUnitY / 8;
    if (layout.style & WS_SYSMENU) {
        dialog.systemMenuHandle = static_cast<HMENU>(platform.NewHandle());
        dialog.systemMenuObject.m_hMenu = dialog.systemMenuHandle;
        dialog.systemMenu = {{MF_STRING, SC_MOVE, "&Move"},
                             {MF_STRING, SC_CLOSE, "&Close\tAlt+F4"}};
    }
    AddControls(platform, dialog, layout);
    return dialog;
}

// Disables the owner for the modal run and gives it back, also when the run is left by an
// exception (a fake process exit): then the dialog is gone with the process.
class ModalRun {
  public:
    ModalRun(fake::Platform& platform, fake::Window& dialog)
        : m_platform(platform), m_dialog(dialog), m_exceptions(std::uncaught_exceptions()) {
        if (fake::Window* owner = m_platform.FindWindow(dialog.parent)) {
            m_ownerWasEnabled = owner->enabled;
            owner->enabled = false;
        }
    }
    ~ModalRun() {
        if (fake::Window* owner = m_platform.FindWindow(m_dialog.parent)) {
            owner->enabled = m_ownerWasEnabled;
        }
        if (std::uncaught_exceptions() > m_exceptions) {
            m_dialog.destroyed = true;
            m_dialog.object = nullptr;
            for (HWND child : m_dialog.children) m_platform.FindWindow(child)->object = nullptr;
        }
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

  private:
    fake::Platform& m_platform;
    fake::Window& m_dialog;
    int m_exceptions;
    bool m_ownerWasEnabled = true;
};
}  // namespace

std::intptr_t CDialog::DoModal() {
    fake::Platform& platform = P();
    const DialogTemplate* layout = AfxFindDialogTemplate(TemplateId());
    platform.Record(fake::Kind::DoModal, "DoModal " + std::to_string(TemplateId()));
    if (layout == nullptr) return -1;

    CWnd* owner = ParentWindow();
    if (owner == nullptr && AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != this) {
        owner = AfxGetApp()->m_pMainWnd;
    }
    fake::Window& dialog = BuildDialog(platform, *this, *layout, owner ? owner->m_hWnd : nullptr);
    Attach(dialog.handle);
    ModalRun run(platform, dialog);

    WindowProc(WM_INITDIALOG, 0, 0);
    if (!dialog.ended) {
        if (layout->style & WS_VISIBLE) dialog.visible = true;
        fake::ModalSession session(platform, *this);
        if (std::optional<fake::ModalScript> script = platform.NextModalScript(TemplateId())) {
            (*script)(session);
        } else {
            session.PressEscape();
        }
        if (!dialog.ended) {
            throw std::logic_error("fake: dialog " + std::to_string(TemplateId()) +
                                   " was left open by its modal script");
        }
    }
    dialog.visible = false;
    const std::intptr_t result = dialog.endResult;
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::EndDialog, "EndDialog " + std::to_string(result));
    if (fake::Window* dialog = platform.FindWindow(m_hWnd)) {
        dialog->ended = true;
        dialog->endResult = result;
    }
}
