// The window as laid out: every control where and what it should be, found by its fixed ID.
#include <windows.h>

#include <commctrl.h>
#include <imm.h>
#include <initguid.h>  // defines the GUIDs of oleacc.h here
#include <oleacc.h>

#include <string>

#include "version.h"
#include "win32/owners.h"
#include "window_test_support.h"

namespace brisvane::testing {
namespace {

using enum ControlId;

struct ExpectedControl {
    ControlId id;
    const wchar_t* windowClass;  // null: a frame
    std::optional<ControlId> container;
    std::wstring text;
    int left, top, width, height;  // twips
};

const std::wstring kLookupPage(kTestOrganisation.lookupPageUrl.begin(),
                               kTestOrganisation.lookupPageUrl.end());

const ExpectedControl kControls[] = {
    {frameCred, nullptr, std::nullopt, L"University Credentials", 0, 0, 3615, 1935},
    {btnOK, L"Button", frameCred, L"OK", 960, 1440, 1215, 375},
    {btnCancel, L"Button", frameCred, L"Cancel", 2280, 1440, 1215, 375},
    {txtUname, L"Edit", frameCred, L"", 960, 240, 2415, 285},
    {txtPasswd, L"Edit", frameCred, L"", 960, 720, 2415, 285},
    {chkAdvanced, L"Button", frameCred, L"Advanced Options", 960, 1080, 1812, 252},
    {Label1, L"Static", frameCred, L"Username:", 120, 240, 975, 255},
    {Label2, L"Static", frameCred, L"Password:", 120, 720, 975, 255},
    {frameHidden, nullptr, std::nullopt, L"Advanced Options", 0, 2040, 3615, 2775},
    {cmbDriveLetter, L"ComboBox", frameHidden, L"M:", 1080, 240, 2415, 315},
    {txtWebSite, L"Edit", frameHidden, kLookupPage, 1080, 960, 2415, 285},
    {txtDomain, L"Edit", frameHidden, L"CAMPUS", 1080, 600, 2415, 285},
    {txtInfo, L"Edit", frameHidden, L"", 120, 1320, 3375, 1335},
    {Label5, L"Static", frameHidden, L"Web Site:", 120, 960, 735, 255},
    {Label4, L"Static", frameHidden, L"Domain:", 120, 600, 735, 255},
    {Label3, L"Static", frameHidden, L"Drive Letter:", 120, 240, 975, 255},
};

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
    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE(TabIndexOf(expected.id));
        HWND control = Find(expected.id);
        ASSERT_NE(control, nullptr);
        HWND container = expected.container ? Find(*expected.container) : Main();
        EXPECT_EQ(::GetParent(control), container);
        if (expected.windowClass != nullptr) {
            wchar_t name[32] = {};
            ::GetClassNameW(control, name, 32);
            EXPECT_STREQ(name, expected.windowClass);
        }
        EXPECT_EQ(TextOf(expected.id), expected.text);

        RECT place;
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_NEAR(place.left, Pixels(expected.left, Dpi()), 1);
        EXPECT_NEAR(place.top, Pixels(expected.top, Dpi()), 1);
        EXPECT_NEAR(place.right - place.left, Pixels(expected.width, Dpi()), 1);
        EXPECT_NEAR(place.bottom - place.top, Pixels(expected.height, Dpi()), 1);
    }
}

TEST_F(MainWindowLayoutTest, FixedDialogWithCloseBoxOnlyCentredAndCollapsedAtStart) {
    EXPECT_EQ(TextOf(lblVer), L"v" + std::to_wstring(kVersionMajor) + L"." +
                                  std::to_wstring(kVersionMinor) + L"." +
                                  std::to_wstring(kVersionRevision));
    wchar_t caption[64] = {};
    ::GetWindowTextW(Main(), caption, 64);
    EXPECT_STREQ(caption, L"Brisvane Utility");
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
        SCOPED_TRACE(TabIndexOf(id));
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
        SCOPED_TRACE(TabIndexOf(id));
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
    EXPECT_STREQ(static_cast<const wchar_t*>(::GlobalLock(copied)), L"CAMPUS");
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
    EXPECT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 2);
    const std::pair<ControlId, const wchar_t*> tips[] = {
        {txtUname, L"Please enter your username"}, {txtPasswd, L"Please enter your password"}};
    for (const auto& [id, tip] : tips) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Main();
        tool.uId = reinterpret_cast<UINT_PTR>(Find(id));
        tool.lpszText = text;
        ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(text, tip);
    }
}

