#include "options_dlg.h"

#include "../res/resource.h"
#include "monitor_dlg.h"

using namespace win;

namespace {
constexpr LPARAM kRetriesRange = MAKELONG(25, 3);  // maximum in the low word, minimum in the high

// The count as the dialog shows it: through single precision, so large counts show rounded.
// Counts of 2^31 and more show as the unsigned values they are.
CString FormatCount(float count) {
    CString text;
    text.Format("%llu", static_cast<unsigned long long>(count));
    return text;
}
}  // namespace

BEGIN_MESSAGE_MAP(COptionsDlg, CDialog)
END_MESSAGE_MAP()

COptionsDlg::COptionsDlg(CWnd* parent) : CDialog(IDD_OPTIONS, parent) {
    auto* dlg = static_cast<CMonitorDlg*>(parent);
    const std::uint32_t sent = dlg->m_nSent;
    const std::uint32_t received = dlg->m_nReceived;
    Snapshot snapshot = TakeSnapshot(sent, received);
    m_strSent = snapshot.sent;
    m_strReceived = snapshot.received;
    m_strPercent = snapshot.percent;
}

COptionsDlg::Snapshot COptionsDlg::TakeSnapshot(std::uint32_t sent, std::uint32_t received) {
    const float sentValue = static_cast<float>(sent);
    const float receivedValue = static_cast<float>(received);
    int percent = 0;
    if (sent != 0) {
        // In double precision, with no rounding back to single between the two operations.
        const double share = static_cast<double>(receivedValue) / static_cast<double>(sentValue);
        percent = static_cast<int>(share * 100.0);
    }
    Snapshot snapshot{FormatCount(sentValue), FormatCount(receivedValue), {}};
    snapshot.percent.Format("%d%%", percent);
    return snapshot;
}

void COptionsDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SPIN, m_spinRetries);
    DDX_Text(dx, IDC_SENT, m_strSent);
    DDX_Text(dx, IDC_RECEIVED, m_strReceived);
    DDX_Text(dx, IDC_PERCENT, m_strPercent);
}

CMonitorDlg* COptionsDlg::Owner() const {
    // The parent of this pop-up is its owner; the framework's object for it is the main window.
    return static_cast<CMonitorDlg*>(GetParent());
}

BOOL COptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_spinRetries.SendMessage(UDM_SETRANGE, 0, kRetriesRange);
    if (Owner()->m_nStartTray == 1) GetDlgItem(IDC_STARTTRAY)->SendMessage(BM_SETCHECK, BST_CHECKED);
    const WORD retries = LOWORD(static_cast<std::uint32_t>(Owner()->m_nRetries.load()));
    m_spinRetries.SendMessage(UDM_SETPOS, 0, MAKELONG(retries, 0));
    return TRUE;
}

void COptionsDlg::OnOK() {
    // The spinner takes the typed text back first; its error flag is not examined, so a text it
    // refuses leaves its last accepted position.
    const WORD position = LOWORD(static_cast<std::uintptr_t>(m_spinRetries.SendMessage(UDM_GETPOS)));
    Owner()->m_nRetries = position;
    const LRESULT checked = GetDlgItem(IDC_STARTTRAY)->SendMessage(BM_GETCHECK);
    Owner()->m_nStartTray = static_cast<std::int32_t>(checked);
    CDialog::OnOK();
}
