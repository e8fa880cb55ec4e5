// The lookup page's response body as text: decoded by the charset its Content-Type declares.
#pragma once

#include <windows.h>

#include <string_view>

#include "mount/text.h"

namespace brisvane {

// The code page of the charset that a Content-Type value names ("text/html; charset=..."),
// matched without regard to case. UTF-8 when there is no charset or one this program does not
// know. ISO-8859-1 and US-ASCII are read as windows-1252, their superset, so that the
// punctuation that pages labelled with them often hold (0x80-0x9F) reads as written.
UINT CodePageOfContentType(std::wstring_view contentType);

// The body decoded in that code page. A body of 2 GiB or more (the lookup request caps it far
// below) raises HresultFromWin32(ERROR_FILE_TOO_LARGE), as a body over the request's cap does,
// naming the largest size decoded. Nothing is dropped: a byte sequence that is not valid
// there becomes U+FFFD (or the code page's own default character), and the rest follows.
Text DecodeResponseBody(std::string_view body, std::wstring_view contentType);

}  // namespace brisvane
