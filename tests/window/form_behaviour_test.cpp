#include "window/form_behaviour.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"
#include "version.h"

namespace brisvane::test_support {
namespace {

// Records every call on the window, in order, as readable text.
class FakeView : public FormView {
  public:
    FrameExtent CredentialFrame() const override { return credentialFrame; }
    FrameExtent AdvancedFrame() const override { return advancedFrame; }
    void SetVersionCaption(TextView caption) override {
        calls.push_back("caption " + ToUtf8(caption));
    }
    void SetOuterHeight(std::int16_t twips) override {
        calls.push_back("height " + std::to_string(twips));
    }
    void AppendDriveLetter(TextView entry) override { driveLetters.push_back(ToUtf8(entry)); }
    void SelectDriveLetter(int index) override {
        calls.push_back("select " + std::to_string(index));
    }
    void ShowWindow() override { calls.emplace_back("show"); }
    void FocusUsername() override { calls.emplace_back("focus username"); }
    CheckValue AdvancedValue() const override { return advancedValue; }
    void ShowAdvancedFrame(bool visible) override {
        calls.push_back(visible ? "show advanced" : "hide advanced");
    }
    void ClearUsername() override { calls.emplace_back("clear username"); }
    void ClearPassword() override { calls.emplace_back("clear password"); }
    void Unload() override { calls.emplace_back("unload"); }

    // frmMount's frames as laid out.
    FrameExtent credentialFrame{0, 1935};
    FrameExtent advancedFrame{2040, 2775};
    CheckValue advancedValue = CheckValue::kUnticked;
    std::vector<std::string> calls;
    std::vector<std::string> driveLetters;
};

class FormBehaviourTest : public ::testing::Test {
  protected:
    FakeView view;
    int mountRequests = 0;
    FormBehaviour form{view, [this] { ++mountRequests; }};
};

using Calls = std::vector<std::string>;

TEST_F(FormBehaviourTest, LoadCollapsesTheWindowFillsTheDriveLettersThenShowsAndFocuses) {
    form.Form_Load();

    const std::string caption = "caption v" + std::to_string(kVersionMajor) + "." +
                                std::to_string(kVersionMinor) + "." +
                                std::to_string(kVersionRevision);
    EXPECT_EQ(view.calls, (Calls{caption, "height 2335", "select 9", "show", "focus username"}));
    EXPECT_EQ(form.CollapsedHeight(), 2335);
    EXPECT_EQ(form.ExpandedHeight(), 5215);
    EXPECT_EQ(mountRequests, 0);
}

TEST_F(FormBehaviourTest, DriveLettersRunFromDToZWithMAtTheSelectedIndex) {
    form.Form_Load();

    ASSERT_EQ(view.driveLetters.size(), 23u);
    for (std::size_t index = 0; index < view.driveLetters.size(); ++index) {
        const std::string expected = {static_cast<char>('D' + index), ':'};
        EXPECT_EQ(view.driveLetters[index], expected);
    }
    EXPECT_EQ(view.driveLetters[9], "M:");
}

TEST_F(FormBehaviourTest, LoadWithAFrameBeyondSixteenBitsRaisesOverflowAndShowsNothing) {
    view.advancedFrame = {2040, 40000};

    try {
        form.Form_Load();
        FAIL() << "expected an overflow";
    } catch (const WorkflowError& error) {
        EXPECT_EQ(error.Number(), 6);
        EXPECT_EQ(error.Description(), texts::kOverflow);
    }
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(FormBehaviourTest, AdvancedOptionsResizeFirstThenShowOrHideTheFrame) {
    form.Form_Load();
    view.calls.clear();

    view.advancedValue = CheckValue::kTicked;
    form.chkAdvanced_Click();
    view.advancedValue = CheckValue::kUnticked;
    form.chkAdvanced_Click();
    view.advancedValue = CheckValue::kGreyed;
    form.chkAdvanced_Click();

    EXPECT_EQ(view.calls, (Calls{"height 5215", "show advanced", "height 2335", "hide advanced",
                                 "height 2335", "hide advanced"}));
}

TEST_F(FormBehaviourTest, EnterInEitherCredentialBoxRunsTheMountRequestWhateverTheModifiers) {
    const std::uint16_t modifierStates[] = {0, kShiftKey, kCtrlKey, kAltKey,
                                            kShiftKey | kCtrlKey | kAltKey};
    for (const std::uint16_t shift : modifierStates) {
        mountRequests = 0;
        form.txtUname_KeyDown(kEnterKey, shift);
        form.txtPasswd_KeyDown(kEnterKey, shift);
        EXPECT_EQ(mountRequests, 2) << "modifiers " << shift;
    }
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(FormBehaviourTest, OtherKeysInTheCredentialBoxesDoNothing) {
    // Tab, line feed, Escape, Space, 'M', and Enter's code with a high byte set.
    const std::uint16_t keys[] = {9, 10, 27, 32, 77, 0x010D};
    for (const std::uint16_t key : keys) {
        form.txtUname_KeyDown(key, 0);
        form.txtPasswd_KeyDown(key, kShiftKey);
    }
    EXPECT_EQ(mountRequests, 0);
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(FormBehaviourTest, CancelEmptiesBothCredentialBoxesBeforeUnloading) {
    form.btnCancel_Click();

    EXPECT_EQ(view.calls, (Calls{"clear username", "clear password", "unload"}));
    EXPECT_EQ(mountRequests, 0);
}

struct HeightCase {
    FrameExtent frame;
    int expected;
};

TEST(OuterHeightShowingTest, AddsRoomForTheChromeAndRoundsHalvesToEven) {
    const HeightCase cases[] = {
        {{0, 1935}, 2335},    {{2040, 2775}, 5215}, {{0.5f, 0}, 400},      {{1.5f, 0}, 402},
        {{0.25f, 0.5f}, 401}, {{0, 32367}, 32767},  {{-33168, 0}, -32768}, {{-100.5f, 0}, 300},
    };
    for (const HeightCase& c : cases) {
        EXPECT_EQ(OuterHeightShowing(c.frame), c.expected)
            << "top " << c.frame.top << " height " << c.frame.height;
    }
}

TEST(OuterHeightShowingTest, RaisesOverflowOutsideSixteenBits) {
    // 32767.5 rounds to the even 32768, one beyond the range.
    const FrameExtent frames[] = {{0, 32368}, {0, 32367.5f}, {-33169, 0}, {0, 1e30f}};
    for (const FrameExtent& frame : frames) {
        EXPECT_THROW(OuterHeightShowing(frame), WorkflowError) << "height " << frame.height;
    }
}

}  // namespace
}  // namespace brisvane::test_support
