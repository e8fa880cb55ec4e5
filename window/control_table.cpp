#include "window/control_table.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "mount/member_texts.h"

namespace brisvane {

namespace {

using enum ControlId;
using enum ControlKind;
using namespace texts;

// What the credential boxes hold: as much as Windows' own credential dialogs take, so that a
// pasted password or a long e-mail username is never cut.
constexpr int kCredentialLimit = 256;

constexpr ControlTableRows Controls(const Organisation& organisation) {
    return {{
        {frameHidden, kFrame, std::nullopt, kAdvancedOptions, {0, 2040, 3615, 2775}, 0, 0, u""},
        {txtUname,
         kTextBox,
         frameCred,
         u"",
         {960, 240, 2415, 285},
         1,
         kCredentialLimit,
         kUsernameTooltip},
        {txtPasswd,
         kPasswordBox,
         frameCred,
         u"",
         {960, 720, 2415, 285},
         2,
         kCredentialLimit,
         kPasswordTooltip},
        {chkAdvanced, kCheckBox, frameCred, kAdvancedOptions, {960, 1080, 1812, 252}, 3, 0, u""},
        {btnOK, kPushButton, frameCred, kOK, {960, 1440, 1215, 375}, 4, 0, u""},
        {btnCancel, kPushButton, frameCred, kCancel, {2280, 1440, 1215, 375}, 5, 0, u""},
        {cmbDriveLetter, kDropDownCombo, frameHidden, u"", {1080, 240, 2415, 315}, 6, 0, u""},
        {txtDomain,
         kReadOnlyTextBox,
         frameHidden,
         organisation.logonDomain,
         {1080, 600, 2415, 285},
         7,
         0,
         u""},
        {txtWebSite,
         kReadOnlyTextBox,
         frameHidden,
         organisation.lookupPageUrl,
         {1080, 960, 2415, 285},
         8,
         0,
         u""},
        {txtInfo, kLogBox, frameHidden, u"", {120, 1320, 3375, 1335}, 9, 0, u""},
        {Label3, kLabel, frameHidden, kDriveLetterLabel, {120, 240, 975, 255}, 10, 0, u""},
        {Label4, kLabel, frameHidden, kDomainLabel, {120, 600, 735, 255}, 11, 0, u""},
        {Label5, kLabel, frameHidden, kWebSiteLabel, {120, 960, 735, 255}, 12, 0, u""},
        {frameCred,
         kFrame,
         std::nullopt,
         organisation.credentialsCaption,
         {0, 0, 3615, 1935},
         13,
         0,
         u""},
        {lblVer, kLabel, frameCred, kVersionPlaceholder, {120, 1440, 495, 255}, 14, 0, u""},
        {Label2, kLabel, frameCred, kPasswordLabel, {120, 720, 975, 255}, 15, 0, u""},
        {Label1, kLabel, frameCred, kUsernameLabel, {120, 240, 975, 255}, 16, 0, u""},
    }};
}

// The rows of any organisation's window: the organisation fills in texts, never the layout.
constexpr ControlTableRows kControls = Controls(Organisation{});

// The rows stand in tab order, so that each row's place is its tab index: the stacking order
// below goes through them in that order.
constexpr bool RowsAreInTabOrder() {
    for (std::size_t row = 0; row < kControls.size(); ++row) {
        if (kControls[row].tabIndex != static_cast<int>(row)) {
            return false;
        }
    }
    return true;
}
static_assert(RowsAreInTabOrder());

// Every control has an ID of its own.
constexpr bool IdsAreUnique() {
    for (std::size_t row = 0; row < kControls.size(); ++row) {
        for (std::size_t other = row + 1; other < kControls.size(); ++other) {
            if (kControls[row].id == kControls[other].id) {
                return false;
            }
        }
    }
    return true;
}
static_assert(IdsAreUnique());

constexpr std::size_t RowIndexOf(ControlId id) {
    return static_cast<std::size_t>(std::ranges::find(kControls, id, &ControlEntry::id) -
                                    kControls.begin());
}

constexpr std::array<LabelledControl, 5> kLabels{{
    {Label1, txtUname},
    {Label2, txtPasswd},
    {Label3, cmbDriveLetter},
    {Label4, txtDomain},
    {Label5, txtWebSite},
}};

// A label stacks with its control, so both must be children of the same window.
constexpr std::optional<ControlId> ContainerOf(ControlId id) {
    return kControls.at(RowIndexOf(id)).container;
}
constexpr bool LabelsShareTheirControlsContainers() {
    return std::ranges::all_of(kLabels, [](const LabelledControl& pair) {
        return ContainerOf(pair.label) == ContainerOf(pair.control);
    });
}
static_assert(LabelsShareTheirControlsContainers());

constexpr std::optional<ControlId> LabelOf(ControlId control) {
    for (const LabelledControl& pair : kLabels) {
        if (pair.control == control) {
            return pair.label;
        }
    }
    return std::nullopt;
}

constexpr bool NamesAControl(ControlId label) {
    return std::ranges::any_of(
        kLabels, [label](const LabelledControl& pair) { return pair.label == label; });
}

}  // namespace

ControlTableRows ControlTable(const Organisation& organisation) {
    return Controls(organisation);
}

std::size_t RowOf(ControlId id) {
    return RowIndexOf(id);
}

ControlEntry EntryOf(ControlId id, const Organisation& organisation) {
    return Controls(organisation).at(RowOf(id));
}

std::span<const LabelledControl> LabelledControls() {
    return kLabels;
}

std::array<ControlId, kControlCount> StackingOrder() {
    std::array<ControlId, kControlCount> order{};
    std::size_t next = 0;
    for (const ControlEntry& entry : kControls) {
        if (NamesAControl(entry.id)) {
            continue;  // placed with its control
        }
        if (const std::optional<ControlId> label = LabelOf(entry.id)) {
            order.at(next++) = *label;
        }
        order.at(next++) = entry.id;
    }
    return order;
}

}  // namespace brisvane
