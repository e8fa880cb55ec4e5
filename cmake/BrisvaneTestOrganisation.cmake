# The values the demo and the end-to-end tests share, in one place: the lookup page's path of
# this build, the demo organisation's ports on this machine and its file servers, and where the
# demo's programs land. Included by the top-level CMakeLists.txt before any folder uses them.

# The path of the lookup page: the service's default, the stand-in page's, the demo's and the
# benchmarks'. An organisation's own lookup address is BRISVANE_LOOKUP_URL.
set(BRISVANE_LOOKUP_PATH "/cs/servers/serversearch.asp" CACHE STRING
    "Path of the lookup page that brisvane-lookupd serves and the stand-ins answer on")

# The demo's lookup service listens on this port of localhost; the end-to-end tests use the
# next three: the stand-in page, slapd, and the SMB bridge of the tests on real parts.
set(BRISVANE_DEMO_PORT 48080 CACHE STRING
    "Port of the demo's lookup service on localhost; the end-to-end tests also use the next three")
math(EXPR BRISVANE_STANDIN_PORT "${BRISVANE_DEMO_PORT} + 1")
math(EXPR BRISVANE_DIRECTORY_PORT "${BRISVANE_DEMO_PORT} + 2")
math(EXPR BRISVANE_BRIDGE_PORT "${BRISVANE_DEMO_PORT} + 3")
# https with a host name: Wine's WinHTTP fails every handshake with an IP address.
set(BRISVANE_DEMO_LOOKUP_URL "https://localhost:${BRISVANE_DEMO_PORT}${BRISVANE_LOOKUP_PATH}")
set(BRISVANE_STANDIN_LOOKUP_URL
    "http://127.0.0.1:${BRISVANE_STANDIN_PORT}${BRISVANE_LOOKUP_PATH}")
# The servers that the demo members' shares are on (standins/lookup_page.cpp).
set(BRISVANE_DEMO_FILE_SERVERS srv1 files1 files2)
# The demo's programs land here; the end-to-end tests join them.
set(BRISVANE_DEMO_DIR "${PROJECT_BINARY_DIR}/demo")

# lookup_path.h: the path for C++ (brisvane_lookup_path).
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/generated/lookup_path.h" CONTENT [[
// The path of the lookup page in this build (BRISVANE_LOOKUP_PATH, CMake).
#pragma once

#define BRISVANE_LOOKUP_PATH "@BRISVANE_LOOKUP_PATH@"
]] @ONLY)
