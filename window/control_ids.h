// The fixed ID of every control of the main window. Tests, automation and accessibility tools
// find the controls by these numbers, so each control keeps its number for good, whatever its
// place in the tab order (a column of the control table), and a new control takes a new one.
#pragma once

namespace brisvane {

enum class ControlId : int {
    frameHidden = 1000,
    txtUname = 1001,
    txtPasswd = 1002,
    chkAdvanced = 1003,
    btnOK = 1004,
    btnCancel = 1005,
    cmbDriveLetter = 1006,
    txtDomain = 1007,
    txtWebSite = 1008,
    txtInfo = 1009,
    Label3 = 1010,
    Label4 = 1011,
    Label5 = 1012,
    frameCred = 1013,
    lblVer = 1014,
    Label2 = 1015,
    Label1 = 1016,
};

inline constexpr int kControlCount = 17;

}  // namespace brisvane
