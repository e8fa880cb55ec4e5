#include "services/drive_mapping.h"

#include <windows.h>
#include <winnetwk.h>

#include <cwchar>
#include <string>

#include "mount/secret_text.h"
#include "win32/system_library.h"
#include "win32/text.h"

namespace brisvane {

namespace {

// The wide copy of the password that the call needs, zeroed (spare capacity included) when
// it goes out of scope.
class WidePassword {
  public:
    explicit WidePassword(TextView text) : text_(ToWide(text)) {}
    ~WidePassword() { WipeText(text_); }
    WidePassword(const WidePassword&) = delete;
    WidePassword& operator=(const WidePassword&) = delete;

    const wchar_t* c_str() const noexcept { return text_.c_str(); }

  private:
    std::wstring text_;
};

// Asks mpr.dll for the name of the provider of Windows' own file sharing (SMB), which differs
// from one language of Windows to the next, into `name`: first for its length, then for the
// name itself. Returns the call's error code.
DWORD SmbProviderName(decltype(&::WNetGetProviderNameW) getProviderName, std::wstring& name) {
    name.clear();
    DWORD size = 0;
    DWORD result = getProviderName(WNNC_NET_LANMAN, name.data(), &size);
    // The size is in characters, the terminating zero included; a name that grows between the
    // calls is asked for again.
    while (result == ERROR_MORE_DATA && size > name.size()) {
        name.resize(size);
        result = getProviderName(WNNC_NET_LANMAN, name.data(), &size);
    }
    name.resize(result == NO_ERROR ? std::wcslen(name.c_str()) : 0);
    return result;
}

}  // namespace

std::int32_t NetworkDriveMapping::AddConnection(TextView remoteName, TextView localName,
                                                const SecretText& password, TextView userName) {
    // mpr.dll reads the list of network providers when it is loaded; loading it for the call
    // lets it see providers installed since this program started.
    const SystemLibrary mpr(L"mpr.dll");
    const auto getProviderName =
        mpr.Find<decltype(&::WNetGetProviderNameW)>("WNetGetProviderNameW");
    const auto addConnection = mpr.Find<decltype(&::WNetAddConnection2W)>("WNetAddConnection2W");

    // Only the SMB provider is offered the credentials: with no provider named, mpr.dll would
    // offer them to each provider in turn, and the WebDAV provider, when SMB cannot reach the
    // server, would try the same \\server\share over plain HTTP.
    std::wstring provider;
    if (const DWORD error = SmbProviderName(getProviderName, provider); error != NO_ERROR) {
        return static_cast<std::int32_t>(error);
    }

    std::wstring local = ToWide(localName);
    std::wstring remote = ToWide(remoteName);
    const std::wstring user = ToWide(userName);
    const WidePassword secret(password.View());

    NETRESOURCEW resource{};
    resource.lpLocalName = local.data();
    resource.lpRemoteName = remote.data();
    resource.lpProvider = provider.data();
    const DWORD result = addConnection(&resource, secret.c_str(), user.c_str(), 0);
    return static_cast<std::int32_t>(result);
}

}  // namespace brisvane
