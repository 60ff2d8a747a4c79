// The in-memory templates as the real dialog manager reads them: every control of the one
// description comes out with its identifier, class, styles, text and place, and the dialog with
// its caption, size and font.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_template.h"
#include "dialog_template_builder.h"
#include "native_layout.h"
#include "resource.h"

namespace {

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return win::FALSE;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string TextOf(HWND window) {
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(),
                                                    -1, b.c_str(), -1) == CSTR_EQUAL;
}

// The part of a control's style that is an enumeration rather than a set of flags.
DWORD KindBits(const DialogItemTemplate& item) {
    const std::string kind = item.windowClass;
    if (SameIgnoringCase(kind, "BUTTON")) return win::BS_TYPEMASK;
    if (SameIgnoringCase(kind, "STATIC")) return SS_TYPEMASK;
    return 0;
}

// Dialog units to pixels, as the dialog manager converts a control's place and size: each
// separately, so that a right edge may differ by one from the mapped sum.
RECT InPixels(HWND dialog, int x, int y, int cx, int cy) {
    RECT place{x, y, cx, cy};
    ::MapDialogRect(dialog, &place);
    return place;  // left, top, width, height
}

RECT RectInClient(HWND dialog, HWND child) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class DialogTemplateTest : public testing::TestWithParam<win::UINT> {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&controls);
        m_description = AfxFindDialogTemplate(GetParam());
        ASSERT_NE(m_description, nullptr);
        m_bytes = win32::DialogTemplateBuilder::Build(*m_description);
        m_dialog = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                                reinterpret_cast<LPCDLGTEMPLATEA>(m_bytes.data()),
                                                nullptr, IgnoreMessages, 0);
        ASSERT_NE(m_dialog, nullptr) << "error " << ::GetLastError();
    }
    void TearDown() override {
        if (m_dialog != nullptr) ::DestroyWindow(m_dialog);
    }

    const DialogTemplate* m_description = nullptr;
    std::vector<std::uint32_t> m_bytes;
    HWND m_dialog = nullptr;
};

TEST_P(DialogTemplateTest, TheDialogHasItsCaptionStylesSizeAndFont) {
    const DialogTemplate& d = *m_description;
    EXPECT_EQ(TextOf(m_dialog), d.caption);
    const auto style = static_cast<DWORD>(::GetWindowLongA(m_dialog, GWL_STYLE));
    EXPECT_EQ(style & d.style & ~win::WS_VISIBLE, d.style & ~win::WS_VISIBLE);
    EXPECT_FALSE(style & win::WS_VISIBLE) << "made visible before it is placed";
    const auto exStyle = static_cast<DWORD>(::GetWindowLongA(m_dialog, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & d.exStyle, d.exStyle);

    RECT client{};
    ::GetClientRect(m_dialog, &client);
    const RECT expected = InPixels(m_dialog, 0, 0, d.cx, d.cy);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);

    const auto font = reinterpret_cast<HFONT>(::SendMessageA(m_dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA logical{};
    ASSERT_TRUE(::GetObjectA(font, sizeof(logical), &logical));
    EXPECT_STREQ(logical.lfFaceName, d.typeface);
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(logical.lfHeight, -::MulDiv(d.pointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);
    if (d.extended) {
        EXPECT_EQ(logical.lfWeight, d.weight);
        EXPECT_EQ(logical.lfItalic != 0, d.italic);
        EXPECT_EQ(logical.lfCharSet, d.charset);
    }
}

// The dialog manager takes its base units from the font that actually draws: a substitute with
// other widths makes every window another size and wraps the labels elsewhere.
TEST_P(DialogTemplateTest, TheTemplateFontIsTheOneThatDraws) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageA(m_dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    const HDC dc = ::GetDC(m_dialog);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    char face[LF_FACESIZE] = {};
    ::GetTextFaceA(dc, sizeof(face), face);
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(m_dialog, dc);
    EXPECT_STREQ(face, m_description->typeface)
        << "the system has no such font (under Wine: is fonts-wine in the prefix's Fonts folder?)";

    // A vertical base unit is the font's height: eight dialog units make one line of text.
    RECT line{0, 0, 4, 8};
    ::MapDialogRect(m_dialog, &line);
    EXPECT_EQ(line.bottom, metrics.tmHeight);
}

TEST_P(DialogTemplateTest, EveryControlComesOutInTemplateOrderAsDescribed) {
    HWND child = ::GetWindow(m_dialog, GW_CHILD);
    for (const DialogItemTemplate& item : m_description->items) {
        SCOPED_TRACE(testing::Message() << "control " << item.id << " "
                                        << (item.text != nullptr ? item.text : "(icon)"));
        ASSERT_NE(child, nullptr) << "fewer controls than described";
        EXPECT_EQ(static_cast<WORD>(::GetDlgCtrlID(child)), static_cast<WORD>(item.id));
        EXPECT_TRUE(SameIgnoringCase(ClassOf(child), item.windowClass)) << ClassOf(child);

        auto style = static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(::GetWindowLongA(child, GWL_EXSTYLE));
        // The three-dimensional dialog look trades a control's flat border for a sunken edge.
        if (exStyle & WS_EX_CLIENTEDGE) style |= win::WS_BORDER;
        const DWORD kind = KindBits(item);
        EXPECT_EQ(style & kind, item.style & kind);
        EXPECT_EQ(style & item.style & ~kind, item.style & ~kind);
        EXPECT_EQ(exStyle & item.exStyle, item.exStyle);

        const bool isIcon = item.text == nullptr;
        const bool isSpinner = SameIgnoringCase(item.windowClass, "msctls_updown32");
        if (!isIcon && !isSpinner) {
            EXPECT_EQ(TextOf(child), item.text);
        }

        // The icon sizes itself, and the spinner moves against its buddy and narrows it.
        const RECT expected = InPixels(m_dialog, item.x, item.y, item.cx, item.cy);
        const RECT actual = RectInClient(m_dialog, child);
        if (!isSpinner) {
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
        }
        if (!isIcon && !isSpinner && item.id != IDC_RETRIES) {
            EXPECT_EQ(actual.right - actual.left, expected.right);
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        }
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more controls than described";
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogTemplateTest,
                         testing::Values(IDD_ABOUTBOX, IDD_MONITOR_DIALOG, IDD_OPTIONS),
                         [](const testing::TestParamInfo<win::UINT>& info) {
                             switch (info.param) {
                                 case IDD_ABOUTBOX:
                                     return std::string("About");
                                 case IDD_MONITOR_DIALOG:
                                     return std::string("Monitor");
                                 default:
                                     return std::string("Options");
                             }
                         });

}  // namespace
