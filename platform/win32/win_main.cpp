// The program's entry: the framework names the application after this file and runs it.
// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <string>
#include <vector>

#include "afx_startup.h"

namespace {
std::string ProgramPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A path that filled the buffer may have been cut short.
        if (length == 0) return std::string();
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxRunApplication(ProgramPath());
}
