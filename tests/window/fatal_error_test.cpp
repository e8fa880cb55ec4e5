#include "window/fatal_error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "mount/workflow_error.h"

namespace brisvane::testing {
namespace {

constexpr TextView kOpening = u"Brisvane met an error it cannot handle and has to close.\r\n\r\n";

TEST(FatalErrorMessageTest, NamesTheNumberAndDescriptionOfAWorkflowError) {
    const auto failure = std::make_exception_ptr(WorkflowError(-2147467259, u"Broken pipe"));
    EXPECT_EQ(FatalErrorMessage(failure),
              Text(kOpening) + u" Error: -2147467259\r\n Description: Broken pipe");
}

TEST(FatalErrorMessageTest, DescribesOtherErrorsByWhatTheyKnow) {
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(std::runtime_error("disk on fire"))),
              Text(kOpening) + u" Description: disk on fire");
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(std::bad_alloc())),
              Text(kOpening) + u" Description: Out of memory");
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(42)),
              Text(kOpening) + u" Description: an error of unknown kind");
}

}  // namespace
}  // namespace brisvane::testing
