// What the tests on the real parts (the test Active Directory domain with its Samba file server,
// e2e/active_directory.cmake) share: the settings that their ctest fixtures hand them, and the
// check that a drive shows a share as the file server serves it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

#include "standins/owners.h"
#include "win32/text.h"

namespace brisvane::e2e {

// A setting from the test's environment, which ctest sets; an error without it.
inline std::wstring RequiredEnvironment(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    if (value == nullptr || *value == L'\0') {
        throw std::runtime_error(Utf8(name) + " is not set: run the test through ctest");
    }
    return value;
}

// The file `relative` as the domain's Samba keeps it on the disk (shares/<share>/...).
inline std::wstring SharedFile(const std::wstring& relative) {
    return RequiredEnvironment(L"BRISVANE_AD_SHARES") + L"\\" + relative;
}

struct FileSeen {
    std::string bytes;
    BY_HANDLE_FILE_INFORMATION identity{};
};

inline std::optional<FileSeen> ReadWhole(const std::wstring& path) {
    const UniqueHandle file =
        OwnFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file == nullptr) {
        return std::nullopt;
    }
    FileSeen seen;
    if (!GetFileInformationByHandle(file.get(), &seen.identity)) {
        return std::nullopt;
    }
    std::array<char, 4096> chunk{};
    DWORD received = 0;
    while (
        ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &received, nullptr) &&
        received > 0) {
        seen.bytes.append(chunk.data(), received);
    }
    return seen;
}

// `onDrive` holds the bytes of the file server's `kept`, and is another file (Wine's file index is
// the Linux inode, which a drive made of the folder itself would share whatever its volume
// serial): the drive shows what the server sends over SMB, not the folder it keeps its files in.
inline void ExpectServedOverSmb(const std::wstring& onDrive, const std::wstring& kept) {
    const std::optional<FileSeen> served = ReadWhole(onDrive);
    const std::optional<FileSeen> original = ReadWhole(kept);
    ASSERT_TRUE(served) << Utf8(onDrive);
    ASSERT_TRUE(original) << Utf8(kept);
    EXPECT_FALSE(served->bytes.empty());
    EXPECT_EQ(served->bytes, original->bytes);
    EXPECT_FALSE(served->identity.nFileIndexHigh == original->identity.nFileIndexHigh &&
                 served->identity.nFileIndexLow == original->identity.nFileIndexLow);
}

}  // namespace brisvane::e2e
