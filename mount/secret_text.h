// A password in memory: one owner, no copies, every code unit zeroed before the memory is
// given back.
#pragma once

#include <cstddef>
#include <string>

#include "mount/text.h"

namespace brisvane {

class SecretText {
  public:
    SecretText() = default;
    explicit SecretText(TextView text);
    ~SecretText();

    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;

    TextView View() const noexcept { return text_; }
    bool empty() const noexcept { return text_.empty(); }

    // Overwrites the text with zeros and leaves it empty.
    void Wipe() noexcept;

  private:
    Text text_;
};

// Zeroes every character of `text`, spare capacity included, through stores that the compiler
// cannot drop, and leaves it empty: the one way a password is wiped, for SecretText and for every
// other buffer that carries one (to the operating system, to the directory).
template <typename Char>
void WipeText(std::basic_string<Char>& text) noexcept {
    // Growing to the capacity never reallocates, so the whole buffer is covered.
    text.resize(text.capacity());
    volatile Char* unit = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        unit[i] = Char{};
    }
    text.clear();
}

}  // namespace brisvane
