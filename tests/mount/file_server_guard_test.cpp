#include "mount/file_server_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mount/workflow_error.h"

namespace brisvane {
namespace {

using enum ShareRefusal;

const std::vector<TextView> kNoList;
const std::vector<TextView> kCampus = {u"srv1", u"192.0.2.10", u".campus.example"};

TEST(FileServerGuardTest, LetsThroughOnlyTheOrganisationsServersAndPlainPaths) {
    struct Case {
        TextView sharePath;
        const std::vector<TextView>& fileServers;
        ShareRefusal refusal;
    };
    const Text longPath = u"\\\\srv1\\" + Text(400, u'd') + u"\\user1";
    const Text withNul(u"\\\\srv1\\user1\0", 13);
    // Server names of 253 and 254 characters in the listed domain.
    const Text longest = u"\\\\" + Text(238, u'a') + u".campus.example\\user1";
    const Text tooLong = u"\\\\" + Text(239, u'a') + u".campus.example\\user1";
    const Case cases[] = {
        // Exact entries and domain entries, ASCII case ignored, at a dot boundary only.
        {u"\\\\srv1\\user1", kCampus, kNone},
        {u"\\\\SRV1\\user1", kCampus, kNone},
        {u"\\\\files1.campus.example\\user1", kCampus, kNone},
        {u"\\\\a.b.Campus.EXAMPLE\\user1", kCampus, kNone},
        {u"\\\\192.0.2.10\\user1$", kCampus, kNone},
        {longPath, kCampus, kNone},
        {u"\\\\srv1", kCampus, kNone},
        {u"\\\\campus.example\\user1", kCampus, kNotAFileServer},
        {u"\\\\evilcampus.example\\user1", kCampus, kNotAFileServer},
        {u"\\\\files1.campus.example.attacker.example\\x", kCampus, kNotAFileServer},
        {u"\\\\srv10\\user1", kCampus, kNotAFileServer},
        {u"\\\\srv\\user1", kCampus, kNotAFileServer},
        {u"\\\\192.0.2.100\\user1", kCampus, kNotAFileServer},
        {u"\\\\attacker.example\\user1", kCampus, kNotAFileServer},
        {u"\\\\\\srv1\\user1", kCampus, kNotAFileServer},     // an empty server part
        {u"\\\\\u017Frv1\\user1", kCampus, kNotAFileServer},  // long s folds only in Unicode
        // With a list, only names in the list's own alphabet are compared with it.
        {u"\\\\files_1.xn--caf-dma.campus.example\\x", kCampus, kNone},
        {longest, kCampus, kNone},
        {tooLong, kCampus, kNotAFileServer},
        {u"\\\\a..campus.example\\x", kCampus, kNotAFileServer},
        {u"\\\\a\uFF0E.campus.example\\x", kCampus, kNotAFileServer},  // fullwidth full stop
        {u"\\\\caf\u00E9.campus.example\\x", kCampus, kNotAFileServer},
        {u"\\\\a b.campus.example\\x", kCampus, kNotAFileServer},
        {u"\\\\a\u202E.campus.example\\x", kCampus, kNotAFileServer},
        // Without a list every server goes through: NetBIOS names, addresses, hidden shares.
        {u"\\\\attacker.example\\user1", kNoList, kNone},
        {u"\\\\FILES2\\homes\\bob", kNoList, kNone},
        {u"\\\\10.0.0.7\\admin$", kNoList, kNone},
        {u"\\\\caf\u00E9\\x", kNoList, kNone},
        // With or without a list: device paths, WebDAV servers, control characters, dot steps.
        {u"\\\\?\\C:\\Users", kNoList, kDevicePath},
        {u"\\\\?\\UNC\\srv1\\user1", kCampus, kDevicePath},
        {u"\\\\.\\pipe\\x", kNoList, kDevicePath},
        {u"\\\\.\\C:", kCampus, kDevicePath},
        {u"\\\\.", kNoList, kDevicePath},
        {u"\\\\srv1@SSL\\DavWWWRoot\\x", kNoList, kWebServer},
        {u"\\\\srv1@8080\\x", kCampus, kWebServer},
        {u"\\\\user@srv1\\x", kNoList, kWebServer},
        {u"\\\\srv1\\us\u0001er1", kNoList, kControlCharacter},
        {u"\\\\srv1\\user1\u007F", kCampus, kControlCharacter},
        {withNul, kNoList, kControlCharacter},
        {u"\\\\srv1\\homes\\..\\admin$", kNoList, kDotStep},
        {u"\\\\srv1\\homes\\.\\user1", kCampus, kDotStep},
        {u"\\\\srv1\\user1\\..", kNoList, kDotStep},
        // Steps of dots and spaces alone: Windows drops a step's trailing dots and spaces, so
        // ".. " climbs as ".." does.
        {u"\\\\srv1\\homes\\.. \\admin$", kCampus, kDotStep},
        {u"\\\\srv1\\homes\\. .\\x", kNoList, kDotStep},
        {u"\\\\srv1\\...\\x.y", kNoList, kDotStep},
        {u"\\\\srv1\\user1\\ ..", kNoList, kDotStep},
        {u"\\\\.. \\x", kNoList, kDotStep},
        {u"\\\\srv1\\.x\\x.\\..x\\x..\\a b", kCampus, kNone},
        {u"\\\\srv1\\  \\x", kNoList, kNone},       // spaces alone climb nowhere
        {u"\\\\srv1\\x@y\\user1", kNoList, kNone},  // "@" counts in the server part only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckSharePath(c.sharePath, c.fileServers), c.refusal)
            << std::string(c.sharePath.begin(), c.sharePath.end());
    }
}

TEST(FileServerGuardTest, RefusesWithAccessDeniedAndSaysWhatWasRefused) {
    struct Case {
        TextView sharePath;
        TextView description;
    };
    const Case cases[] = {
        {u"\\\\attacker.example\\x",
         u"The lookup page named the file server \"attacker.example\", which is not one of the "
         u"organisation's file servers."},
        {u"\\\\srv1@SSL\\x",
         u"The lookup page named the server \"srv1@SSL\", whose \"@\" makes it a web address "
         u"(WebDAV), not a file server."},
        {u"\\\\srv1\\a\\..\\b",
         u"The lookup page named the share path \"\\\\srv1\\a\\..\\b\", which holds a \".\" or "
         u"\"..\" step."},
        {u"\\\\srv1\\a\r\nb",
         u"The lookup page named a share path that holds a control character."},
        {u"\\\\?\\C:\\x",
         u"The lookup page named the share path \"\\\\?\\C:\\x\", which is a device path of this "
         u"computer, not a share on a file server."},
    };
    for (const Case& c : cases) {
        try {
            GuardSharePath(c.sharePath, kCampus);
            ADD_FAILURE() << "not refused: " << std::string(c.sharePath.begin(), c.sharePath.end());
        } catch (const WorkflowError& error) {
            EXPECT_EQ(error.Number(), -2147024891);
            EXPECT_EQ(error.Description(), c.description);
        }
    }
    EXPECT_NO_THROW(GuardSharePath(u"\\\\files1.campus.example\\user1", kCampus));
}

}  // namespace
}  // namespace brisvane
