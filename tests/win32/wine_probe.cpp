// Test helper run under Wine beside the program: reads what a person would read in its windows.
//
//   wine_probe wait CAPTION TIMEOUT_MS [TEXT]  waits for a shown top-level window with that
//                                              caption (and, if given, a child showing TEXT);
//                                              prints the texts of its children, one a line
//   wine_probe gone CAPTION TIMEOUT_MS         waits until no shown window has that caption
//   wine_probe item CAPTION ID                 prints the text of the window's control ID
//   wine_probe active CAPTION TIMEOUT_MS       waits until that window is the foreground one,
//                                              the one that keystrokes reach
//   wine_probe focus CAPTION                   prints the identifier of the window's control
//                                              that has the keyboard focus
//   wine_probe rect CAPTION                    prints the window's place on the desktop:
//                                              left, top, right and bottom
//   wine_probe enabled CAPTION                 prints 1 when the window takes input, 0 when it
//                                              is disabled (as the owner of an open box is)
//   wine_probe close CAPTION                   asks the window to close (WM_CLOSE), as the
//                                              taskbar's Close and the task manager do
//
// Exit code 0 on success, 1 when the window was not found in time, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT kReplyTimeoutMs = 5000;

// Asks the window itself: for another process's control, GetWindowText reads only the text the
// control was made with.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                             &length)) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kReplyTimeoutMs, &copied);
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

struct Search {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (IsWindowVisible(window) && TextOf(window) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindShown(const std::string& caption) {
    Search search{caption};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::string> ChildTexts(HWND window) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(TextOf(child));
    }
    return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& wanted) {
    for (const std::string& text : texts) {
        if (text == wanted) return true;
    }
    return false;
}

int Wait(const std::string& caption, DWORD timeout, const char* wantedText) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    do {
        if (HWND window = FindShown(caption)) {
            const std::vector<std::string> texts = ChildTexts(window);
            if (wantedText == nullptr || Contains(texts, wantedText)) {
                // Brackets show leading and trailing blanks.
                for (const std::string& text : texts) std::printf("[%s]\n", text.c_str());
                return 0;
            }
        }
        Sleep(100);
    } while (GetTickCount64() < deadline);
    return 1;
}

int Gone(const std::string& caption, DWORD timeout) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    while (FindShown(caption) != nullptr) {
        if (GetTickCount64() >= deadline) return 1;
        Sleep(100);
    }
    return 0;
}

int Active(const std::string& caption, DWORD timeout) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        HWND foreground = GetForegroundWindow();
        if (foreground != nullptr && TextOf(foreground) == caption) return 0;
        if (GetTickCount64() >= deadline) return 1;
        Sleep(100);
    }
}

int Item(const std::string& caption, int id) {
    HWND window = FindShown(caption);
    if (window == nullptr) return 1;
    HWND item = GetDlgItem(window, id);
    if (item == nullptr) return 1;
    std::printf("[%s]\n", TextOf(item).c_str());
    return 0;
}

int Focus(const std::string& caption) {
    HWND window = FindShown(caption);
    if (window == nullptr) return 1;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return 1;
    if (info.hwndFocus == nullptr || !IsChild(window, info.hwndFocus)) return 1;
    std::printf("[%d]\n", GetDlgCtrlID(info.hwndFocus));
    return 0;
}

int Rect(const std::string& caption) {
    HWND window = FindShown(caption);
    RECT rect{};
    if (window == nullptr || !GetWindowRect(window, &rect)) return 1;
    std::printf("[%ld %ld %ld %ld]\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int Enabled(const std::string& caption) {
    HWND window = FindShown(caption);
    if (window == nullptr) return 1;
    std::printf("[%d]\n", IsWindowEnabled(window) ? 1 : 0);
    return 0;
}

int Close(const std::string& caption) {
    HWND window = FindShown(caption);
    return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait" && (argc == 4 || argc == 5)) {
        return Wait(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)),
                    argc == 5 ? argv[4] : nullptr);
    }
    if (command == "gone" && argc == 4) {
        return Gone(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    }
    if (command == "item" && argc == 4) return Item(argv[2], std::atoi(argv[3]));
    if (command == "active" && argc == 4) {
        return Active(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    }
    if (command == "focus" && argc == 3) return Focus(argv[2]);
    if (command == "close" && argc == 3) return Close(argv[2]);
    if (command == "rect" && argc == 3) return Rect(argv[2]);
    if (command == "enabled" && argc == 3) return Enabled(argv[2]);
    std::fprintf(stderr,
                 "usage: wine_probe wait|gone|item|active|focus|close|rect|enabled CAPTION ...\n");
    return 2;
}
