// The descriptions of Windows and WinHTTP errors: the system's text, or the program's own where
// the system has none (Wine's winhttp.dll has no message texts).
#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"
#include "win32/error.h"
#include "win32/text.h"

namespace brisvane {
namespace {

TEST(ErrorDescriptionTest, TheSystemsTextElseTheProgramsOwnForCommonWinHttpErrors) {
    struct Case {
        DWORD code;
        std::wstring systemText;  // empty: the system has none
        Text description;
    };
    const Case cases[] = {
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, L"", Text(texts::kServerNameNotFound)},
        {ERROR_WINHTTP_CANNOT_CONNECT, L"", Text(texts::kServerUnreachable)},
        {ERROR_WINHTTP_TIMEOUT, L"", Text(texts::kServerTooSlow)},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, L"", Text(texts::kNoSecureConnection)},
        {ERROR_WINHTTP_SECURE_FAILURE, L"", Text(texts::kCertificateRefused)},
        {ERROR_WINHTTP_SECURE_INVALID_CA, L"", Text(texts::kCertificateRefused)},
        {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, L"", Text(texts::kCertificateRefused)},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, L"", Text(texts::kCertificateRefused)},
        {ERROR_WINHTTP_SECURE_CERT_REVOKED, L"", Text(texts::kCertificateRefused)},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, L"The system's own words", u"The system's own words"},
        {ERROR_WINHTTP_INVALID_URL, L"", u"Error 12005"},
        {ERROR_ACCESS_DENIED, L"", u"Error 5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeError(c.code, c.systemText), c.description)
            << c.code << " " << Utf8(c.systemText);
    }
    // Where the system has no text (Wine), the description is not the bare number.
    EXPECT_NE(ErrorDescription(ERROR_WINHTTP_SECURE_CHANNEL_ERROR), u"Error 12157");
}

// A failed call is the layer's own error: the Win32 code as an HRESULT and the call's name ahead
// of the system's text, whether the code is the call's answer (a combo box out of room) or the
// thread's last error.
TEST(CallErrorTest, NamesTheCallAndCarriesTheCodeAsAnHresult) {
    const WorkflowError answered = CallError(u"CB_ADDSTRING", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(answered.Number(), static_cast<std::int32_t>(0x80070008));
    EXPECT_TRUE(answered.Description().starts_with(u"CB_ADDSTRING failed: "))
        << Utf8(ToWide(answered.Description()));
    EXPECT_GT(answered.Description().size(), TextView(u"CB_ADDSTRING failed: ").size());

    ::SetLastError(ERROR_ACCESS_DENIED);
    try {
        ThrowLastError(u"CreateFileW");
        ADD_FAILURE() << "ThrowLastError returned";
    } catch (const WorkflowError& error) {
        EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80070005));
        EXPECT_TRUE(error.Description().starts_with(u"CreateFileW failed: "));
    }
}

}  // namespace
}  // namespace brisvane
