#include "window/fatal_error.h"

#include <new>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"

namespace brisvane {

Text FatalErrorMessage(const std::exception_ptr& failure) {
    Text detail;
    try {
        std::rethrow_exception(failure);
    } catch (const WorkflowError& error) {
        detail = texts::FatalErrorDetail(Decimal(error.Number()), error.Description());
    } catch (const std::bad_alloc&) {
        detail = texts::FatalErrorDetail(texts::kOutOfMemory);
    } catch (const std::exception& error) {
        detail = texts::FatalErrorDetail(WidenAscii(error.what()));
    } catch (...) {
        detail = texts::FatalErrorDetail(texts::kUnknownKindOfError);
    }
    return texts::FatalError(detail);
}

}  // namespace brisvane
