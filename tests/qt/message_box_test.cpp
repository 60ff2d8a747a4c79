// Message boxes: the framework's box (the application name as caption, the exclamation icon
// unless one is asked for) and a window's own box, owned by it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "../../res/resource.h"
#include "afxwin.h"
#include "program_test.h"
#include "scripted_steps.h"

namespace qttest {
namespace {

struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    int buttons = 0;
    Qt::TextFormat format = Qt::AutoText;
};

QMessageBox* OpenBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Reads the next box that opens and dismisses it with OK.
void ReadAndDismissBox(ScriptedSteps& steps, Seen& seen) {
    steps.When(
        "a message box", [] { return OpenBox() != nullptr && OpenBox()->isVisible(); },
        [&seen] {
            QMessageBox* box = OpenBox();
            seen = {box->windowTitle(),
                    box->text(),
                    box->icon(),
                    box->parentWidget(),
                    static_cast<int>(box->buttons().size()),
                    box->textFormat()};
            Click(box->button(QMessageBox::Ok));
        });
}

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AfxGetApp()->m_strAppName = "tessaly";
        AfxGetApp()->m_pMainWnd = nullptr;
    }
};

struct IconCase {
    const char* name;
    win::UINT type;
    QMessageBox::Icon icon;
};

class FrameworkBoxTest : public MessageBoxTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(FrameworkBoxTest, ShowsTheTextUnderTheApplicationsNameWithItsIcon) {
    Seen seen;
    ScriptedSteps steps;
    ReadAndDismissBox(steps, seen);
    steps.Start();
    const int result = AfxMessageBox("Load Library Failed - Aborting ", GetParam().type);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(result, win::IDOK);
    EXPECT_EQ(seen.title, "tessaly");
    EXPECT_EQ(seen.text, "Load Library Failed - Aborting ");
    EXPECT_EQ(seen.icon, GetParam().icon);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_EQ(seen.parent, nullptr) << "no main window yet, so no owner";
}

INSTANTIATE_TEST_SUITE_P(
    Type, FrameworkBoxTest,
    ::testing::Values(IconCase{"NoIcon", win::MB_OK, QMessageBox::Warning},
                      IconCase{"Hand", win::MB_ICONHAND, QMessageBox::Critical},
                      IconCase{"Exclamation", win::MB_ICONEXCLAMATION, QMessageBox::Warning},
                      IconCase{"Information", win::MB_ICONINFORMATION, QMessageBox::Information}),
    [](const ::testing::TestParamInfo<IconCase>& info) { return info.param.name; });

TEST_F(MessageBoxTest, TheFrameworkBoxShowsAStringResourceAndTextAsItStands) {
    Seen fromResource, plain;
    ScriptedSteps steps;
    ReadAndDismissBox(steps, fromResource);
    steps.Start();
    AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
    ScriptedSteps more;
    ReadAndDismissBox(more, plain);
    more.Start();
    AfxMessageBox("<b>not bold</b> & no markup");
    EXPECT_EQ(fromResource.text, "Windows sockets initialization failed.");
    EXPECT_EQ(plain.text, "<b>not bold</b> & no markup");
    EXPECT_EQ(plain.format, Qt::PlainText);
}

TEST_F(MessageBoxTest, AWindowsBoxIsOwnedByItAndTheFrameworkBoxByTheMainWindow) {
    CDialog dialog(IDD_ABOUTBOX);
    Seen own, framework;
    QWidget* dialogWidget = nullptr;
    ScriptedSteps steps;
    steps.When(
        "the dialog", [] { return DialogIsUp(IDD_ABOUTBOX); },
        [&] {
            dialogWidget = DialogWidget(dialog.m_hWnd);
            ScriptedSteps boxes;
            ReadAndDismissBox(boxes, own);
            boxes.Start();
            dialog.MessageBox("Connection restored", "Dovrel's Tessaly", win::MB_ICONINFORMATION);
            AfxGetApp()->m_pMainWnd = &dialog;
            ScriptedSteps second;
            ReadAndDismissBox(second, framework);
            second.Start();
            AfxMessageBox("Invalid handle value");
            AfxGetApp()->m_pMainWnd = nullptr;
            dialog.EndDialog(win::IDOK);
        });
    steps.Start();
    dialog.DoModal();
    EXPECT_EQ(own.title, "Dovrel's Tessaly");
    EXPECT_EQ(own.icon, QMessageBox::Information);
    EXPECT_EQ(own.parent, dialogWidget);
    EXPECT_EQ(framework.parent, dialogWidget);
    EXPECT_EQ(framework.icon, QMessageBox::Warning);
}

TEST_F(MessageBoxTest, AWindowsBoxWithoutIconOrCaptionShowsNeither) {
    CDialog dialog(IDD_ABOUTBOX);
    Seen seen;
    ScriptedSteps steps;
    steps.When(
        "the dialog", [] { return DialogIsUp(IDD_ABOUTBOX); },
        [&] {
            ScriptedSteps boxes;
            ReadAndDismissBox(boxes, seen);
            boxes.Start();
            dialog.MessageBox("text");
            dialog.EndDialog(win::IDOK);
        });
    steps.Start();
    dialog.DoModal();
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.title, "Error");
}

}  // namespace
}  // namespace qttest
