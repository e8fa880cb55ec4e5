#include "window/fatal_error.h"

#include <new>

#include "mount/workflow_error.h"

namespace brisvane {

Text FatalErrorMessage(const std::exception_ptr& failure) {
    Text detail;
    try {
        std::rethrow_exception(failure);
    } catch (const WorkflowError& error) {
        detail =
            u" Error: " + Decimal(error.Number()) + u"\r\n Description: " + error.Description();
    } catch (const std::bad_alloc&) {
        detail = u" Description: Out of memory";
    } catch (const std::exception& error) {
        detail = u" Description: " + WidenAscii(error.what());
    } catch (...) {
        detail = u" Description: an error of unknown kind";
    }
    return u"Brisvane met an error it cannot handle and has to close.\r\n\r\n" + detail;
}

}  // namespace brisvane
