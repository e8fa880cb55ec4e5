#include "mount/secret_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace brisvane {
namespace {

TEST(SecretTextTest, WipingEmptiesAndMovingLeavesNothingBehind) {
    SecretText first(u"a long password that lives on the heap");
    SecretText second(std::move(first));
    EXPECT_TRUE(first.empty());  // NOLINT(bugprone-use-after-move): the contract under test
    EXPECT_EQ(second.View(), u"a long password that lives on the heap");
    second.Wipe();
    EXPECT_TRUE(second.empty());
}

TEST(WipeTextTest, ZeroesTheWholeBuffer) {
    Text buffer = u"password";
    buffer.reserve(64);
    const char16_t* data = buffer.data();
    WipeText(buffer);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.data(), data);  // same storage, now all zeros
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(data[i], u'\0');
    }
    // The same for the bytes of the directory's bind password.
    std::string bytes = "bind password";
    bytes.reserve(64);
    const char* byteData = bytes.data();
    WipeText(bytes);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(bytes.data(), byteData);
    for (std::size_t i = 0; i < 13; ++i) {
        EXPECT_EQ(byteData[i], '\0');
    }
}

}  // namespace
}  // namespace brisvane
