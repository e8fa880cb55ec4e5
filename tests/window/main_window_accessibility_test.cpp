// The window as assistive technology sees it: names, labels and annotations.
#include <windows.h>

#include <initguid.h>  // defines the GUIDs of oleacc.h here
#include <oleacc.h>

#include <string>

#include "mount/member_texts.h"
#include "win32/com_owners.h"
#include "win32/owners.h"
#include "window/control_table.h"
#include "window_test_support.h"

namespace brisvane::test_support {
namespace {

using enum ControlId;

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

// Windows names an unlabelled box after the label just above it in Z order. (The tab order,
// which the keyboard tests check, follows the same Z order.)
TEST_F(MainWindowAccessibilityTest, EachBoxHasItsLabelJustAboveItAndIsNamedAfterIt) {
    ASSERT_EQ(LabelledControls().size(), 5u);
    for (const LabelledControl& pair : LabelledControls()) {
        SCOPED_TRACE(static_cast<int>(pair.control));
        EXPECT_EQ(::GetWindow(Find(pair.control), GW_HWNDPREV), Find(pair.label));
        // Wine 8 names a combo box after its text.
        if (pair.control != cmbDriveLetter) {
            EXPECT_EQ(AccessibleName(Find(pair.control)),
                      Wide(EntryOf(pair.label, kTestOrganisation).text));
        }
    }
}

// Username:, Password: and Drive Letter: reach under their boxes, and stand above them: the
// labels' windows leave that part out, so that they neither paint over the boxes nor hide them.
TEST_F(MainWindowAccessibilityTest, NoLabelCoversItsBox) {
    for (const LabelledControl& pair : LabelledControls()) {
        SCOPED_TRACE(static_cast<int>(pair.control));
        RECT label;
        RECT box;
        ::GetWindowRect(Find(pair.label), &label);
        ::GetWindowRect(Find(pair.control), &box);
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
    EXPECT_EQ(AccessibleName(Find(txtInfo)), Wide(texts::kActivityLogName));
}

}  // namespace
}  // namespace brisvane::test_support
