#include "standins/test_provider_settings.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "standins/owners.h"

namespace brisvane::standins {

namespace {

constexpr wchar_t kOrderKey[] = L"System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
constexpr wchar_t kOrderValue[] = L"ProviderOrder";
constexpr wchar_t kServicesKey[] = L"System\\CurrentControlSet\\Services\\";
// WN_NETWORK_CLASS: the provider offers network connections.
constexpr DWORD kNetworkClass = 1;

std::wstring ServiceKey(const std::wstring& name) {
    return kServicesKey + name;
}

std::wstring ProviderKey(const std::wstring& name) {
    return ServiceKey(name) + L"\\NetworkProvider";
}

std::wstring AccountsKey(const std::wstring& name) {
    return ProviderKey(name) + L"\\Accounts";
}

// The DLL file that the registration `name` loads when it is not the usual one.
std::wstring CopyOfTheDll(const std::wstring& name) {
    std::wstring path(MAX_PATH + 1, L'\0');
    path.resize(GetTempPathW(static_cast<DWORD>(path.size()), path.data()));
    return path + name + L".dll";
}

// An open key under HKEY_LOCAL_MACHINE for reading; null when it cannot be opened.
UniqueKey OpenForReading(const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return nullptr;
    }
    return UniqueKey(opened);
}

LSTATUS CreateKey(const std::wstring& path, UniqueKey& key) {
    HKEY opened = nullptr;
    const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                           KEY_READ | KEY_WRITE, nullptr, &opened, nullptr);
    key.reset(opened);
    return status;
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LSTATUS SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof(number));
}

// A REG_DWORD value, or `fallback` when it is missing or of another type.
DWORD NumberValue(HKEY key, const wchar_t* name, DWORD fallback) {
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return fallback;
    }
    return number;
}

// A REG_SZ value, or empty when it is missing or of another type.
std::wstring TextValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

