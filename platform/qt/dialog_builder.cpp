#include "dialog_builder.h"

#include <strings.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "auto_radio_button.h"
#include "control_text.h"
#include "dialog_units.h"
#include "dialog_window.h"
#include "group_frame.h"
#include "icons.h"
#include "left_text_check_box.h"
#include "updown_control.h"
#include "window_menu.h"
#include "window_record.h"

namespace tsyqt {
namespace {

// A control tells its dialog what the user did, as the classic controls do.
void Notify(win::HWND control, win::UINT code) {
    win::HWND__* record = FindRecord(control);
    if (record == nullptr) return;
    win::HWND__* dialog = FindRecord(record->parent);
    if (dialog == nullptr || dialog->object == nullptr) return;
    const auto id = static_cast<win::WORD>(record->id);
    dialog->object->WindowProc(win::WM_COMMAND, win::MAKELONG(id, static_cast<win::WORD>(code)),
                               reinterpret_cast<win::LPARAM>(control));
}

struct BuiltControl {
    QWidget* widget;
    ControlKind kind;
};

class ControlFactory {
  public:
    explicit ControlFactory(QWidget* dialog) : m_dialog(dialog) {}

    // The widget for one template item, placed and styled; `group` counts WS_GROUP items.
    BuiltControl Build(const DialogItemTemplate& item, int group) {
        if (strcasecmp(item.windowClass, "BUTTON") == 0) return Button(item, group);
        if (strcasecmp(item.windowClass, "EDIT") == 0) return Edit(item);
        if (strcasecmp(item.windowClass, "STATIC") == 0) return Static(item);
        if (strcasecmp(item.windowClass, "msctls_updown32") == 0) {
            return {new UpDownControl(item.style, m_dialog), ControlKind::kUpDown};
        }
        return {new QWidget(m_dialog), ControlKind::kStatic};
    }

  private:
    BuiltControl Button(const DialogItemTemplate& item, int group) {
        switch (item.style & win::BS_TYPEMASK) {
            case win::BS_GROUPBOX:
                return {new GroupFrame(ToQt(item.text), m_dialog), ControlKind::kGroupBox};
            case win::BS_AUTOCHECKBOX:
                if ((item.style & win::BS_LEFTTEXT) != 0) {
                    return {new LeftTextCheckBox(ToQt(item.text), m_dialog),
                            ControlKind::kCheckBox};
                }
                return {new QCheckBox(ToQt(item.text), m_dialog), ControlKind::kCheckBox};
            case win::BS_AUTORADIOBUTTON:
                return {new AutoRadioButton(ToQt(item.text), group, m_dialog),
                        ControlKind::kRadioButton};
            default: {
                auto* button = new QPushButton(ToQt(item.text), m_dialog);
                button->setAutoDefault(true);
                button->setDefault((item.style & win::BS_TYPEMASK) == win::BS_DEFPUSHBUTTON);
                return {button, ControlKind::kPushButton};
            }
        }
    }

    BuiltControl Edit(const DialogItemTemplate& item) {
        auto* edit = new QLineEdit(ToQt(item.text), m_dialog);
        edit->setFrame((item.style & win::WS_BORDER) != 0);
        return {edit, ControlKind::kEdit};
    }

    BuiltControl Static(const DialogItemTemplate& item) {
        auto* label = new QLabel(m_dialog);
        if ((item.style & 0x1F) == win::SS_ICON) {
            const QIcon icon = QtIcon(win::LoadIconA(AfxGetInstanceHandle(), item.iconId));
            const int size = win::GetSystemMetrics(win::SM_CXICON);
            label->setPixmap(icon.pixmap(QSize(size, size), m_dialog->devicePixelRatioF()));
            return {label, ControlKind::kIcon};
        }
        label->setTextFormat(Qt::PlainText);
        label->setText(StaticText(item.text));
        label->setWordWrap(true);
        const Qt::Alignment across =
            (item.exStyle & win::WS_EX_RIGHT) != 0 ? Qt::AlignRight : Qt::AlignLeft;
        label->setAlignment(across | Qt::AlignTop);
        if ((item.style & win::WS_BORDER) != 0)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return {label, ControlKind::kStatic};
    }

