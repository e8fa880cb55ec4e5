#include "lookupd/form.h"

#include <utility>
#include <vector>

#include "mount/lookup_body.h"

namespace brisvane::lookupd {

std::optional<std::string> UserFromForm(std::string_view body) {
    std::optional<std::vector<std::string>> users = FormValues(body, "user");
    if (!users || users->size() != 1) {
        return std::nullopt;
    }
    return std::move(users->front());
}

}  // namespace brisvane::lookupd
