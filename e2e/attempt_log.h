// What the end-to-end tests expect of an attempt: its activity log, and the end of one that
// mounts the share.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "mount/member_texts.h"
#include "mount/organisation.h"
#include "testing/expected_log.h"
#include "testing/program_driver.h"
#include "win32/text.h"

namespace brisvane {

namespace e2e {

// What every attempt that reaches the lookup logs before it, for this drive letter and member.
inline std::vector<std::wstring> UpToTheLookup(const std::wstring& letter,
                                               const std::wstring& member) {
    return {ToWide(texts::kStartingUp), ToWide(texts::DriveFree(FromWide(letter))),
            ToWide(texts::UsernameEntry(FromWide(member))), ToWide(texts::kPasswordEntry),
            ToWide(texts::kGettingWebPage)};
}

// ... and what an attempt that finds the share logs up to the mapping call.
inline std::vector<std::wstring> UpToTheMapping(const std::wstring& letter,
                                                const std::wstring& member,
                                                const std::wstring& share) {
    std::vector<std::wstring> entries = UpToTheLookup(letter, member);
    const Text userName = Join({ThisOrganisation().logonDomain, u"\\", FromWide(member)});
    entries.insert(
        entries.end(),
        {ToWide(texts::kDone), ToWide(texts::kExtractingServer),
         ToWide(texts::ShareEntry(FromWide(share))), ToWide(texts::kMountingShare),
         ToWide(texts::LocationEntry(FromWide(share))), ToWide(texts::UserNameEntry(userName)),
         ToWide(texts::DriveLtrEntry(FromWide(letter)))});
    return entries;
}

inline std::vector<std::wstring> Followed(std::vector<std::wstring> entries,
                                          std::initializer_list<std::wstring> more) {
    entries.insert(entries.end(), more);
    return entries;
}

// The log of one attempt is its time entry, "---" and the time of day in the member's format,
// and then exactly `entries`; each entry starts with CR LF.
inline void ExpectLog(const std::wstring& log, const std::vector<std::wstring>& entries) {
    static const std::wregex kTimeEntry(
        L"^\r\n---[0-9]{1,2}:[0-9]{2}:[0-9]{2}( ?[AaPp]\\.? ?[Mm]\\.?)?---");
    std::wsmatch timeEntry;
    ASSERT_TRUE(std::regex_search(log, timeEntry, kTimeEntry))
        << "log: " << ::testing::PrintToString(log);
    EXPECT_EQ(timeEntry.suffix().str(), test_support::LogOf<wchar_t>(entries));
}

// Reads the success box of an attempt that mounts `member`'s share on M:, closes it and waits
// for the program to end; its exit code.
inline std::optional<DWORD> ExpectMountedAndEnded(test_support::ProgramDriver& program,
                                                  const std::wstring& member,
                                                  const std::wstring& share) {
    const std::optional<test_support::SeenMessageBox> box = program.WaitForMessageBox();
    if (!box) {
        ADD_FAILURE() << "no message box";
        return std::nullopt;
    }
    EXPECT_EQ(box->title, ToWide(texts::kBoxTitle));
    EXPECT_EQ(box->text, ToWide(texts::Mounted(u"M:", FromWide(member))));
    EXPECT_EQ(box->icon, test_support::BoxIcon::kInformation);
    // The success text follows in the log once the box is closed, and the window goes.
    ExpectLog(program.Text(ControlId::txtInfo), UpToTheMapping(L"M:", member, share));
    program.Acknowledge(*box);
    return program.WaitForExit();
}

}  // namespace e2e
}  // namespace brisvane
