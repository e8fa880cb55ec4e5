// The failure that a step of the mount request raises: a signed 32-bit number (for platform
// failures the platform's own HRESULT or error code) and a description for the member.
#pragma once

#include <cstdint>
#include <exception>
#include <utility>

#include "mount/text.h"

namespace brisvane {

class WorkflowError : public std::exception {
  public:
    WorkflowError(std::int32_t number, Text description)
        : number_(number), description_(std::move(description)) {}

    std::int32_t Number() const noexcept { return number_; }
    const Text& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "brisvane workflow error"; }

  private:
    std::int32_t number_;
    Text description_;
};

// The number the lookup request raises when the server or proxy of the lookup address cannot
// be found (INET_E_RESOURCE_NOT_FOUND, 0x800C0005); the workflow answers it with network advice.
inline constexpr std::int32_t kResourceNotFound = -2146697211;

}  // namespace brisvane
