// The application framework: an application object, windows and modal dialogs with message maps
// and data exchange, in the shape of the classic Windows class library.
//
// The declarations are shared; the parts that need a window system are defined by each back end
// (Win32, Qt, fake), the rest once in platform/common.
#pragma once

#include "cstring.h"
#include "winapi.h"

class CCmdTarget;
class CWnd;
class CDataExchange;

// ---- Message maps ------------------------------------------------------------------------------
// An entry calls a handler through a small thunk; a null thunk ends a table.
using AFX_THUNK = win::LRESULT (*)(CCmdTarget* target, win::WPARAM wParam, win::LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    win::UINT nMessage;  // the window message
    win::UINT nCode;     // for WM_COMMAND: the notification code
    win::UINT nID;       // for WM_COMMAND: the control or command identifier
    AFX_THUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                     \
protected:                                        \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                   \
        using ThisClass = theClass;                                                     \
        using TheBaseClass = baseClass;                                                 \
        static_cast<void>(sizeof(ThisClass));                                           \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {
#define END_MESSAGE_MAP()                                                                 \
    {0, 0, 0, nullptr}                                                                    \
    }                                                                                     \
    ;                                                                                     \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, messageEntries}; \
    return &messageMap;                                                                   \
    }

#define AFX_COMMAND_ENTRY(code, id, memberFxn)                                       \
    {win::WM_COMMAND, code, static_cast<win::UINT>(id),                              \
     [](CCmdTarget* target, win::WPARAM, win::LPARAM) -> win::LRESULT {                    \
         static_cast<ThisClass*>(target)->memberFxn();                               \
         return 0;                                                                   \
     }},

#define ON_BN_CLICKED(id, memberFxn) AFX_COMMAND_ENTRY(win::BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) AFX_COMMAND_ENTRY(win::EN_CHANGE, id, memberFxn)
#define ON_COMMAND(id, memberFxn) AFX_COMMAND_ENTRY(0, id, memberFxn)

#define ON_MESSAGE(message, memberFxn)                                                  \
    {message, 0, 0, [](CCmdTarget* target, win::WPARAM wParam, win::LPARAM lParam) -> win::LRESULT { \
         return static_cast<ThisClass*>(target)->memberFxn(wParam, lParam);             \
     }},

#define ON_WM_SYSCOMMAND()                                                              \
    {win::WM_SYSCOMMAND, 0, 0,                                                          \
     [](CCmdTarget* target, win::WPARAM wParam, win::LPARAM lParam) -> win::LRESULT {         \
         static_cast<ThisClass*>(target)->OnSysCommand(static_cast<win::UINT>(wParam), lParam); \
         return 0;                                                                      \
     }},

#define ON_WM_PAINT()                                                                   \
    {win::WM_PAINT, 0, 0, [](CCmdTarget* target, win::WPARAM, win::LPARAM) -> win::LRESULT {  \
         static_cast<ThisClass*>(target)->OnPaint();                                    \
         return 0;                                                                      \
     }},

#define ON_WM_QUERYDRAGICON()                                                                 \
    {win::WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* target, win::WPARAM, win::LPARAM) -> win::LRESULT { \
         return reinterpret_cast<win::LRESULT>(static_cast<ThisClass*>(target)->OnQueryDragIcon()); \
     }},

// The root of everything that has a message map.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // The first map entry, from this class up to the root, for the message; null when none.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(win::UINT message, win::UINT code, win::UINT id) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---- Geometry and painting ----------------------------------------------------------------------
struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CMenu {
public:
    win::HMENU m_hMenu = nullptr;
    win::BOOL AppendMenu(win::UINT flags, std::uintptr_t idNewItem = 0, const char* text = nullptr);
};

// Paints a window for the span of one paint message.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    win::HDC GetSafeHdc() const { return m_hDC; }
    win::BOOL DrawIcon(int x, int y, win::HICON icon) { return win::DrawIcon(m_hDC, x, y, icon); }

private:
    CWnd* m_pWnd;
    win::HDC m_hDC = nullptr;
};

