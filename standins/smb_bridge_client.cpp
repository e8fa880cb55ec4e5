#include "standins/smb_bridge_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
#include <charconv>
#include <optional>
#include <system_error>

#include "mount/secret_text.h"
#include "standins/socket_owners.h"
#include "win32/text.h"

namespace brisvane::standins {

namespace {

// Longer than the bridge takes for a log-on and a mount (up to 10 s) on a busy machine.
constexpr DWORD kReplyTimeoutMs = 30'000;
constexpr std::size_t kMaxReplyBytes = std::size_t{64} * 1024;

// "host:port" as a socket address; nullopt for anything else.
std::optional<sockaddr_in> BridgeAddress(const std::wstring& bridge) {
    const std::size_t colon = bridge.rfind(L':');
    if (colon == std::wstring::npos) {
        return std::nullopt;
    }
    const std::string host = Utf8(bridge.substr(0, colon));
    const std::string port = Utf8(bridge.substr(colon + 1));
    unsigned short number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(number);
    if (error != std::errc{} || end != port.data() + port.size() || number == 0 ||
        inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    return address;
}

// Sends `request` whole, ends the sending, and returns the bridge's whole reply; nullopt when
// the bridge cannot be reached or the exchange breaks off.
std::optional<std::string> Exchange(const std::wstring& bridge, const std::string& request) {
    const std::optional<sockaddr_in> address = BridgeAddress(bridge);
    if (!address) {
        return std::nullopt;
    }
    const WinsockSession winsock;
    const UniqueSocket connection(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!connection) {
        return std::nullopt;
    }
    const DWORD timeout = kReplyTimeoutMs;
    setsockopt(connection.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    setsockopt(connection.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) !=
        0) {
        return std::nullopt;
    }
    for (std::size_t sent = 0; sent < request.size();) {
        const int count = send(connection.get(), request.data() + sent,
                               static_cast<int>(request.size() - sent), 0);
        if (count <= 0) {
            return std::nullopt;
        }
        sent += static_cast<std::size_t>(count);
    }
    shutdown(connection.get(), SD_SEND);
    std::string reply;
    std::array<char, 4096> chunk{};
    int received = 0;
    while ((received = recv(connection.get(), chunk.data(), static_cast<int>(chunk.size()), 0)) >
           0) {
        reply.append(chunk.data(), static_cast<std::size_t>(received));
        if (reply.size() > kMaxReplyBytes) {
            return std::nullopt;
        }
    }
    if (received < 0) {
        return std::nullopt;
    }
    return reply;
}

void AddField(std::string& request, std::wstring_view field) {
    std::string bytes = Utf8(field);
    request += bytes;
    request += '\0';
    WipeText(bytes);
}

// "CODE" or "CODE\tFOLDER", ended by a line feed.
std::optional<SmbBridgeAnswer> ParseReply(const std::string& reply) {
    if (reply.empty() || reply.back() != '\n') {
        return std::nullopt;
    }
    const std::string_view line(reply.data(), reply.size() - 1);
    const std::size_t tab = line.find('\t');
    const std::string_view code = line.substr(0, tab);
    SmbBridgeAnswer answer;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), answer.code);
    if (error != std::errc{} || end != code.data() + code.size()) {
        return std::nullopt;
    }
    if (tab != std::string_view::npos) {
        answer.unixFolder = line.substr(tab + 1);
    }
    return answer;
}

std::wstring LetterText(wchar_t letter) {
    return letter == 0 ? std::wstring{} : std::wstring(1, letter);
}

}  // namespace

SmbBridgeAnswer AskSmbBridge(const std::wstring& bridge, std::wstring_view userName,
                             std::wstring_view password, std::wstring_view remoteName,
                             wchar_t letter) {
    const std::size_t backslash = userName.find(L'\\');
    const std::wstring_view domain =
        backslash == std::wstring_view::npos ? std::wstring_view{} : userName.substr(0, backslash);
    const std::wstring_view user =
        backslash == std::wstring_view::npos ? userName : userName.substr(backslash + 1);
    const std::wstring letterText = LetterText(letter);
    std::string request;
    for (const std::wstring_view field : {std::wstring_view(L"map"), domain, user, password,
                                          remoteName, std::wstring_view(letterText)}) {
        AddField(request, field);
    }
    const std::optional<std::string> reply = Exchange(bridge, request);
    WipeText(request);
    if (!reply) {
        return {ERROR_NO_NETWORK, {}};
    }
    std::optional<SmbBridgeAnswer> answer = ParseReply(*reply);
    if (!answer || (answer->code == ERROR_SUCCESS && letter != 0 && answer->unixFolder.empty())) {
        return {ERROR_UNEXP_NET_ERR, {}};
    }
    return *answer;
}

DWORD TellSmbBridgeDriveRemoved(const std::wstring& bridge, wchar_t letter) {
    std::string request;
    AddField(request, L"unmap");
    AddField(request, LetterText(letter));
    const std::optional<std::string> reply = Exchange(bridge, request);
    if (!reply) {
        return ERROR_NO_NETWORK;
    }
    const std::optional<SmbBridgeAnswer> answer = ParseReply(*reply);
    return answer ? answer->code : ERROR_UNEXP_NET_ERR;
}

}  // namespace brisvane::standins
