// The drive probe over the real volume API of the test's Wine prefix.
#include "services/drive_probe.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "standins/wine_drive.h"
#include "testing/test_folders.h"
#include "win32/text.h"

namespace brisvane {
namespace {

using test_support::UnusedDriveLetter;

TEST(DriveNameOfTest, TakesTheDriveNameAsTheScriptingRuntimeDoes) {
    struct Case {
        Text path;
        Text drive;
    };
    const Case cases[] = {
        {u"M:", u"M:"},
        {u"m:\\folder\\file", u"m:"},
        {u"\\\\srv1\\user1", u"\\\\srv1\\user1"},
        {u"\\\\srv1\\user1\\folder", u"\\\\srv1\\user1"},
        {u"M", u""},
        {u"", u""},
        {u" M:", u""},
        {u"1:", u""},
        {u"\\\\srv1", u""},
        {u"\\\\srv1\\", u""},
        {u"\\\\\\share", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DriveNameOf(c.path), c.drive) << ToWide(c.path);
    }
}

TEST(VolumeDriveProbeTest, CountsAnExistingReadyDriveAsInUse) {
    VolumeDriveProbe probe;
    for (const TextView text : {u"C:", u"c:", u"C:\\windows"}) {
        EXPECT_TRUE(probe.DriveInUse(text)) << ToWide(text);
    }
}

TEST(VolumeDriveProbeTest, CountsEverythingElseAsFree) {
    const wchar_t letter = UnusedDriveLetter();
    ASSERT_NE(letter, 0);
    const Text unused = Text(1, static_cast<char16_t>(letter)) + u":";
    VolumeDriveProbe probe;
    for (const Text& text :
         {unused, unused.substr(0, 1), Text(u"C"), Text(), Text(u"1:"),
          Text(u"\\\\nohost.invalid\\share"), Text(u"\\\\nohost.invalid\\share\\folder")}) {
        EXPECT_FALSE(probe.DriveInUse(text)) << ToWide(text);
    }
}

TEST(VolumeDriveProbeTest, SeesADriveComeAndGo) {
    const wchar_t letter = UnusedDriveLetter();
    ASSERT_NE(letter, 0);
    const Text drive = Text(1, static_cast<char16_t>(letter)) + u":";
    VolumeDriveProbe probe;

    ASSERT_EQ(standins::DefineWineDrive(letter, test_support::TempFolder(L"brisvane-probe-drive")),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(probe.DriveInUse(drive));
    EXPECT_TRUE(probe.DriveInUse(drive + u"\\folder"));

    ASSERT_EQ(standins::RemoveWineDrive(letter), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(probe.DriveInUse(drive));
}

TEST(VolumeDriveProbeTest, LeavesTheThreadsErrorModeAsItFoundIt) {
    DWORD original = 0;
    ASSERT_TRUE(SetThreadErrorMode(SEM_NOGPFAULTERRORBOX, &original));
    VolumeDriveProbe probe;
    probe.DriveInUse(u"C:");
    const DWORD after = GetThreadErrorMode();
    SetThreadErrorMode(original, nullptr);
    EXPECT_EQ(after, static_cast<DWORD>(SEM_NOGPFAULTERRORBOX));
}

}  // namespace
}  // namespace brisvane
