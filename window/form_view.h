// The main window frmMount as its behaviour sees it: the operations on its controls that
// loading, expanding and closing need. The Win32 window implements it; tests fake it.
#pragma once

#include <cstdint>

#include "mount/text.h"

namespace brisvane {

// Top and Height of a frame, in twips.
struct FrameExtent {
    float top;
    float height;
};

// The value of a check box.
enum class CheckValue : std::int16_t { kUnticked = 0, kTicked = 1, kGreyed = 2 };

class FormView {
  public:
    virtual ~FormView() = default;

    virtual FrameExtent CredentialFrame() const = 0;  // frameCred
    virtual FrameExtent AdvancedFrame() const = 0;    // frameHidden

    // Sets the caption of lblVer.
    virtual void SetVersionCaption(TextView caption) = 0;
    // Sets the window's outer height (title bar and borders included); the width stays.
    virtual void SetOuterHeight(std::int16_t twips) = 0;

    // Appends an entry at the end of cmbDriveLetter's list.
    virtual void AppendDriveLetter(TextView entry) = 0;
    // Selects the list entry at `index` (from 0); it becomes the combo's text.
    virtual void SelectDriveLetter(int index) = 0;

    // Shows the window, not modal, centred on the screen the first time.
    virtual void ShowWindow() = 0;
    virtual void FocusUsername() = 0;

    virtual CheckValue AdvancedValue() const = 0;  // chkAdvanced
    virtual void ShowAdvancedFrame(bool visible) = 0;

    virtual void ClearUsername() = 0;  // txtUname
    virtual void ClearPassword() = 0;  // txtPasswd
    // Destroys the window; the program ends once the event being handled has returned.
    virtual void Unload() = 0;
};

}  // namespace brisvane
