// The window as laid out: every control where and what it should be, found by its fixed ID.
#include <windows.h>

#include <commctrl.h>
#include <imm.h>

#include <string>

#include "mount/member_texts.h"
#include "version.h"
#include "win32/owners.h"
#include "window/control_table.h"
#include "window_test_support.h"

namespace brisvane::test_support {
namespace {

using enum ControlId;

// The system's window class for each kind of control; null for a frame, a class of the program's.
const wchar_t* WindowClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kFrame:
            return nullptr;
        case ControlKind::kLabel:
            return L"Static";
        case ControlKind::kTextBox:
        case ControlKind::kPasswordBox:
        case ControlKind::kReadOnlyTextBox:
        case ControlKind::kLogBox:
            return L"Edit";
        case ControlKind::kCheckBox:
        case ControlKind::kPushButton:
            return L"Button";
        case ControlKind::kDropDownCombo:
            return L"ComboBox";
    }
    return nullptr;
}

std::wstring VersionCaption() {
    return Wide(texts::VersionCaption(kVersionMajor, kVersionMinor, kVersionRevision));
}

// The text a control shows once the window has loaded: its initial text from the table, but the
// drive letter the load selects and the version the load writes.
std::wstring ShownText(const ControlEntry& entry) {
    switch (entry.id) {
        case cmbDriveLetter:
            return L"M:";
        case lblVer:
            return VersionCaption();
        default:
            return Wide(entry.text);
    }
}

class MainWindowLayoutTest : public WindowTest {
  protected:
    MainWindowLayoutTest() { Open(); }
    UINT Dpi() const { return ::GetDpiForWindow(Main()); }
    int OuterHeight() const {
        RECT outer;
        ::GetWindowRect(Main(), &outer);
        return outer.bottom - outer.top;
    }
};

TEST_F(MainWindowLayoutTest, EveryControlHasItsClassContainerTextPlaceAndSize) {
    for (const ControlEntry& expected : ControlTable(kTestOrganisation)) {
        SCOPED_TRACE(static_cast<int>(expected.id));
        HWND control = Find(expected.id);
        ASSERT_NE(control, nullptr);
        HWND container = expected.container ? Find(*expected.container) : Main();
        EXPECT_EQ(::GetParent(control), container);
        if (const wchar_t* windowClass = WindowClassOf(expected.kind)) {
            wchar_t name[32] = {};
            ::GetClassNameW(control, name, 32);
            EXPECT_STREQ(name, windowClass);
        }
        EXPECT_EQ(TextOf(expected.id), ShownText(expected));

        RECT place;
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_NEAR(place.left, Pixels(expected.twips.left, Dpi()), 1);
        EXPECT_NEAR(place.top, Pixels(expected.twips.top, Dpi()), 1);
        EXPECT_NEAR(place.right - place.left, Pixels(expected.twips.width, Dpi()), 1);
        EXPECT_NEAR(place.bottom - place.top, Pixels(expected.twips.height, Dpi()), 1);
    }
}

