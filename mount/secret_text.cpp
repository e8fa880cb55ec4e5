#include "mount/secret_text.h"

#include <utility>

namespace brisvane {

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
