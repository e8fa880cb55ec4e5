// Owners of Winsock: a socket, and Winsock itself in the process.
#pragma once

#include <winsock2.h>

#include <system_error>
#include <utility>

namespace brisvane {

// A Winsock socket; INVALID_SOCKET when it holds none.
class UniqueSocket {
  public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) noexcept : socket_(socket) {}
    ~UniqueSocket() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    UniqueSocket(UniqueSocket&& other) noexcept
        : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        std::swap(socket_, other.socket_);
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET get() const noexcept { return socket_; }
    explicit operator bool() const noexcept { return socket_ != INVALID_SOCKET; }

  private:
    SOCKET socket_ = INVALID_SOCKET;
};

// Winsock 2.2 for as long as the owner lives; std::system_error when it cannot start.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
            throw std::system_error(error, std::system_category(), "WSAStartup");
        }
    }
    ~WinsockSession() { WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

}  // namespace brisvane
