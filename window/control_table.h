// The main window as data: every control's kind, container, initial text, place and size in
// twips, tab index and input settings. The window is built from this table and the organisation
// whose texts it shows.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "mount/organisation.h"
#include "mount/text.h"
#include "window/control_ids.h"

namespace brisvane {

enum class ControlKind {
    kFrame,            // a captioned container for other controls
    kLabel,            // caption only, never takes the focus
    kTextBox,          // single-line, editable
    kPasswordBox,      // single-line, shows "*" for every character, no input-method editor
    kReadOnlyTextBox,  // single-line, selectable and copyable, inactive-border background
    kLogBox,           // multi-line, read-only, vertical scroll bar, lines wrap, log font
    kCheckBox,
    kPushButton,     // never the default or cancel button
    kDropDownCombo,  // editable text field with an unsorted list
};

// Position and size in twips (1/1440 inch), relative to the container's client area.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// One row of the table: one control.
struct ControlEntry {
    ControlId id;  // fixed for good, whatever the tab index
    ControlKind kind;
    std::optional<ControlId> container;  // none: the window's client area
    TextView text;                       // initial text or caption
    TwipsRect twips;
    int tabIndex;        // the control's place in the focus order, from 0
    int characterLimit;  // 0: no limit beyond the control's own
    TextView tooltip;    // empty: none
};

// The client width never changes. The design height is never seen: the load sets the outer
// height from the frames.
inline constexpr int kClientWidthTwips = 3705;
inline constexpr int kDesignClientHeightTwips = 4905;

using ControlTableRows = std::array<ControlEntry, kControlCount>;

// Every control of `organisation`'s window, in tab order. The credential frame's caption, the
// domain box and the web-site box hold the organisation's texts.
ControlTableRows ControlTable(const Organisation& organisation);

// Where control `id`'s row stands in ControlTable, the same for every organisation.
std::size_t RowOf(ControlId id);

// The row of control `id` in `organisation`'s window.
ControlEntry EntryOf(ControlId id, const Organisation& organisation);

// A label and the control whose name it gives.
struct LabelledControl {
    ControlId label;
    ControlId control;
};

// The five labels that name a box: Username:, Password:, Drive Letter:, Domain:, Web Site:.
std::span<const LabelledControl> LabelledControls();

// Every control in the order the window stacks it among its siblings, from the top of the Z
// order down: by tab index, except that each label of LabelledControls stands immediately
// before the control it names. The dialog keys go through the controls that take the focus
// from the top down, so the tab order stays that of the tab index; accessibility tools name an
// unlabelled box after the label just before it.
std::array<ControlId, kControlCount> StackingOrder();

}  // namespace brisvane
