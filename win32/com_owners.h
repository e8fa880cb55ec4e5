// Owners of COM: a reference to an object, and COM itself on a thread.
#pragma once

#include <objbase.h>
#include <unknwn.h>

#include <memory>

namespace brisvane {

namespace detail {

struct ComReleaser {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};

}  // namespace detail

// One reference to a COM object.
template <typename Interface>
using UniqueCom = std::unique_ptr<Interface, detail::ComReleaser>;

// COM on the calling thread, as a single-threaded apartment, for as long as the owner lives. On
// a thread that already has COM in the other mode, or where COM cannot start, it holds nothing,
// and COM calls made there fail on their own.
class ComApartment {
  public:
    ComApartment() noexcept
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

}  // namespace brisvane
