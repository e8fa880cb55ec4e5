// The keys and the ways out: tab order with and without the advanced frame, Enter and Escape,
// Cancel and the close box.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "mount/member_texts.h"
#include "window_test_support.h"

namespace brisvane::test_support {
namespace {

using enum ControlId;

class MainWindowKeyboardTest : public WindowTest {
  protected:
    MainWindowKeyboardTest() { Open(); }

    std::vector<ControlId> TabAround(int presses) {
        std::vector<ControlId> visited;
        for (int press = 0; press < presses; ++press) {
            PressKey(VK_TAB);
            visited.push_back(FocusedControl().value_or(frameHidden));
        }
        return visited;
    }

    // A mount request has run when the log holds at least its opening.
    bool MountRequestRan() const { return !TextOf(txtInfo).empty(); }

    // Records the credential boxes' texts at the moment the window destroys them.
    void RecordCredentialsAtDestruction() {
        for (const ControlId id : {txtUname, txtPasswd}) {
            ::SetWindowSubclass(Find(id), NoteTextOnDestroy, static_cast<UINT_PTR>(id),
                                reinterpret_cast<DWORD_PTR>(&textsAtDestruction));
        }
    }
    std::map<ControlId, std::wstring> textsAtDestruction;

  private:
    static LRESULT CALLBACK NoteTextOnDestroy(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR texts) {
        if (message == WM_DESTROY) {
            wchar_t text[64] = {};
            ::GetWindowTextW(box, text, 64);
            (*reinterpret_cast<std::map<ControlId, std::wstring>*>(texts))[ControlId(id)] = text;
        } else if (message == WM_NCDESTROY) {
            ::RemoveWindowSubclass(box, NoteTextOnDestroy, id);
        }
        return ::DefSubclassProc(box, message, wParam, lParam);
    }
};

TEST_F(MainWindowKeyboardTest, TabSkipsTheHiddenAdvancedFrame) {
    EXPECT_EQ(TabAround(5),
              (std::vector<ControlId>{txtPasswd, chkAdvanced, btnOK, btnCancel, txtUname}));
}

TEST_F(MainWindowKeyboardTest, TabVisitsTheAdvancedFieldsWhileTheyAreShown) {
    Click(chkAdvanced);
    ::SetFocus(Find(txtUname));
    EXPECT_EQ(TabAround(9),
              (std::vector<ControlId>{txtPasswd, chkAdvanced, btnOK, btnCancel, cmbDriveLetter,
                                      txtDomain, txtWebSite, txtInfo, txtUname}));
}

TEST_F(MainWindowKeyboardTest, EnterInEitherCredentialBoxRunsTheMountRequest) {
    for (const ControlId box : {txtUname, txtPasswd}) {
        SCOPED_TRACE(static_cast<int>(box));
        boxes.shown.clear();
        ::SetFocus(Find(box));
        PressKey(VK_RETURN);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].prompt, texts::kMissingCredentials);
        EXPECT_EQ(TextOf(txtInfo), LogOf({TimeEntry(), Wide(texts::kStartingUp)}));
    }
}

TEST_F(MainWindowKeyboardTest, EnterWithShiftCtrlOrAltRunsTheMountRequestToo) {
    ASSERT_EQ(::GetForegroundWindow(), Main());
    const std::array<WORD, 2> modifiers{VK_SHIFT, VK_CONTROL};
    for (const WORD modifier : modifiers) {
        SCOPED_TRACE(modifier);
        boxes.shown.clear();
        ::SetFocus(Find(txtPasswd));
        std::vector<INPUT> keys(4);
        const WORD order[] = {modifier, VK_RETURN, VK_RETURN, modifier};
        for (std::size_t index = 0; index < keys.size(); ++index) {
            keys[index].type = INPUT_KEYBOARD;
            keys[index].ki.wVk = order[index];
            keys[index].ki.dwFlags = index < 2 ? 0 : KEYEVENTF_KEYUP;
        }
        ASSERT_EQ(::SendInput(4, keys.data(), sizeof(INPUT)), 4u);
        PumpUntil([this] { return !boxes.shown.empty() && ::GetKeyState(VK_RETURN) >= 0; });
        EXPECT_EQ(boxes.shown.size(), 1u);
    }
    // Alt with Enter arrives as a system key.
    boxes.shown.clear();
    ::PostMessageW(Find(txtUname), WM_SYSKEYDOWN, VK_RETURN, 0x20000001);
    Pump();
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(MainWindowKeyboardTest, EnterAndEscapeElsewherePressNothing) {
    Click(chkAdvanced);
    for (const ControlId id : {chkAdvanced, btnOK, btnCancel, cmbDriveLetter, txtDomain, txtWebSite,
                               txtInfo, txtUname, txtPasswd}) {
        SCOPED_TRACE(static_cast<int>(id));
        ::SetFocus(Find(id));
        PressKey(VK_ESCAPE);
        if (id != txtUname && id != txtPasswd) {
            PressKey(VK_RETURN);
        }
        ASSERT_TRUE(::IsWindow(Main()));
        EXPECT_TRUE(::IsWindowVisible(Find(frameHidden)));
        EXPECT_FALSE(MountRequestRan());
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(MainWindowKeyboardTest, CancelEmptiesTheCredentialBoxesAndEndsTheProgram) {
    for (const bool expanded : {false, true}) {
        SCOPED_TRACE(expanded);
        if (expanded) {
            Open();
            Click(chkAdvanced);
        }
        SetText(txtUname, L"user1");
        SetText(txtPasswd, L"secret");
        RecordCredentialsAtDestruction();
        Click(btnCancel);
        EXPECT_EQ(RunUntilEnd(), 0);
        EXPECT_EQ(Main(), nullptr);
        EXPECT_EQ(textsAtDestruction[txtUname], L"");
        EXPECT_EQ(textsAtDestruction[txtPasswd], L"");
    }
}

TEST_F(MainWindowKeyboardTest, CloseBoxEndsTheProgramWithoutEmptyingTheBoxes) {
    SetText(txtUname, L"user1");
    SetText(txtPasswd, L"secret");
    RecordCredentialsAtDestruction();
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(RunUntilEnd(), 0);
    EXPECT_EQ(Main(), nullptr);
    EXPECT_EQ(textsAtDestruction[txtUname], L"user1");
    EXPECT_EQ(textsAtDestruction[txtPasswd], L"secret");
}

}  // namespace
}  // namespace brisvane::test_support
