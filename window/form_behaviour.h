// What the main window does apart from the mount request and the log: loading, collapsing and
// expanding around the advanced frame, starting the mount request on OK and on Enter in the
// credential boxes, and closing.
#pragma once

#include <cstdint>
#include <functional>

#include "mount/text.h"
#include "window/form_view.h"

namespace brisvane {

// The virtual key code of Enter, as key-down events report it.
inline constexpr std::uint16_t kEnterKey = 13;

// The modifier state of a key-down event: a combination of these bits.
enum KeyModifier : std::uint16_t { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

class FormBehaviour {
  public:
    // `mountRequest` runs one whole mount request and returns when it has ended.
    FormBehaviour(FormView& view, std::function<void()> mountRequest);

    void Form_Load();
    // A click on OK: runs the mount request (btnOK_Click), as Enter in either credential box
    // does.
    void RunMountRequest();
    void chkAdvanced_Click();
    void txtUname_KeyDown(std::uint16_t keyCode, std::uint16_t shift);
    void txtPasswd_KeyDown(std::uint16_t keyCode, std::uint16_t shift);
    void btnCancel_Click();
    // The window's close (CloseApp), for Cancel and for the mount request after a successful
    // mapping: empties both credential boxes, then unloads the window.
    void EmptyCredentialsAndUnload();

    // Outer heights in twips, set once by Form_Load.
    std::int16_t CollapsedHeight() const { return collapsedHeight_; }
    std::int16_t ExpandedHeight() const { return expandedHeight_; }

  private:
    void FillDriveLetters();
    void RunMountRequestOnEnter(std::uint16_t keyCode);

    FormView& view_;
    std::function<void()> mountRequest_;
    std::int16_t collapsedHeight_ = 0;
    std::int16_t expandedHeight_ = 0;
};

// The outer window height that shows `frame` in full: its Top and Height plus 400 twips for the
// title bar and borders, rounded to the nearest integer (a half to the even neighbour). Raises
// WorkflowError 6 ("Overflow") when the sum does not fit in 16 bits.
std::int16_t OuterHeightShowing(FrameExtent frame);

}  // namespace brisvane
