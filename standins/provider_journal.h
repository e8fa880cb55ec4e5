// The test provider's journal: one entry per connection request it received, in a text file
// that any process can read.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::standins {

// A connection request as the provider received it. A text field is nullopt when the caller
// passed a null pointer, which is not the same as an empty text.
struct ProviderCall {
    std::wstring entryPoint;  // "NPAddConnection3" or "NPAddConnection"
    DWORD scope = 0;
    DWORD type = 0;
    DWORD displayType = 0;
    DWORD usage = 0;
    std::optional<std::wstring> localName;
    std::optional<std::wstring> remoteName;
    std::optional<std::wstring> comment;
    std::optional<std::wstring> provider;
    std::optional<std::wstring> password;
    std::optional<std::wstring> userName;
    DWORD flags = 0;

    friend bool operator==(const ProviderCall&, const ProviderCall&) = default;
};

// The entry for one call: "key=value" lines in UTF-8 and an empty line after them. A text is
// written in double quotes with \\, \", \r and \n escaped, a null pointer as null, a number
// in decimal.
std::string FormatJournalEntry(const ProviderCall& call);

// The calls of a journal's content, in order; std::runtime_error on content that is not a
// journal.
std::vector<ProviderCall> ParseJournal(std::string_view content);

// Appends the call's entry to the journal file with one write, creating the file if needed.
// Returns a Win32 error code.
DWORD AppendToJournal(const std::wstring& path, const ProviderCall& call);

// The calls recorded in the journal file; none when the file does not exist.
std::vector<ProviderCall> ReadJournal(const std::wstring& path);

}  // namespace brisvane::standins
