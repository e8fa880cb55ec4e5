#include "window/form_behaviour.h"

#include <cmath>
#include <limits>
#include <utility>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"
#include "version.h"

namespace brisvane {

namespace {

// Room for the title bar and the borders around a frame.
constexpr double kWindowChromeTwips = 400;

// The error number and text of a value that does not fit its integer type.
constexpr std::int32_t kOverflow = 6;

constexpr char16_t kFirstDriveLetter = u'D';
constexpr char16_t kLastDriveLetter = u'Z';
constexpr int kInitialDriveIndex = 9;  // "M:"

}  // namespace

std::int16_t OuterHeightShowing(FrameExtent frame) {
    const double sum = double{frame.height} + double{frame.top} + kWindowChromeTwips;
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double rounded = std::nearbyint(sum);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        throw WorkflowError(kOverflow, Text(texts::kOverflow));
    }
    return static_cast<std::int16_t>(rounded);
}

FormBehaviour::FormBehaviour(FormView& view, std::function<void()> mountRequest)
    : view_(view), mountRequest_(std::move(mountRequest)) {}

void FormBehaviour::Form_Load() {
    collapsedHeight_ = OuterHeightShowing(view_.CredentialFrame());
    expandedHeight_ = OuterHeightShowing(view_.AdvancedFrame());
    view_.SetVersionCaption(texts::VersionCaption(kVersionMajor, kVersionMinor, kVersionRevision));
    view_.SetOuterHeight(collapsedHeight_);
    FillDriveLetters();
    // Shown before the load ends: only a visible window can take the focus.
    view_.ShowWindow();
    view_.FocusUsername();
}

void FormBehaviour::RunMountRequest() {
    mountRequest_();
}

void FormBehaviour::chkAdvanced_Click() {
    // Reread on every click, so the window always matches the box.
    if (view_.AdvancedValue() == CheckValue::kTicked) {
        view_.SetOuterHeight(expandedHeight_);
        view_.ShowAdvancedFrame(true);
    } else {
        view_.SetOuterHeight(collapsedHeight_);
        view_.ShowAdvancedFrame(false);
    }
}

void FormBehaviour::txtUname_KeyDown(std::uint16_t keyCode, std::uint16_t /*shift*/) {
    RunMountRequestOnEnter(keyCode);
}

void FormBehaviour::txtPasswd_KeyDown(std::uint16_t keyCode, std::uint16_t /*shift*/) {
    RunMountRequestOnEnter(keyCode);
}

// The modifiers are not examined: Shift, Ctrl or Alt with Enter start the request too.
void FormBehaviour::RunMountRequestOnEnter(std::uint16_t keyCode) {
    if (keyCode == kEnterKey) {
        RunMountRequest();
    }
}

void FormBehaviour::btnCancel_Click() {
    EmptyCredentialsAndUnload();
}

void FormBehaviour::EmptyCredentialsAndUnload() {
    view_.ClearUsername();
    view_.ClearPassword();
    view_.Unload();
}

void FormBehaviour::FillDriveLetters() {
    for (char16_t letter = kFirstDriveLetter; letter <= kLastDriveLetter; ++letter) {
        const Text entry{letter, u':'};
        view_.AppendDriveLetter(entry);
    }
    view_.SelectDriveLetter(kInitialDriveIndex);
}

}  // namespace brisvane
