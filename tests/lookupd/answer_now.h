// The answer of a source or handler that answers at once (a table in memory, the cache on a hit,
// every refusal), for tests that call them directly.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "lookupd/lookup_handler.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

inline MemberAnswer AnswerNow(MemberSource& source, std::string_view username) {
    std::optional<MemberAnswer> answer;
    source.Find(username, [&answer](MemberAnswer given) { answer = std::move(given); });
    EXPECT_TRUE(answer.has_value()) << "no answer at once for \"" << username << "\"";
    return answer.value_or(MemberAnswer{MemberAnswer::Kind::kUnavailable, {}, "no answer"});
}

inline HttpResponse HandleNow(const HttpRequest& request, const LookupSettings& settings,
                              MemberSource& source) {
    std::optional<HttpResponse> response;
    HandleLookup(request, settings, source,
                 [&response](HttpResponse given) { response = std::move(given); });
    EXPECT_TRUE(response.has_value()) << "no answer at once";
    return response.value_or(HttpResponse{});
}

}  // namespace brisvane::lookupd
