#include "standins/provider_journal.h"

#include <array>
#include <stdexcept>

#include "standins/owners.h"
#include "win32/text.h"

namespace brisvane::standins {

namespace {

struct TextField {
    std::string_view key;
    std::optional<std::wstring> ProviderCall::*member;
};

struct NumberField {
    std::string_view key;
    DWORD ProviderCall::*member;
};

// The keys of an entry, named after the provider interface's parameters. An entry writes the
// numbers first, then the texts, then the flags.
constexpr std::array kLeadingNumbers = {
    NumberField{"dwScope", &ProviderCall::scope},
    NumberField{"dwType", &ProviderCall::type},
    NumberField{"dwDisplayType", &ProviderCall::displayType},
    NumberField{"dwUsage", &ProviderCall::usage},
};
constexpr std::array kTexts = {
    TextField{"lpLocalName", &ProviderCall::localName},
    TextField{"lpRemoteName", &ProviderCall::remoteName},
    TextField{"lpComment", &ProviderCall::comment},
    TextField{"lpProvider", &ProviderCall::provider},
    TextField{"lpPassword", &ProviderCall::password},
    TextField{"lpUserName", &ProviderCall::userName},
};
constexpr NumberField kFlags{"dwFlags", &ProviderCall::flags};
constexpr std::string_view kEntryPointKey = "entry";

std::string Quoted(const std::optional<std::wstring>& text) {
    if (!text) {
        return "null";
    }
    std::string quoted = "\"";
    for (const char c : Utf8(*text)) {
        switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\n':
                quoted += "\\n";
                break;
            default:
                quoted += c;
        }
    }
    return quoted + "\"";
}

std::optional<std::wstring> Unquoted(std::string_view value) {
    if (value == "null") {
        return std::nullopt;
    }
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        throw std::runtime_error("journal: a text value must be quoted or null");
    }
    value = value.substr(1, value.size() - 2);
    std::string bytes;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            bytes += value[i];
            continue;
        }
        if (++i == value.size()) {
            throw std::runtime_error("journal: escape at the end of a text");
        }
        switch (value[i]) {
            case 'r':
                bytes += '\r';
                break;
            case 'n':
                bytes += '\n';
                break;
            default:
                bytes += value[i];
        }
    }
    return FromUtf8(bytes);
}

DWORD Number(std::string_view value) {
    if (value.empty() || value.size() > 10 ||
        value.find_first_not_of("0123456789") != std::string_view::npos) {
        throw std::runtime_error("journal: a number must be decimal digits");
    }
    return static_cast<DWORD>(std::stoull(std::string(value)));
}

// Splits "key=value"; the value may itself hold '='.
std::pair<std::string_view, std::string_view> KeyAndValue(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        throw std::runtime_error("journal: a line must be key=value");
    }
    return {line.substr(0, equals), line.substr(equals + 1)};
}

// Reads the next line of `content` from `position` (without its line feed).
std::string_view NextLine(std::string_view content, std::size_t& position) {
    const std::size_t end = content.find('\n', position);
    if (end == std::string_view::npos) {
        throw std::runtime_error("journal: an entry is cut short");
    }
    const std::string_view line = content.substr(position, end - position);
    position = end + 1;
    return line;
}

std::string_view ExpectKey(std::string_view line, std::string_view key) {
    const auto [found, value] = KeyAndValue(line);
    if (found != key) {
        throw std::runtime_error("journal: unexpected key " + std::string(found));
    }
    return value;
}

}  // namespace

std::string FormatJournalEntry(const ProviderCall& call) {
    std::string entry = std::string(kEntryPointKey) + "=" + Utf8(call.entryPoint) + "\n";
    for (const NumberField& field : kLeadingNumbers) {
        entry += std::string(field.key) + "=" + std::to_string(call.*field.member) + "\n";
    }
    for (const TextField& field : kTexts) {
        entry += std::string(field.key) + "=" + Quoted(call.*field.member) + "\n";
    }
    entry += std::string(kFlags.key) + "=" + std::to_string(call.*kFlags.member) + "\n\n";
    return entry;
}

std::vector<ProviderCall> ParseJournal(std::string_view content) {
    std::vector<ProviderCall> calls;
    std::size_t position = 0;
    while (position < content.size()) {
        ProviderCall call;
        call.entryPoint = FromUtf8(ExpectKey(NextLine(content, position), kEntryPointKey));
        for (const NumberField& field : kLeadingNumbers) {
            call.*field.member = Number(ExpectKey(NextLine(content, position), field.key));
        }
        for (const TextField& field : kTexts) {
            call.*field.member = Unquoted(ExpectKey(NextLine(content, position), field.key));
        }
        call.*kFlags.member = Number(ExpectKey(NextLine(content, position), kFlags.key));
        if (!NextLine(content, position).empty()) {
            throw std::runtime_error("journal: an entry must end with an empty line");
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

DWORD AppendToJournal(const std::wstring& path, const ProviderCall& call) {
    const UniqueHandle file = OwnFileHandle(
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file == nullptr) {
        return GetLastError();
    }
    const std::string entry = FormatJournalEntry(call);
    DWORD written = 0;
    if (!WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr)) {
        return GetLastError();
    }
    return written == entry.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

std::vector<ProviderCall> ReadJournal(const std::wstring& path) {
    const UniqueHandle file =
        OwnFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file == nullptr) {
        return {};
    }
    std::string content;
    std::array<char, 4096> chunk{};
    DWORD received = 0;
    while (
        ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &received, nullptr) &&
        received > 0) {
        content.append(chunk.data(), received);
    }
    return ParseJournal(content);
}

}  // namespace brisvane::standins