// ---- Windows ---------------------------------------------------------------------------------
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    win::HWND m_hWnd = nullptr;
    win::HWND GetSafeHwnd() const { return m_hWnd; }

    // The framework object of a window handle: the object that owns the window (a dialog) or
    // the framework's own object for a control. Null for a null or unknown handle.
    static CWnd* FromHandle(win::HWND window);
    void Attach(win::HWND window) { m_hWnd = window; }

    // These may be called from any thread; a back end carries them to the window's own thread
    // and returns when they are done.
    win::BOOL SetWindowText(const char* text);
    win::BOOL ShowWindow(int showCommand);
    win::BOOL SetForegroundWindow();
    int MessageBox(const char* text, const char* caption = nullptr, win::UINT type = win::MB_OK);

    CString GetWindowText() const;
    win::BOOL IsWindowVisible() const;
    win::BOOL IsIconic() const;
    void GetClientRect(CRect* rect) const;
    CWnd* GetDlgItem(int id) const;
    CWnd* GetParent() const;
    CMenu* GetSystemMenu(win::BOOL revert);
    win::LRESULT SendMessage(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0);
    virtual win::BOOL DestroyWindow();

    win::BOOL UpdateData(win::BOOL saveAndValidate = win::TRUE);
    virtual void DoDataExchange(CDataExchange* dx);

    // Message routing: the back end delivers every message here, on the window's thread.
    virtual win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
    // True while a data exchange runs: control notifications are not passed on meanwhile.
    bool InDataExchange() const { return m_nDataExchangeDepth > 0; }

protected:
    virtual win::BOOL OnWndMsg(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                               win::LRESULT* result);
    // What the window system does with a message that no map entry handles.
    virtual win::LRESULT DefWindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
    // The default handling of the message being handled now.
    win::LRESULT Default();

    void OnSysCommand(win::UINT id, win::LPARAM lParam);
    void OnPaint();

private:
    struct CurrentMessage {
        win::UINT message = 0;
        win::WPARAM wParam = 0;
        win::LPARAM lParam = 0;
    };
    CurrentMessage m_current;
    int m_nDataExchangeDepth = 0;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, win::BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    win::BOOL m_bSaveAndValidate;
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, CSharedString& value);
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

// ---- Dialogs -------------------------------------------------------------------------------
class CDialog : public CWnd {
public:
    explicit CDialog(win::UINT templateId, CWnd* parent = nullptr)
        : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

    // Creates the window from its template, hidden; delivers WM_INITDIALOG; centres it when it
    // has no owner; shows it (at once when the template says WS_VISIBLE, else as the modal run
    // begins, as the classic modal loop does); disables the owner (the given parent, else the
    // application's main window unless that is this dialog) and runs the only message loop until
    // EndDialog. Then hides the window, calls DestroyWindow() and returns the result given to
    // EndDialog.
    virtual std::intptr_t DoModal();
    void EndDialog(int result);

    virtual win::BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    win::UINT TemplateId() const { return m_nIDTemplate; }
    CWnd* ParentWindow() const { return m_pParentWnd; }

    DECLARE_MESSAGE_MAP()

private:
    win::UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

// The up-down control's messages, for a control attached by data exchange.
class CSpinButtonCtrl : public CWnd {};

// ---- The application object -----------------------------------------------------------------
class CWinApp : public CCmdTarget {
public:
    // Without a name the framework takes the program file's base name, without its extension.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual win::BOOL InitInstance();
    virtual int ExitInstance();
    // Command routing for commands that no window handled (the help command).
    virtual win::BOOL OnCmdMsg(win::UINT id);

    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;
    CString m_strRegistryKey;

    void SetRegistryKey(const char* company);
    win::BOOL Enable3dControlsStatic() { return win::TRUE; }

    int GetProfileInt(const char* section, const char* entry, int defaultValue);
    CString GetProfileString(const char* section, const char* entry,
                             const char* defaultValue = nullptr);
    win::BOOL WriteProfileInt(const char* section, const char* entry, int value);
    win::BOOL WriteProfileString(const char* section, const char* entry, const char* value);

    // The standard help command (F1).
    void OnHelp();
};

inline constexpr win::UINT ID_HELP = 0xE146;

CWinApp* AfxGetApp();
win::HINSTANCE AfxGetInstanceHandle();
// The framework's message box: the application name as caption, the exclamation icon when the
// type names no icon.
int AfxMessageBox(const char* text, win::UINT type = win::MB_OK, win::UINT helpId = 0);
int AfxMessageBox(win::UINT stringId, win::UINT type = win::MB_OK, win::UINT helpId = 0);
// Starts Windows Sockets 1.1; true only when the layer reports exactly version 1.1.
win::BOOL AfxSocketInit(win::WSADATA* data = nullptr);

// ---- Stopping the worker ---------------------------------------------------------------------
// Asks every thread but the window's to stop: their pauses, echo waits, lookups, tones and message
// boxes end at once, and later ones return at once.
void AfxRequestStop();
bool AfxStopRequested();
// Waits for a thread to end while this (the window's) thread goes on carrying out the window
// operations that the thread may be waiting for.
void AfxWaitForThread(win::HANDLE thread);
