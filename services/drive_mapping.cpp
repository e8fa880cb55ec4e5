#include "services/drive_mapping.h"

#include <windows.h>
#include <winnetwk.h>

#include <string>

#include "win32/system_library.h"
#include "win32/text.h"

namespace brisvane {

namespace {

// The wide copy of the password that the call needs, zeroed (spare capacity included) when
// it goes out of scope.
class WidePassword {
  public:
    explicit WidePassword(TextView text) : text_(ToWide(text)) {}
    ~WidePassword() {
        text_.resize(text_.capacity());
        SecureZeroMemory(text_.data(), text_.size() * sizeof(wchar_t));
    }
    WidePassword(const WidePassword&) = delete;
    WidePassword& operator=(const WidePassword&) = delete;

    const wchar_t* c_str() const noexcept { return text_.c_str(); }

  private:
    std::wstring text_;
};

}  // namespace

std::int32_t NetworkDriveMapping::AddConnection(TextView remoteName, TextView localName,
                                                const SecretText& password, TextView userName) {
    // mpr.dll reads the list of network providers when it is loaded; loading it for the call
    // lets it see providers installed since this program started.
    const SystemLibrary mpr(L"mpr.dll");
    const auto addConnection = mpr.Find<decltype(&::WNetAddConnection2W)>("WNetAddConnection2W");

    std::wstring local = ToWide(localName);
    std::wstring remote = ToWide(remoteName);
    const std::wstring user = ToWide(userName);
    const WidePassword secret(password.View());

    NETRESOURCEW resource{};
    resource.lpLocalName = local.data();
    resource.lpRemoteName = remote.data();
    const DWORD result = addConnection(&resource, secret.c_str(), user.c_str(), 0);
    return static_cast<std::int32_t>(result);
}

}  // namespace brisvane
