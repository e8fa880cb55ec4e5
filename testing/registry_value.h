// One registry value, set for a test and put back as it was after it.
#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "standins/owners.h"

namespace brisvane::test_support {

// Sets value `name` of `key` under `root` (creating the key) until the end of its scope; then
// restores the value it replaced, or deletes it if there was none. std::runtime_error when the
// value cannot be set.
class ScopedRegistryValue {
  public:
    ScopedRegistryValue(HKEY root, const std::wstring& key, std::wstring name, DWORD type,
                        const std::vector<BYTE>& data)
        : name_(std::move(name)) {
        HKEY opened = nullptr;
        LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                         nullptr, &opened, nullptr);
        if (status != ERROR_SUCCESS) {
            throw std::runtime_error("cannot open a registry key: error " + std::to_string(status));
        }
        key_.reset(opened);
        DWORD size = 0;
        DWORD previousType = 0;
        if (RegQueryValueExW(key_.get(), name_.c_str(), nullptr, &previousType, nullptr, &size) ==
            ERROR_SUCCESS) {
            std::vector<BYTE> previous(size);
            RegQueryValueExW(key_.get(), name_.c_str(), nullptr, nullptr, previous.data(), &size);
            previous.resize(size);
            previous_.emplace(Value{previousType, std::move(previous)});
        }
        status = RegSetValueExW(key_.get(), name_.c_str(), 0, type, data.data(),
                                static_cast<DWORD>(data.size()));
        if (status != ERROR_SUCCESS) {
            throw std::runtime_error("cannot set a registry value: error " +
                                     std::to_string(status));
        }
    }

    // A REG_SZ value.
    ScopedRegistryValue(HKEY root, const std::wstring& key, std::wstring name,
                        const std::wstring& text)
        : ScopedRegistryValue(root, key, std::move(name), REG_SZ, BytesOf(text)) {}

    ~ScopedRegistryValue() {
        if (previous_) {
            RegSetValueExW(key_.get(), name_.c_str(), 0, previous_->type, previous_->data.data(),
                           static_cast<DWORD>(previous_->data.size()));
        } else {
            RegDeleteValueW(key_.get(), name_.c_str());
        }
    }
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  private:
    struct Value {
        DWORD type;
        std::vector<BYTE> data;
    };

    // The text with its terminating null, as REG_SZ stores it.
    static std::vector<BYTE> BytesOf(const std::wstring& text) {
        const auto* first = reinterpret_cast<const BYTE*>(text.c_str());
        return {first, first + (text.size() + 1) * sizeof(wchar_t)};
    }

    std::wstring name_;
    UniqueKey key_;
    std::optional<Value> previous_;
};

}  // namespace brisvane::test_support
