// The dialogs in their modal run, oldest first.
#pragma once

#include <vector>

#include "winapi.h"

namespace tsyqt {

std::vector<win::HWND> RunningDialogs();

}  // namespace tsyqt
