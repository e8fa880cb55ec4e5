#include "services/lookup_deadline.h"

#include <algorithm>
#include <climits>

#include "services/winhttp_library.h"
#include "win32/error.h"

namespace brisvane {

namespace {

using namespace std::chrono_literals;

// How long past the deadline a blocking call of an exchange left behind may still wait.
constexpr std::chrono::milliseconds kPastDeadline = 1000ms;

// WinHTTP takes milliseconds as int; 0 and -1 would mean "wait for ever".
int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, INT_MAX));
}

}  // namespace

void ThrowDeadlinePassed(const Progress& progress) {
    ThrowExchangeFailure(ERROR_WINHTTP_TIMEOUT, progress.load());
}

std::chrono::milliseconds Deadline::Bound(std::chrono::milliseconds limit,
                                          const Progress& progress) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now());
    if (left <= 0ms) {
        ThrowDeadlinePassed(progress);
    }
    return std::min(limit, left + kPastDeadline);
}

void BoundNextCall(const WinHttpLibrary& http, HINTERNET handle, const LookupLimits& limits,
                   const Deadline& deadline, const Progress& progress) {
    const int response = Milliseconds(deadline.Bound(limits.responseTimeout, progress));
    if (!http.setTimeouts(handle, Milliseconds(deadline.Bound(limits.resolveTimeout, progress)),
                          Milliseconds(deadline.Bound(limits.connectTimeout, progress)),
                          Milliseconds(deadline.Bound(limits.sendTimeout, progress)), response)) {
        ThrowLastError(u"WinHttpSetTimeouts");
    }
    // The wait for the reply's headers has a time-out of its own (90 s on Windows); Wine's
    // synchronous send waits for them without one unless it is set.
    auto responseHeaders = static_cast<DWORD>(response);
    if (!http.setOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseHeaders,
                        sizeof(responseHeaders))) {
        ThrowLastError(u"WinHttpSetOption");
    }
}

}  // namespace brisvane
