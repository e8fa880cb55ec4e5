// The share lookup request over WinHTTP: a synchronous form POST through the member's own
// proxy settings, bounded in time and in size.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "mount/mount_workflow.h"

namespace brisvane {

// How long each stage of one request may take, and how large the page may be. The defaults
// end an attempt against a server that never answers within about a minute, and refuse a page
// that would only exhaust memory.
struct LookupLimits {
    std::chrono::milliseconds resolveTimeout{10'000};   // finding the server's or proxy's address
    std::chrono::milliseconds connectTimeout{10'000};   // opening the connection
    std::chrono::milliseconds sendTimeout{10'000};      // sending the request
    std::chrono::milliseconds responseTimeout{30'000};  // waiting for the reply and each part of it
    std::size_t maxResponseBytes = 16 * 1024 * 1024;    // the largest body accepted
};

class HttpShareLookup final : public ShareLookup {
  public:
    explicit HttpShareLookup(LookupLimits limits = {});

    // A request object. Its Send opens a WinHTTP session of its own, routed as the member's
    // Internet settings say, and raises kResourceNotFound when the server or proxy cannot be found
    // or reached, HresultFromWin32(ERROR_FILE_TOO_LARGE) for a body over the limit, and the HRESULT
    // of WinHTTP's code for every other failure (an expired time-out: ERROR_WINHTTP_TIMEOUT).
    std::unique_ptr<ShareLookupRequest> CreateRequest() override;

  private:
    LookupLimits limits_;
};

}  // namespace brisvane
