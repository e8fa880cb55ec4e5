// brisvane-lookup-page.exe: the demo organisation's share lookup page on 127.0.0.1, for
// running brisvane.exe against it by hand or from the demo.
//   brisvane-lookup-page.exe [--port N]     (any free port when N is 0 or not given)
// Prints the page's address, then one line per request, until it is ended (Ctrl+C).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "standins/lookup_page.h"
#include "standins/lookup_page_server.h"

namespace {

using brisvane::standins::AnswerLookup;
using brisvane::standins::DemoMembers;
using brisvane::standins::FormField;
using brisvane::standins::LookupPageServer;
using brisvane::standins::ReceivedRequest;

int Usage() {
    std::fprintf(stderr, "usage: brisvane-lookup-page [--port N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long port = 0;
    if (argc == 3 && std::string_view(argv[1]) == "--port") {
        char* end = nullptr;
        port = std::strtoul(argv[2], &end, 10);
        if (*end != '\0' || port > 65535) {
            return Usage();
        }
    } else if (argc != 1) {
        return Usage();
    }

    const auto members = DemoMembers();
    LookupPageServer server(
        [&members](const ReceivedRequest& request) { return AnswerLookup(request, members); },
        static_cast<std::uint16_t>(port));
    std::printf("Lookup page: %ls\n", server.Url().c_str());
    std::printf("Members:");
    for (const auto& member : members) {
        std::printf(" %s", member.username.c_str());
    }
    std::printf("\n");
    std::fflush(stdout);

    std::size_t reported = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const auto requests = server.Requests();
        for (; reported < requests.size(); ++reported) {
            const ReceivedRequest& request = requests[reported];
            std::printf("%s %s user=%s\n", request.method.c_str(), request.target.c_str(),
                        FormField(request.body, "user").value_or("(none)").c_str());
        }
        std::fflush(stdout);
    }
}
