#include "services/proxy_logon.h"

#include <gtest/gtest.h>

namespace brisvane {
namespace {

TEST(ProxyLogOnTest, LogsOnOnlyToTheServerOfANamedScriptAndOnlyWhenItDemandsIt) {
    struct Case {
        ProxyScriptSource source;
        DWORD firstAnswer;
        bool askAgain;
    };
    const Case cases[] = {
        {ProxyScriptSource::kNamedInSettings, ERROR_SUCCESS, false},
        {ProxyScriptSource::kNamedInSettings, ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT, false},
        {ProxyScriptSource::kNamedInSettings, ERROR_WINHTTP_LOGIN_FAILURE, true},
        {ProxyScriptSource::kAutoDetected, ERROR_SUCCESS, false},
        {ProxyScriptSource::kAutoDetected, ERROR_WINHTTP_AUTODETECTION_FAILED, false},
        {ProxyScriptSource::kAutoDetected, ERROR_WINHTTP_LOGIN_FAILURE, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AskAgainWithLogOn(c.source, c.firstAnswer), c.askAgain)
            << (c.source == ProxyScriptSource::kAutoDetected ? "detected " : "named ")
            << c.firstAnswer;
    }
}

}  // namespace
}  // namespace brisvane
