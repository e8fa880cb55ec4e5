#include "window/control_table.h"

#include <array>

#include "mount/build_settings.h"

namespace brisvane {

namespace {

using enum ControlId;
using enum ControlKind;

// What the credential boxes hold: as much as Windows' own credential dialogs take, so that a
// pasted password or a long e-mail username is never cut.
constexpr int kCredentialLimit = 256;

constexpr std::array<ControlSpec, kControlCount> kControls{{
    {frameHidden, kFrame, std::nullopt, u"Advanced Options", {0, 2040, 3615, 2775}, 0, u""},
    {txtUname,
     kTextBox,
     frameCred,
     u"",
     {960, 240, 2415, 285},
     kCredentialLimit,
     u"Please enter your username"},
    {txtPasswd,
     kPasswordBox,
     frameCred,
     u"",
     {960, 720, 2415, 285},
     kCredentialLimit,
     u"Please enter your password"},
    {chkAdvanced, kCheckBox, frameCred, u"Advanced Options", {960, 1080, 1812, 252}, 0, u""},
    {btnOK, kPushButton, frameCred, u"OK", {960, 1440, 1215, 375}, 0, u""},
    {btnCancel, kPushButton, frameCred, u"Cancel", {2280, 1440, 1215, 375}, 0, u""},
    {cmbDriveLetter, kDropDownCombo, frameHidden, u"", {1080, 240, 2415, 315}, 0, u""},
    {txtDomain, kReadOnlyTextBox, frameHidden, u"CAMPUS", {1080, 600, 2415, 285}, 0, u""},
    {txtWebSite, kReadOnlyTextBox, frameHidden, LookupPageUrl, {1080, 960, 2415, 285}, 0, u""},
    {txtInfo, kLogBox, frameHidden, u"", {120, 1320, 3375, 1335}, 0, u""},
    {Label3, kLabel, frameHidden, u"Drive Letter:", {120, 240, 975, 255}, 0, u""},
    {Label4, kLabel, frameHidden, u"Domain:", {120, 600, 735, 255}, 0, u""},
    {Label5, kLabel, frameHidden, u"Web Site:", {120, 960, 735, 255}, 0, u""},
    {frameCred, kFrame, std::nullopt, u"University Credentials", {0, 0, 3615, 1935}, 0, u""},
    {lblVer, kLabel, frameCred, u"ver", {120, 1440, 495, 255}, 0, u""},
    {Label2, kLabel, frameCred, u"Password:", {120, 720, 975, 255}, 0, u""},
    {Label1, kLabel, frameCred, u"Username:", {120, 240, 975, 255}, 0, u""},
}};

constexpr bool RowsAreInTabOrder() {
    for (int index = 0; index < kControlCount; ++index) {
        if (kControls[static_cast<std::size_t>(index)].id != ControlIdAt(index)) {
            return false;
        }
    }
    return true;
}
static_assert(RowsAreInTabOrder(), "SpecOf finds a control's row by its tab index");

}  // namespace

std::span<const ControlSpec> ControlTable() {
    return kControls;
}

const ControlSpec& SpecOf(ControlId id) {
    return kControls.at(static_cast<std::size_t>(TabIndexOf(id)));
}

std::span<const TextView> OrganisationFileServers() {
    return FileServers;
}

}  // namespace brisvane
