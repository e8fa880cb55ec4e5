#include "mount/secret_text.h"

#include <utility>

namespace brisvane {

void WipeText(Text& text) noexcept {
    // Growing to the capacity never reallocates, so the whole buffer is covered.
    text.resize(text.capacity());
    volatile char16_t* unit = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        unit[i] = u'\0';
    }
    text.clear();
}

SecretText::SecretText(TextView text) : text_(text) {}

SecretText::~SecretText() {
    Wipe();
}

SecretText::SecretText(SecretText&& other) noexcept {
    text_.swap(other.text_);
    other.Wipe();
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        Wipe();
        text_.swap(other.text_);
        other.Wipe();
    }
    return *this;
}

void SecretText::Wipe() noexcept {
    WipeText(text_);
}

}  // namespace brisvane
