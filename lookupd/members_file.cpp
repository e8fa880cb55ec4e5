#include "lookupd/members_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "lookupd/config.h"

namespace brisvane::lookupd {

MembersTable ParseMembers(std::string_view text) {
    MembersTable table;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0) {
            table.problems.push_back("line " + std::to_string(lineNumber) +
                                     R"(: expected username<TAB>\\server\share)");
            continue;
        }
        table.shares[std::string(line.substr(0, tab))].emplace_back(line.substr(tab + 1));
    }
    return table;
}

MemberAnswer FindInTable(const MembersTable& table, std::string_view username) {
    const auto found = table.shares.find(username);
    if (found == table.shares.end()) {
        return {MemberAnswer::Kind::kUnknown, {}, {}};
    }
    if (found->second.size() > 1) {
        return {MemberAnswer::Kind::kAmbiguous,
                {},
                "the members file lists the username on " + std::to_string(found->second.size()) +
                    " lines"};
    }
    if (found->second.front().empty()) {
        return {MemberAnswer::Kind::kNoHomeShare, {}, {}};
    }
    return {MemberAnswer::Kind::kFound, found->second.front(), {}};
}

MembersFile::MembersFile(std::filesystem::path path, Warn warn)
    : path_(std::move(path)), warn_(std::move(warn)) {
    Stamp stamp;
    if (!StampNow(stamp) || !Read(stamp)) {
        throw ConfigError("[members] file: cannot read \"" + path_.string() + "\"");
    }
}

bool MembersFile::StampNow(Stamp& stamp) const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) {
        return false;
    }
    stamp.size = static_cast<std::uintmax_t>(status.st_size);
    stamp.modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    stamp.inode = status.st_ino;
    return true;
}

bool MembersFile::Read(const Stamp& stamp) {
    std::ifstream file(path_, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    auto table = std::make_shared<MembersTable>(ParseMembers(content.str()));
    for (const std::string& problem : table->problems) {
        warn_("warning: members file " + path_.string() + ", " + problem);
    }
    table_ = std::move(table);
    stamp_ = stamp;
    return true;
}

void MembersFile::Reload() {
    Stamp now;
    const std::lock_guard lock(mutex_);
    const bool stamped = StampNow(now);
    if (stamped && now == stamp_) {
        lastReadFailed_ = false;
        return;
    }
    if (stamped && Read(now)) {
        lastReadFailed_ = false;
        warn_("members file " + path_.string() +
              " read again: " + std::to_string(table_->shares.size()) + " members");
        return;
    }
    if (!lastReadFailed_) {
        lastReadFailed_ = true;
        warn_("warning: members file " + path_.string() +
              " cannot be read; the last version read stays in use");
    }
}

void MembersFile::Find(std::string_view username, AnswerCallback done) {
    Reload();
    std::shared_ptr<const MembersTable> table;
    {
        const std::lock_guard lock(mutex_);
        table = table_;
    }
    done(FindInTable(*table, username));
}

}  // namespace brisvane::lookupd
