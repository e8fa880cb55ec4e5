// Prints a document written from the service's settings table, for
// scripts/settings-documents.sh:
//   brisvane_lookupd_documents toml NAME   the commented configuration NAME
//   brisvane_lookupd_documents markdown    the settings table of the documentation
//   brisvane_lookupd_documents man         the settings part of lookupd.toml(5)
#include <iostream>
#include <string_view>

#include "lookupd/settings_documents.h"

int main(int argc, char** argv) {
    using namespace brisvane::lookupd;
    const std::string_view kind = argc > 1 ? argv[1] : "";
    if (kind == "toml" && argc == 3) {
        if (const auto text = CommentedConfiguration(argv[2])) {
            std::cout << *text;
            return 0;
        }
    } else if (kind == "markdown" && argc == 2) {
        std::cout << SettingsMarkdown();
        return 0;
    } else if (kind == "man" && argc == 2) {
        std::cout << SettingsManPage();
        return 0;
    }
    std::cerr << "usage: brisvane_lookupd_documents toml NAME | markdown | man\n";
    return 2;
}
