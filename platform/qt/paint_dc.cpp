// Painting: a paint DC draws on the window only while the window handles its paint event, the
// one time Qt lets a painter onto a widget.
#include <QPainter>

#include "afxwin.h"
#include "icons.h"
#include "window_record.h"

CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    m_hDC = new win::HDC__;
    win::HWND__* record = window != nullptr ? tsyqt::FindRecord(window->m_hWnd) : nullptr;
    if (record != nullptr && record->inPaint && record->widget) {
        m_hDC->painter = new QPainter(record->widget);
    }
}

CPaintDC::~CPaintDC() {
    delete m_hDC->painter;
    delete m_hDC;
}
