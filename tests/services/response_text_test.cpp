#include "services/response_text.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace brisvane
