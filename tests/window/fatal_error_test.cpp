#include "window/fatal_error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"

namespace brisvane::test_support {
namespace {

TEST(FatalErrorMessageTest, NamesTheNumberAndDescriptionOfAWorkflowError) {
    const auto failure = std::make_exception_ptr(WorkflowError(-2147467259, u"Broken pipe"));
    EXPECT_EQ(FatalErrorMessage(failure),
              texts::FatalError(texts::FatalErrorDetail(u"-2147467259", u"Broken pipe")));
}

TEST(FatalErrorMessageTest, DescribesOtherErrorsByWhatTheyKnow) {
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(std::runtime_error("disk on fire"))),
              texts::FatalError(texts::FatalErrorDetail(u"disk on fire")));
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(std::bad_alloc())),
              texts::FatalError(texts::FatalErrorDetail(texts::kOutOfMemory)));
    EXPECT_EQ(FatalErrorMessage(std::make_exception_ptr(42)),
              texts::FatalError(texts::FatalErrorDetail(texts::kUnknownKindOfError)));
}

}  // namespace
}  // namespace brisvane::test_support
