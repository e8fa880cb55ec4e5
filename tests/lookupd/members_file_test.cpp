#include "lookupd/members_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "answer_now.h"

#include "lookupd/config.h"

namespace brisvane::lookupd {
namespace {

using Kind = MemberAnswer::Kind;

TEST(MembersFileTest, ReadsOneMemberALine) {
    const MembersTable table = ParseMembers(
        "# username<TAB>share\n"
        "alice\t\\\\files1\\homes\\alice\n"
        "j\xC3\xBCrgen\t\\\\files1\\juergen\r\n"  // CR LF line ends too
        "\n"
        "nohome\t\n"
        "twin\t\\\\files1\\a\n"
        "twin\t\\\\files1\\b\n"
        "no tab here\n"
        "\t\\\\files1\\nobody\n"
        "last\t\\\\files1\\last");  // no line feed at the end
    struct Case {
        std::string_view username;
        Kind kind;
        std::string_view value;
    };
    const Case cases[] = {
        {"alice", Kind::kFound, "\\\\files1\\homes\\alice"},
        {"j\xC3\xBCrgen", Kind::kFound, "\\\\files1\\juergen"},
        {"Alice", Kind::kUnknown, ""},  // names are compared exactly
        {"nohome", Kind::kNoHomeShare, ""},
        {"twin", Kind::kAmbiguous, ""},
        {"no tab here", Kind::kUnknown, ""},
        {"", Kind::kUnknown, ""},
        {"# username", Kind::kUnknown, ""},
        {"last", Kind::kFound, "\\\\files1\\last"},
    };
    for (const Case& c : cases) {
        const MemberAnswer answer = FindInTable(table, c.username);
        EXPECT_EQ(answer.kind, c.kind) << c.username;
        EXPECT_EQ(answer.value, c.value) << c.username;
    }
    ASSERT_EQ(table.problems.size(), 2U);
    EXPECT_EQ(table.problems[0].rfind("line 8:", 0), 0U) << table.problems[0];
    EXPECT_EQ(table.problems[1].rfind("line 9:", 0), 0U) << table.problems[1];
}

class MembersFileReloadTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string folder = (std::filesystem::temp_directory_path() / "lookupd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        folder_ = folder;
        path_ = folder_ / "members.tsv";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void Write(std::string_view content) const {
        // Written beside and renamed, as editors and deployment tools do.
        const std::filesystem::path next = folder_ / "members.tsv.new";
        std::ofstream(next, std::ios::binary) << content;
        std::filesystem::rename(next, path_);
    }

    std::filesystem::path folder_;
    std::filesystem::path path_;
    std::vector<std::string> warnings_;
    MembersFile::Warn warn_ = [this](const std::string& w) { warnings_.push_back(w); };
};

TEST_F(MembersFileReloadTest, AChangedFileIsReadAgainAndAVanishedOneKeepsTheLastVersion) {
    Write("alice\t\\\\files1\\alice\n");
    MembersFile members(path_, warn_);
    EXPECT_EQ(AnswerNow(members, "alice").kind, Kind::kFound);
    EXPECT_EQ(AnswerNow(members, "bob").kind, Kind::kUnknown);

    Write("bob\t\\\\files1\\bob\n");
    EXPECT_EQ(AnswerNow(members, "bob").value, "\\\\files1\\bob");
    EXPECT_EQ(AnswerNow(members, "alice").kind, Kind::kUnknown);

    std::filesystem::remove(path_);
    EXPECT_EQ(AnswerNow(members, "bob").kind, Kind::kFound);
    EXPECT_EQ(AnswerNow(members, "bob").kind, Kind::kFound);
    const auto cannotRead = std::count_if(warnings_.begin(), warnings_.end(), [](auto& w) {
        return w.find("cannot be read") != std::string::npos;
    });
    EXPECT_EQ(cannotRead, 1);  // said once, not on every lookup

    Write("carol\t\\\\files1\\carol\n");
    EXPECT_EQ(AnswerNow(members, "carol").kind, Kind::kFound);
}

TEST_F(MembersFileReloadTest, AMissingFileAtStartIsAConfigurationError) {
    EXPECT_THROW(MembersFile(path_, warn_), ConfigError);
}

}  // namespace
}  // namespace brisvane::lookupd
