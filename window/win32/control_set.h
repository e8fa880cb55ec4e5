// The controls of the main window, built from the control table alone: created in the table's
// order inside the window and its frames, stacked for the dialog keys and screen readers, laid
// out with their fonts at the window's DPI, coloured by their kind, and given their tooltips
// once the window is in view.
// The controls and the tooltip are children of the window and go with it; the fonts they use
// are owned here and must outlive them.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "win32/com_owners.h"
#include "win32/owners.h"
#include "window/control_ids.h"
#include "window/control_table.h"

namespace brisvane::window {

class ControlSet {
  public:
    // Creates every control of `organisation`'s table in `window` and its frames, stacked. Only
    // the credential frame is in view; LayOut places and sizes them all.
    ControlSet(HWND window, HINSTANCE instance, const Organisation& organisation);
    ~ControlSet() = default;
    // The controls' handles are shared with the window that holds them.
    ControlSet(const ControlSet&) = delete;
    ControlSet& operator=(const ControlSet&) = delete;

    // Null once the window has been destroyed.
    HWND Control(ControlId id) const;

    // Gives every control its font, place and size at `dpi`.
    void LayOut(UINT dpi);

    // Sets in `dc` the text and background colours that `control`'s kind gives it, and returns
    // its background brush; null where its kind keeps the default colours.
    HBRUSH SetColours(HDC dc, HWND control) const;

    // Gives the controls their tooltips, once. Nobody can point at a control before the window
    // is in view and its messages run, so the window is shown first and this comes after.
    void AddTooltips(HWND window);

    // Gives the log its accessible name, the first time it comes into view.
    void NameTheLog();

    // The system has destroyed the controls with the window.
    void ForgetControls() noexcept;

  private:
    const ControlEntry& EntryOf(ControlId id) const;
    void CreateControls(HWND window);
    void StackControls();
    void KeepLabelsBesideTheirBoxes();

    HINSTANCE instance_;
    ControlTableRows table_;
    std::array<HWND, kControlCount> controls_{};  // children: destroyed with the window
    HWND tooltip_ = nullptr;                      // owned by the window, destroyed with it
    UniqueFont dialogFont_;
    UniqueFont logFont_;
    // COM on this thread from the log's naming on, for as long as the controls live.
    std::optional<ComApartment> com_;
};

}  // namespace brisvane::window
