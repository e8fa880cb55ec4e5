// A password in memory: one owner, no copies, every code unit zeroed before the memory is
// given back.
#pragma once

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

// Zeroes every code unit of `text`, spare capacity included, so that the compiler cannot drop
// the stores; for the buffers that carry a password to the operating system.
void WipeText(Text& text) noexcept;

}  // namespace brisvane
