#include "services/response_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"
#include "testing/owners.h"
#include "win32/error.h"

namespace brisvane {
namespace {

TEST(ResponseTextTest, FindsTheCodePageOfTheDeclaredCharset) {
    struct Case {
        std::wstring contentType;
        UINT codePage;
    };
    const Case cases[] = {
        {L"text/html; charset=utf-8", CP_UTF8},
        {L"text/html; Charset=\"ISO-8859-1\"", 1252},
        {L"text/html;charset=windows-1251", 1251},
        {L"text/html; charset=CP1250", 1250},
        {L"text/plain; format=flowed; charset=koi8-r", 20866},
        // No charset, or one this program cannot use: UTF-8.
        {L"text/html", CP_UTF8},
        {L"", CP_UTF8},
        {L"text/html; charset=no-such-charset", CP_UTF8},
        {L"text/html; charset=windows-99999", CP_UTF8},
        {L"text/html; name=\"charset=latin1\"", CP_UTF8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CodePageOfContentType(c.contentType), c.codePage) << c.contentType;
    }
}

TEST(ResponseTextTest, RefusesABodyTooLargeToDecodeWithTheLookupsOwnError) {
    // 2 GiB of address space, reserved and never readable: the body is refused by its size
    // without a byte of it being read.
    constexpr std::size_t kSize = std::size_t{INT_MAX} + 1;
    const UniqueVirtualMemory reserved(VirtualAlloc(nullptr, kSize, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(reserved, nullptr);
    const std::string_view body(static_cast<const char*>(reserved.get()), kSize);
    try {
        DecodeResponseBody(body, L"text/html; charset=utf-8");
        ADD_FAILURE() << "no WorkflowError";
    } catch (const WorkflowError& error) {
        EXPECT_EQ(error.Number(), HresultFromWin32(ERROR_FILE_TOO_LARGE));
        EXPECT_EQ(error.Description(), texts::PageTooLarge(u"2147483647"));
    }
}

}  // namespace
}  // namespace brisvane
