// The file source: one "username<TAB>\\server\share" line per member, read again whenever the
// file changes.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "lookupd/member_source.h"

namespace brisvane::lookupd {

// The members of one version of the file. Blank lines and lines starting with "#" are skipped;
// a line without a tab is reported and skipped; a username on two lines is ambiguous.
struct MembersTable {
    std::map<std::string, std::vector<std::string>, std::less<>> shares;
    std::vector<std::string> problems;  // "line 7: no tab between username and share"
};

MembersTable ParseMembers(std::string_view text);

MemberAnswer FindInTable(const MembersTable& table, std::string_view username);

class MembersFile final : public MemberSource {
  public:
    using Warn = std::function<void(const std::string&)>;

    // Reads `path` now: ConfigError when it cannot be read. `warn` receives a line for the log
    // for every version read again, the problems of every version, and a failed reread (the
    // last good version stays in use).
    MembersFile(std::filesystem::path path, Warn warn);

    // Answers at once, from the version of the file read last (read again first if it changed).
    void Find(std::string_view username, AnswerCallback done) override;

    // Reads the file again if it changed since the last read (its size, time or inode).
    void Reload() override;

  private:
    struct Stamp {
        std::uintmax_t size = 0;
        std::int64_t modified = 0;
        std::uintmax_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    bool StampNow(Stamp& stamp) const;
    bool Read(const Stamp& stamp);

    std::filesystem::path path_;
    Warn warn_;
    std::mutex mutex_;
    Stamp stamp_;
    bool lastReadFailed_ = false;
    std::shared_ptr<const MembersTable> table_;
};

}  // namespace brisvane::lookupd
