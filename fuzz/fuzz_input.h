// What every fuzz target needs around its entry point: the fuzzer's bytes read as text and as
// fields, and a finding reported so that libFuzzer keeps the input that caused it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mount/text.h"

namespace brisvane::fuzzing {

// The bytes as UTF-16 text. They are read as UTF-8, so that a seed file shows the page it holds,
// but leniently, so that every byte string means something and every UTF-16 text is reachable:
// a three-byte sequence may encode a lone surrogate, and a byte that starts no valid sequence
// stands for itself (U+0080 to U+00FF).
Text DecodeText(std::span<const std::uint8_t> bytes);

// `count` fields: the first `count - 1` each end at a line feed (not kept), the last one is the
// rest of the text. Fields the text is too short for are empty.
std::vector<Text> SplitFields(TextView text, std::size_t count);

// The decimal number at the start of `text` (optional sign, digits up to the first non-digit),
// wrapped to 32 bits so that "4294967295" reaches -1 and every value has a spelling.
std::int32_t ParseInt32(TextView text);

// True when `text` holds a character that must never reach the member's eyes raw: a C0 or C1
// control or DEL, a line or paragraph separator, an invisible character (the Unicode table of
// IsInvisibleCharacter: bidirectional controls, zero-width characters, tags...), or a surrogate
// without its pair. A plain second reading of what ShownText escapes.
bool HoldsHiddenCharacter(TextView text);

// The text with everything outside printable ASCII escaped, cut after `limit` code units.
std::string Printable(TextView text, std::size_t limit = 2000);

// Reports a finding on stderr and aborts; libFuzzer records the abort as a crash and saves the
// input, and the replay test fails.
[[noreturn]] void Fail(const std::string& finding);

// Reports a finding unless `holds`. The finding is a fixed text, or a callable that builds it:
// called only when the check fails, so that a passing check costs nothing however much the
// text would show.
inline void Check(bool holds, const char* finding) {
    if (!holds) {
        Fail(finding);
    }
}

template <std::invocable Describe>
void Check(bool holds, Describe&& describe) {
    if (!holds) {
        Fail(std::forward<Describe>(describe)());
    }
}

}  // namespace brisvane::fuzzing