TEST_F(MainWindowLayoutTest, FixedDialogWithCloseBoxOnlyCentredAndCollapsedAtStart) {
    EXPECT_EQ(TextOf(lblVer), VersionCaption());
    wchar_t caption[64] = {};
    ::GetWindowTextW(Main(), caption, 64);
    EXPECT_EQ(caption, Wide(texts::kWindowCaption));
    const auto style = static_cast<DWORD>(::GetWindowLongW(Main(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_NE(::SendMessageW(Main(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(Main(), WM_GETICON, ICON_SMALL, 0), 0);

    RECT client;
    ::GetClientRect(Main(), &client);
    EXPECT_NEAR(client.right, Pixels(3705, Dpi()), 1);
    EXPECT_NEAR(OuterHeight(), Pixels(2335, Dpi()), 1);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(Main(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT outer;
    ::GetWindowRect(Main(), &outer);
    EXPECT_NEAR(outer.left + outer.right, monitor.rcWork.left + monitor.rcWork.right, 2);
    EXPECT_NEAR(outer.top + outer.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2);

    EXPECT_TRUE(::IsWindowVisible(Main()));
    EXPECT_FALSE(::IsWindowVisible(Find(frameHidden)));
    EXPECT_EQ(::SendMessageW(Find(chkAdvanced), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(FocusedControl(), txtUname);
}

TEST_F(MainWindowLayoutTest, AdvancedOptionsGrowAndShrinkTheWindowAndKeepTheFieldsAsTheyWere) {
    Click(chkAdvanced);
    EXPECT_NEAR(OuterHeight(), Pixels(5215, Dpi()), 1);
    EXPECT_TRUE(::IsWindowVisible(Find(frameHidden)));
    SetText(cmbDriveLetter, L"Q:");
    ::SendMessageW(Find(txtInfo), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"entry"));

    Click(chkAdvanced);
    EXPECT_NEAR(OuterHeight(), Pixels(2335, Dpi()), 1);
    EXPECT_FALSE(::IsWindowVisible(Find(frameHidden)));

    Click(chkAdvanced);
    EXPECT_EQ(TextOf(cmbDriveLetter), L"Q:");
    EXPECT_EQ(TextOf(txtInfo), L"entry");
}

// As when the window is moved to a monitor of another DPI.
TEST_F(MainWindowLayoutTest, LaysItselfOutAgainInTwipsAtANewDpi) {
    constexpr UINT kDpi = 144;
    RECT suggested{100, 100, 500, 500};
    ::SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi),
                   reinterpret_cast<LPARAM>(&suggested));

    RECT outer;
    ::GetWindowRect(Main(), &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_NEAR(outer.bottom - outer.top, Pixels(2335, kDpi), 1);
    RECT box;
    ::GetWindowRect(Find(txtPasswd), &box);
    ::MapWindowPoints(nullptr, Find(frameCred), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_NEAR(box.left, Pixels(960, kDpi), 1);
    EXPECT_NEAR(box.top, Pixels(720, kDpi), 1);
    EXPECT_NEAR(box.right - box.left, Pixels(2415, kDpi), 1);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Find(txtPasswd), WM_GETFONT, 0, 0)),
                 sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -16);  // 8 points at 144 DPI
}

TEST_F(MainWindowLayoutTest, DriveListHoldsDToZUnsortedAndEditableWithMSelected) {
    HWND combo = Find(cmbDriveLetter);
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 23);
    for (int index = 0; index < 23; ++index) {
        wchar_t entry[8] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(entry));
        const std::wstring expected = {static_cast<wchar_t>(L'D' + index), L':'};
        EXPECT_EQ(std::wstring(entry), expected);
    }
    EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 9);
    const auto style = static_cast<DWORD>(::GetWindowLongW(combo, GWL_STYLE));
    EXPECT_EQ(style & CBS_DROPDOWNLIST, static_cast<DWORD>(CBS_DROPDOWN));
    EXPECT_EQ(style & CBS_SORT, 0u);
}

TEST_F(MainWindowLayoutTest, CredentialBoxesRefuseCharactersBeyondTheirLimitsTypedOrPasted) {
    for (const ControlId id : {txtUname, txtPasswd}) {
        SCOPED_TRACE(static_cast<int>(id));
        Type(id, std::wstring(257, L'a'));
        EXPECT_EQ(TextOf(id), std::wstring(256, L'a'));

        SetText(id, L"");
        Paste(id, std::wstring(300, L'p'));
        EXPECT_EQ(TextOf(id), std::wstring(256, L'p'));
    }
}

TEST_F(MainWindowLayoutTest, PasswordBoxShowsStarsAndHasNoInputMethodEditor) {
    HWND box = Find(txtPasswd);
    EXPECT_EQ(::SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_NE(::GetWindowLongW(box, GWL_STYLE) & ES_PASSWORD, 0);
    HIMC context = ::ImmGetContext(box);
    EXPECT_EQ(context, nullptr);
    ::ImmReleaseContext(box, context);
}

TEST_F(MainWindowLayoutTest, ReadOnlyBoxesKeepTheirTextOnTheInactiveBorderColour) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    for (const ControlId id : {txtDomain, txtWebSite}) {
        SCOPED_TRACE(static_cast<int>(id));
        const std::wstring before = TextOf(id);
        ::SendMessageW(Find(id), WM_CHAR, L'x', 1);
        EXPECT_EQ(TextOf(id), before);
        // The box asks its frame for its colours, as it does for every repaint.
        const LRESULT brush =
            ::SendMessageW(Find(frameHidden), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(Find(id)));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ::GetSysColorBrush(COLOR_INACTIVEBORDER));
        EXPECT_EQ(::GetBkColor(dc), ::GetSysColor(COLOR_INACTIVEBORDER));
    }
    ::DeleteDC(dc);

    // Selected and copied all the same.
    ::SendMessageW(Find(txtDomain), EM_SETSEL, 0, -1);
    ::SendMessageW(Find(txtDomain), WM_COPY, 0, 0);
    ASSERT_TRUE(::OpenClipboard(Main()));
    HANDLE copied = ::GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(static_cast<const wchar_t*>(::GlobalLock(copied)),
              Wide(kTestOrganisation.logonDomain));
    ::GlobalUnlock(copied);
    ::CloseClipboard();
}

TEST_F(MainWindowLayoutTest, LogIsAWrappingReadOnlyBoxInASmallBoldFixedPitchFont) {
    HWND log = Find(txtInfo);
    const auto style = static_cast<DWORD>(::GetWindowLongW(log, GWL_STYLE));
    const DWORD wanted = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL), 0u);
    EXPECT_GT(::SendMessageW(log, EM_GETLIMITTEXT, 0, 0), 1 << 20);

    auto font = reinterpret_cast<HFONT>(::SendMessageW(log, WM_GETFONT, 0, 0));
    LOGFONTW described{};
    ASSERT_NE(::GetObjectW(font, sizeof(described), &described), 0);
    EXPECT_EQ(described.lfHeight, -::MulDiv(6, static_cast<int>(Dpi()), 72));
    EXPECT_EQ(described.lfWeight, FW_BOLD);
    EXPECT_EQ(described.lfCharSet, OEM_CHARSET);
    EXPECT_FALSE(described.lfItalic || described.lfUnderline || described.lfStrikeOut);

    HDC dc = ::GetDC(log);
    HGDIOBJ previous = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    ::SelectObject(dc, previous);
    ::ReleaseDC(log, dc);
    // Where a Terminal face exists it is used; else some fixed-pitch face (the flag's name is
    // the wrong way round: set means variable pitch).
    if (std::wstring(described.lfFaceName) == L"Terminal") {
        EXPECT_STREQ(face, L"Terminal");
    }
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "face " << face;

    LOGFONTW dialog{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Find(txtUname), WM_GETFONT, 0, 0)),
                 sizeof(dialog), &dialog);
    EXPECT_STREQ(dialog.lfFaceName, L"MS Shell Dlg 2");
    EXPECT_EQ(dialog.lfHeight, -::MulDiv(8, static_cast<int>(Dpi()), 72));
}

TEST_F(MainWindowLayoutTest, CredentialBoxesCarryTheirTooltips) {
    HWND tooltip = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
    while (tooltip != nullptr && ::GetWindow(tooltip, GW_OWNER) != Main()) {
        tooltip = ::FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr);
    }
    ASSERT_NE(tooltip, nullptr);
    LRESULT withTooltip = 0;
    for (const ControlEntry& entry : ControlTable(kTestOrganisation)) {
        if (entry.tooltip.empty()) {
            continue;
        }
        SCOPED_TRACE(static_cast<int>(entry.id));
        ++withTooltip;
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Main();
        tool.uId = reinterpret_cast<UINT_PTR>(Find(entry.id));
        tool.lpszText = text;
        ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(text, Wide(entry.tooltip));
    }
    EXPECT_EQ(withTooltip, 2);  // the two credential boxes
    EXPECT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), withTooltip);
}

}  // namespace
}  // namespace brisvane::test_support