std::vector<std::wstring> SplitOrder(const std::wstring& order) {
    std::vector<std::wstring> names;
    std::wstringstream stream(order);
    std::wstring name;
    while (std::getline(stream, name, L',')) {
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

std::wstring JoinOrder(const std::vector<std::wstring>& names) {
    std::wstring order;
    for (const std::wstring& name : names) {
        order += (order.empty() ? L"" : L",") + name;
    }
    return order;
}

// The names in the provider order.
std::vector<std::wstring> ProviderOrder() {
    const UniqueKey key = OpenForReading(kOrderKey);
    return key ? SplitOrder(TextValue(key.get(), kOrderValue)) : std::vector<std::wstring>{};
}

// Rewrites the provider order with the registration `name` in it, last, or not.
LSTATUS PlaceInOrder(const std::wstring& name, bool present) {
    UniqueKey key;
    if (const LSTATUS status = CreateKey(kOrderKey, key); status != ERROR_SUCCESS) {
        return status;
    }
    std::vector<std::wstring> names = SplitOrder(TextValue(key.get(), kOrderValue));
    std::erase(names, name);
    if (present) {
        names.push_back(name);
    }
    return SetText(key.get(), kOrderValue, JoinOrder(names));
}

// The REG_SZ values of the Accounts subkey, as user names and passwords.
std::vector<std::pair<std::wstring, std::wstring>> ReadAccounts(const std::wstring& name) {
    std::vector<std::pair<std::wstring, std::wstring>> accounts;
    const UniqueKey key = OpenForReading(AccountsKey(name));
    if (!key) {
        return accounts;
    }
    // Value names are at most 16,383 characters long.
    std::wstring valueName(16'384, L'\0');
    for (DWORD index = 0;; ++index) {
        auto length = static_cast<DWORD>(valueName.size());
        if (RegEnumValueW(key.get(), index, valueName.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            return accounts;
        }
        const std::wstring userName = valueName.substr(0, length);
        accounts.emplace_back(userName, TextValue(key.get(), userName.c_str()));
    }
}

}  // namespace

LSTATUS RegisterTestProvider(const std::wstring& dllPath,
                             const TestProviderRegistration& registration) {
    const std::wstring& name = registration.name;
    std::wstring providerPath = dllPath;
    if (name != kTestProviderName) {
        providerPath = CopyOfTheDll(name);
        if (!CopyFileW(dllPath.c_str(), providerPath.c_str(), FALSE)) {
            return static_cast<LSTATUS>(GetLastError());
        }
    }
    UniqueKey key;
    if (const LSTATUS status = CreateKey(ProviderKey(name), key); status != ERROR_SUCCESS) {
        return status;
    }
    for (const LSTATUS status : {SetText(key.get(), L"ProviderPath", providerPath),
                                 SetText(key.get(), L"Name", registration.providerName),
                                 SetNumber(key.get(), L"Class", kNetworkClass),
                                 SetNumber(key.get(), L"NetType", registration.netType)}) {
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    if (const LSTATUS status = WriteTestProviderSettings({}, name); status != ERROR_SUCCESS) {
        return status;
    }
    return PlaceInOrder(name, true);
}

LSTATUS UnregisterTestProvider(const std::wstring& name) {
    if (const LSTATUS status = PlaceInOrder(name, false); status != ERROR_SUCCESS) {
        return status;
    }
    if (name != kTestProviderName) {
        DeleteFileW(CopyOfTheDll(name).c_str());
    }
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS WriteTestProviderSettings(const TestProviderSettings& settings, const std::wstring& name) {
    UniqueKey key;
    if (const LSTATUS status = CreateKey(ProviderKey(name), key); status != ERROR_SUCCESS) {
        return status;
    }
    for (const LSTATUS status : {SetNumber(key.get(), L"Answer", settings.answer),
                                 SetText(key.get(), L"Journal", settings.journalPath),
                                 SetText(key.get(), L"DriveFolder", settings.driveFolder),
                                 SetText(key.get(), L"SmbBridge", settings.smbBridge)}) {
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    // The accounts replace those written before.
    if (const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, AccountsKey(name).c_str());
        status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    if (settings.accounts.empty()) {
        return ERROR_SUCCESS;
    }
    UniqueKey accounts;
    if (const LSTATUS status = CreateKey(AccountsKey(name), accounts); status != ERROR_SUCCESS) {
        return status;
    }
    for (const auto& [userName, password] : settings.accounts) {
        if (const LSTATUS status = SetText(accounts.get(), userName.c_str(), password);
            status != ERROR_SUCCESS) {
            return status;
        }
    }
    return ERROR_SUCCESS;
}

TestProviderSettings ReadTestProviderSettings(const std::wstring& name) {
    TestProviderSettings settings;
    const UniqueKey key = OpenForReading(ProviderKey(name));
    if (!key) {
        return settings;
    }
    settings.answer = NumberValue(key.get(), L"Answer", settings.answer);
    settings.journalPath = TextValue(key.get(), L"Journal");
    settings.driveFolder = TextValue(key.get(), L"DriveFolder");
    settings.smbBridge = TextValue(key.get(), L"SmbBridge");
    settings.accounts = ReadAccounts(name);
    return settings;
}

std::wstring TestProviderRegisteredAt(const std::wstring& dllPath) {
    for (const std::wstring& name : ProviderOrder()) {
        const UniqueKey key = OpenForReading(ProviderKey(name));
        if (key && CompareStringOrdinal(TextValue(key.get(), L"ProviderPath").c_str(), -1,
                                        dllPath.c_str(), -1, TRUE) == CSTR_EQUAL) {
            return name;
        }
    }
    return kTestProviderName;
}

DWORD ReadTestProviderNetType(const std::wstring& name) {
    const UniqueKey key = OpenForReading(ProviderKey(name));
    return key ? NumberValue(key.get(), L"NetType", WNNC_NET_LANMAN) : WNNC_NET_LANMAN;
}

bool AcceptsCredentials(const TestProviderSettings& settings, const wchar_t* userName,
                        const wchar_t* password) {
    if (settings.accounts.empty()) {
        return true;
    }
    if (userName == nullptr || password == nullptr) {
        return false;
    }
    return std::any_of(
        settings.accounts.begin(), settings.accounts.end(), [&](const auto& account) {
            return CompareStringOrdinal(account.first.c_str(), -1, userName, -1, TRUE) ==
                       CSTR_EQUAL &&
                   account.second == password;
        });
}

}  // namespace brisvane::standins
