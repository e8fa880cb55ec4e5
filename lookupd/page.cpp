#include "lookupd/page.h"

namespace brisvane::lookupd {

std::string RenderLookupPage(const std::optional<std::string>& locator) {
    std::string page =
        "<!DOCTYPE html>\n"
        "<html><head><meta charset=\"utf-8\"><title>Home share</title></head>\n"
        "<body>\n";
    if (locator) {
        page += "<table>\n<tr><td>" + *locator + "</td></tr>\n</table>\n";
    } else {
        page += "<p>No home share was found.</p>\n";
    }
    page += "</body></html>\n";
    return page;
}

}  // namespace brisvane::lookupd