    QWidget* m_dialog;
};

Qt::FocusPolicy FocusPolicyOf(ControlKind kind, win::DWORD style) {
    switch (kind) {
        case ControlKind::kPushButton:
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
        case ControlKind::kEdit:
            return (style & win::WS_TABSTOP) != 0 ? Qt::StrongFocus : Qt::ClickFocus;
        default:
            return Qt::NoFocus;
    }
}

Qt::WindowFlags WindowFlagsOf(const DialogTemplate& dialog) {
    // An application window gets a task-bar entry of its own; a dialog rides on its owner's.
    Qt::WindowFlags flags = (dialog.exStyle & win::WS_EX_APPWINDOW) != 0 ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if ((dialog.style & win::WS_CAPTION) != 0) flags |= Qt::WindowTitleHint;
    if ((dialog.style & win::WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    return flags;
}

void PlaceControl(QWidget* widget, ControlKind kind, const DialogItemTemplate& item,
                  const DialogUnits& units) {
    QRect area = units.ToPixels(item.x, item.y, item.cx, item.cy);
    // An icon control takes the size of its icon, whatever the template says.
    if (kind == ControlKind::kIcon) {
        area.setSize(
            QSize(win::GetSystemMetrics(win::SM_CXICON), win::GetSystemMetrics(win::SM_CYICON)));
    }
    widget->setGeometry(area);
    if ((item.style & win::WS_VISIBLE) == 0) widget->hide();
}

win::HWND AddControl(win::HWND dialog, const DialogItemTemplate& item, const BuiltControl& built) {
    auto record = std::make_unique<win::HWND__>();
    record->kind = built.kind;
    record->id = item.id;
    record->style = item.style;
    record->exStyle = item.exStyle;
    record->widget = built.widget;
    record->parent = dialog;
    if (built.kind == ControlKind::kStatic) record->text = item.text ? item.text : "";
    record->controlObject = std::make_unique<CWnd>();
    record->object = record->controlObject.get();
    CWnd* object = record->object;
    const win::HWND handle = RegisterWindow(std::move(record));
    object->Attach(handle);
    return handle;
}

void ConnectNotifications(win::HWND control, const BuiltControl& built) {
    if (auto* button = qobject_cast<QAbstractButton*>(built.widget)) {
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [control] { Notify(control, win::BN_CLICKED); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(built.widget)) {
        QObject::connect(edit, &QLineEdit::textChanged, edit,
                         [control] { Notify(control, win::EN_CHANGE); });
    }
}

}  // namespace

QString LiteralWindowTitle(const std::string& caption) {
    return ToQt(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

win::HWND BuildDialog(const DialogTemplate& dialog, CDialog* object, win::HWND owner) {
    win::HWND__* ownerRecord = FindRecord(owner);
    QWidget* ownerWidget = ownerRecord != nullptr ? ownerRecord->widget.data() : nullptr;
    auto* window = new DialogWindow(ownerWidget, WindowFlagsOf(dialog));
    window->setFont(DialogFont(dialog));
    window->setWindowModality(ownerWidget != nullptr ? Qt::WindowModal : Qt::NonModal);
    const DialogUnits units(window->font());
    window->setFixedSize(units.ToPixelsX(dialog.cx), units.ToPixelsY(dialog.cy));

    auto record = std::make_unique<win::HWND__>();
    record->kind = ControlKind::kDialog;
    record->style = dialog.style;
    record->exStyle = dialog.exStyle;
    record->widget = window;
    record->object = object;
    record->parent = ownerRecord != nullptr ? owner : nullptr;
    record->dialogTemplate = &dialog;
    record->text = dialog.caption ? dialog.caption : "";
    ResetWindowMenu(&record->systemMenu);
    record->systemMenuObject.m_hMenu = &record->systemMenu;
    win::HWND__* dialogRecord = record.get();
    const win::HWND handle = RegisterWindow(std::move(record));
    window->SetHandle(handle);
    window->setWindowTitle(LiteralWindowTitle(dialogRecord->text));

    ControlFactory factory(window);
    QWidget* previous = nullptr;
    QWidget* lastTabStop = nullptr;
    int group = 0;
    for (const DialogItemTemplate& item : dialog.items) {
        if ((item.style & win::WS_GROUP) != 0) ++group;
        const BuiltControl built = factory.Build(item, group);
        PlaceControl(built.widget, built.kind, item, units);
        built.widget->setFocusPolicy(FocusPolicyOf(built.kind, item.style));
        if (built.kind == ControlKind::kGroupBox) built.widget->lower();
        if (auto* spinner = dynamic_cast<UpDownControl*>(built.widget);
            spinner != nullptr && (item.style & win::UDS_AUTOBUDDY) != 0) {
            spinner->SetBuddy(qobject_cast<QLineEdit*>(previous));
        }
        const win::HWND control = AddControl(handle, item, built);
        dialogRecord->children.push_back(control);
        ConnectNotifications(control, built);
        if (built.widget->focusPolicy() & Qt::TabFocus) {
            if (lastTabStop != nullptr) QWidget::setTabOrder(lastTabStop, built.widget);
            lastTabStop = built.widget;
        }
        previous = built.widget;
    }
    return handle;
}

}  // namespace tsyqt
