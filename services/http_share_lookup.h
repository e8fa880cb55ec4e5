// The share lookup request over WinHTTP: a synchronous form POST through the member's own
// proxy settings, bounded in time and in size, that follows redirects only within the lookup
// page's own server.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "mount/mount_workflow.h"

namespace brisvane {

class WinHttpLibrary;

// How long each stage of one request may take, how long the whole exchange may take, and how
// large the page may be. The defaults end an attempt within a minute however slowly the
// server (or a proxy) answers, and refuse a page that would only exhaust memory.
struct LookupLimits {
    std::chrono::milliseconds resolveTimeout{10'000};   // finding the server's or proxy's address
    std::chrono::milliseconds connectTimeout{10'000};   // opening the connection
    std::chrono::milliseconds sendTimeout{10'000};      // sending the request
    std::chrono::milliseconds responseTimeout{30'000};  // waiting for the reply and each part of it
    // The whole exchange: finding the proxy, connecting, sending, following redirects and reading
    // the whole reply. The request gives up waiting for it there, whatever the server does.
    std::chrono::milliseconds deadline{60'000};
    std::size_t maxResponseBytes = std::size_t{16} * 1024 * 1024;  // the largest body accepted
};

class HttpShareLookup final : public ShareLookup {
  public:
    explicit HttpShareLookup(LookupLimits limits = {});

    // A request object. Its Send opens a WinHTTP session of its own, routed as the member's
    // Internet settings say, and raises kResourceNotFound when the server or proxy cannot be found
    // or reached (or the deadline passes before the request has gone out),
    // HresultFromWin32(ERROR_FILE_TOO_LARGE) for a body over the limit, E_ACCESSDENIED for a
    // redirect to another scheme, host or port (naming that address; nothing is sent there),
    // HresultFromWin32(ERROR_WINHTTP_REDIRECT_FAILED) after more than 10 redirects, and the HRESULT
    // of WinHTTP's code for every other failure (an expired time-out or deadline:
    // ERROR_WINHTTP_TIMEOUT). Loads WinHTTP from System32 at the first call, and raises its
    // error when it cannot.
    std::unique_ptr<ShareLookupRequest> CreateRequest() override;

  private:
    LookupLimits limits_;
    std::shared_ptr<const WinHttpLibrary> winHttp_;  // loaded at the first request
};

}  // namespace brisvane