// What assistive technology sees of the window, read in this process through the system's
// accessibility objects (Wine 8 gives none to another process).
class MainWindowAccessibilityTest : public WindowTest {
  protected:
    MainWindowAccessibilityTest() {
        Open();
        Click(chkAdvanced);  // every labelled box in view
    }
    ~MainWindowAccessibilityTest() override { window.reset(); }  // while COM is there

    // The name the system gives the control; a text in parentheses when it gives none.
    static std::wstring AccessibleName(HWND control) {
        IAccessible* found = nullptr;
        if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                                IID_IAccessible,
                                                reinterpret_cast<void**>(&found)))) {
            return L"(no accessible object)";
        }
        const UniqueCom<IAccessible> object(found);
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        if (FAILED(object->get_accName(self, &name)) || name == nullptr) {
            return L"(no name)";
        }
        std::wstring text(name, ::SysStringLen(name));
        ::SysFreeString(name);
        return text;
    }

    ComApartment com;  // before the window, which names its log through COM
};

struct LabelledBox {
    ControlId label;
    ControlId box;
    const wchar_t* name;  // null: not read (Wine 8 names a combo box after its text)
};
constexpr LabelledBox kLabelledBoxes[] = {
    {Label1, txtUname, L"Username:"},   {Label2, txtPasswd, L"Password:"},
    {Label3, cmbDriveLetter, nullptr},  {Label4, txtDomain, L"Domain:"},
    {Label5, txtWebSite, L"Web Site:"},
};

// Windows names an unlabelled box after the label just above it in Z order. (The tab order,
// which the keyboard tests check, follows the same Z order.)
TEST_F(MainWindowAccessibilityTest, EachBoxHasItsLabelJustAboveItAndIsNamedAfterIt) {
    for (const LabelledBox& pair : kLabelledBoxes) {
        SCOPED_TRACE(TabIndexOf(pair.box));
        EXPECT_EQ(::GetWindow(Find(pair.box), GW_HWNDPREV), Find(pair.label));
        if (pair.name != nullptr) {
            EXPECT_EQ(AccessibleName(Find(pair.box)), pair.name);
        }
    }
}

// Username:, Password: and Drive Letter: reach under their boxes, and stand above them: the
// labels' windows leave that part out, so that they neither paint over the boxes nor hide them.
TEST_F(MainWindowAccessibilityTest, NoLabelCoversItsBox) {
    for (const LabelledBox& pair : kLabelledBoxes) {
        SCOPED_TRACE(TabIndexOf(pair.box));
        RECT label;
        RECT box;
        ::GetWindowRect(Find(pair.label), &label);
        ::GetWindowRect(Find(pair.box), &box);
        const UniqueRegion shown(::CreateRectRgn(0, 0, 0, 0));
        if (::GetWindowRgn(Find(pair.label), shown.get()) == ERROR) {
            ::SetRectRgn(shown.get(), 0, 0, label.right - label.left, label.bottom - label.top);
        }
        EXPECT_TRUE(::PtInRegion(shown.get(), 0, 0));  // where the label's text begins
        // Each corner of the box, in the label's coordinates.
        for (const LONG x : {box.left, box.right - 1}) {
            for (const LONG y : {box.top, box.bottom - 1}) {
                EXPECT_FALSE(::PtInRegion(shown.get(), x - label.left, y - label.top));
            }
        }
    }
}

// Where the system takes annotations (Windows; Wine 8's SetHwndPropStr answers E_NOTIMPL), the
// log, which has no label, is named by its own annotation.
TEST_F(MainWindowAccessibilityTest, TheLogIsNamedActivityLogWhereTheSystemAnnotates) {
    IAccPropServices* created = nullptr;
    ASSERT_TRUE(
        SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IAccPropServices, reinterpret_cast<void**>(&created))));
    const UniqueCom<IAccPropServices> services(created);
    const HRESULT annotated = services->SetHwndPropStr(
        Find(lblVer), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, L"probe");
    if (annotated == E_NOTIMPL) {
        GTEST_SKIP() << "this system does not annotate";
    }
    ASSERT_TRUE(SUCCEEDED(annotated));
    EXPECT_EQ(AccessibleName(Find(txtInfo)), L"Activity log");
}

}  // namespace
}  // namespace brisvane::testing
