// The one description of a dialog template, from which every back end builds its windows:
// Win32 as an in-memory template, Qt as widgets placed in dialog units.
#pragma once

#include <cstdint>
#include <span>

#include "winapi.h"

struct DialogItemTemplate {
    int id;                 // -1 for a control the code never addresses
    const char* windowClass;  // "BUTTON", "EDIT", "STATIC" or "msctls_updown32"
    const char* text;       // the text; for an icon control, null (see iconId)
    short x, y, cx, cy;     // dialog units
    win::DWORD style;       // WS_CHILD | WS_VISIBLE included
    win::DWORD exStyle;
    int iconId = 0;         // for SS_ICON statics: the icon resource shown
};

struct DialogTemplate {
    win::UINT id;
    bool extended;  // DIALOGEX rather than the classic form
    const char* caption;
    short x, y, cx, cy;
    win::DWORD style;
    win::DWORD exStyle;
    int pointSize;
    const char* typeface;
    int weight;
    bool italic;
    int charset;
    std::span<const DialogItemTemplate> items;  // template order: z-order and tab order
};

// The template with that identifier, or null.
const DialogTemplate* AfxFindDialogTemplate(win::UINT id);
// The string resource with that identifier, or null when there is none.
const char* AfxFindStringResource(win::UINT id);
