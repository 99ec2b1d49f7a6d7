#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using sv::test::DeviceRoot;

constexpr const char* kFile = "/var/mobile/Library/Preferences/test.plist";

sv::Dictionary sample()
{
    return {
        { "ramValue", 120 },
        { "alwaysKill", true },
        { "ratio", 0.5 },
        { "NeverIdentifiers", sv::Array { slv::identifierEntry("com.example.mail") } },
        { "blob", sv::Data { { 0, 1, 2, 255 } } },
        { "when", sv::Date { 86400.0 * 365 } },
        { "name", "Café \"quoted\" <tag> & more" },
    };
}

std::string binaryOf(const sv::Dictionary& dictionary)
{
    auto bytes = sv::plist::serializeBinary(dictionary);
    return std::string(bytes.begin(), bytes.end());
}

TEST(PropertyList, WritesAndReadsBackEveryTypeInXmlAndBinary)
{
    DeviceRoot root;
    ASSERT_TRUE(sv::plist::writeFile(kFile, sample()));
    auto read = sv::plist::readDictionary(kFile);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, sample());
    EXPECT_NE(sv::test::readHostFile(root.host(kFile)).find("<?xml"), std::string::npos);

    sv::test::writeHostFile(root.host(kFile), binaryOf(sample()));
    read = sv::plist::readDictionary(kFile);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, sample());
}

TEST(PropertyList, DamagedOrHostileFilesReadAsNothing)
{
    DeviceRoot root;
    std::string xml;
    {
        auto bytes = sv::plist::serializeXml(sample());
        xml.assign(bytes.begin(), bytes.end());
    }
    std::string deepXml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 100000; ++i)
        deepXml += "<array>";
    for (int i = 0; i < 100000; ++i)
        deepXml += "</array>";
    deepXml += "</plist>";

    // A binary list of 100 000 arrays each holding the next one.
    std::string deepBinary = "bplist00";
    const int depth = 100000;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.push_back(static_cast<uint32_t>(deepBinary.size()));
        if (i + 1 < depth) {
            deepBinary += char(0xA1);
            uint32_t next = static_cast<uint32_t>(i + 1);
            deepBinary += { char(next >> 16), char(next >> 8), char(next) };
        } else {
            deepBinary += char(0xA0);
        }
    }
    uint64_t table = deepBinary.size();
    for (uint32_t o : offsets)
        deepBinary += { char(o >> 16), char(o >> 8), char(o) };
    std::string trailer(32, '\0');
    trailer[6] = 3;
    trailer[7] = 3;
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = char(uint64_t(depth) >> (56 - 8 * i));
        trailer[24 + i] = char(table >> (56 - 8 * i));
    }
    deepBinary += trailer;

    std::mt19937 random(7);
    std::string junk(50 * 1024 * 1024, '\0');
    for (auto& c : junk)
        c = static_cast<char>(random());
    std::string binary = binaryOf(sample());

    const std::vector<std::pair<std::string, std::string>> cases = {
        { "empty", "" },
        { "truncated xml", xml.substr(0, xml.size() / 2) },
        { "truncated binary", binary.substr(0, binary.size() - 40) },
        { "junk", junk.substr(0, 4096) },
        { "50 MB of junk", junk },
        { "deep xml", deepXml },
        { "deep binary", deepBinary },
        { "not a dictionary", "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>" },
    };
    for (const auto& [name, bytes] : cases) {
        sv::test::writeHostFile(root.host(kFile), bytes);
        EXPECT_FALSE(sv::plist::readDictionary(kFile)) << name;
    }
    EXPECT_FALSE(sv::plist::readDictionary("/var/mobile/missing.plist"));
}

TEST(PropertyList, TypedLookupsAnswerNothingForWrongTypes)
{
    sv::Dictionary d {
        { "NeverIdentifiers", "com.example.mail" },
        { "AlwaysIdentifiers", sv::Array { "not a dictionary", sv::Dictionary { { "BundleID", 5 } },
                                           slv::identifierEntry("com.example.notes") } },
        { "ramValue", 150.7 },
        { "alwaysKill", 1 },
    };
    EXPECT_EQ(sv::findArray(d, "NeverIdentifiers"), nullptr);
    EXPECT_FALSE(slv::listContains(sv::findArray(d, "NeverIdentifiers"), "com.example.mail"));
    EXPECT_TRUE(slv::listContains(sv::findArray(d, "AlwaysIdentifiers"), "com.example.notes"));
    EXPECT_FALSE(slv::listContains(sv::findArray(d, "AlwaysIdentifiers"), "5"));
    EXPECT_EQ(sv::findInteger(d, "ramValue"), 150);
    EXPECT_TRUE(sv::findBool(d, "alwaysKill"));
    EXPECT_FALSE(sv::findBool(d, "missing"));
    EXPECT_EQ(sv::findString(d, "ramValue"), nullptr);
}

TEST(SettingsFile, AnUnreadableFileIsNeverWrittenOver)
{
    DeviceRoot root;
    sv::test::writeHostFile(root.host(slv::settingsPath()), "this is not a property list");
    auto result = slv::updateSettings([](sv::Dictionary& d) {
        d["ramValue"] = 200;
        return true;
    });
    EXPECT_EQ(result, sv::plist::UpdateResult::Unreadable);
    EXPECT_EQ(sv::test::readHostFile(root.host(slv::settingsPath())), "this is not a property list");
}

TEST(SettingsFile, AMissingFileIsCreatedAndOtherKeysAreKept)
{
    DeviceRoot root;
    EXPECT_FALSE(slv::settingsExist());
    EXPECT_EQ(slv::updateSettings([](sv::Dictionary& d) {
        d["NeverIdentifiers"] = sv::Array { slv::identifierEntry("a") };
        return true;
    }),
              sv::plist::UpdateResult::Written);
    slv::updateSettings([](sv::Dictionary& d) {
        d["ramValue"] = 120;
        return true;
    });
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->size(), 2u);
    EXPECT_EQ(sv::findInteger(*settings, "ramValue"), 120);
}

// Two processes each change their own keys 500 times; the lock keeps every change, and the atomic
// replacement keeps the file whole for every reader in between.
TEST(SettingsFile, TwoProcessesWritingAtOnceLoseNothing)
{
    DeviceRoot root;
    constexpr int kWrites = 500;
    auto writer = [](const std::string& prefix, bool checkAfterEach) {
        for (int i = 0; i < kWrites; ++i) {
            // A writer that finds the lock busy past its deadline tries again, as the pane does.
            sv::plist::UpdateResult result;
            int attempts = 0;
            do
                result = slv::updateSettings([&](sv::Dictionary& d) {
                    d[prefix + std::to_string(i)] = i;
                    return true;
                });
            while (result == sv::plist::UpdateResult::Busy && ++attempts < 40);
            if (result != sv::plist::UpdateResult::Written)
                return false;
            if (checkAfterEach && !slv::readSettings())
                return false;
        }
        return true;
    };
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(writer("child", true) ? 0 : 1);
    bool parentOk = writer("parent", true);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(parentOk);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->size(), 2u * kWrites);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(sv::findInteger(*settings, "child" + std::to_string(i)), i);
        EXPECT_EQ(sv::findInteger(*settings, "parent" + std::to_string(i)), i);
    }
}

TEST(Files, DevicePathsStayUnderTheRootAndFoldersGetTheirPermissions)
{
    DeviceRoot root;
    EXPECT_EQ(sv::fs::resolve("/var/mobile"), root.path() + "/var/mobile");
    EXPECT_EQ(sv::fs::resolve("relative"), "");
    EXPECT_FALSE(sv::fs::createDirectory("/var/mobile/Library/A/B", 0775)); // no intermediates
    ASSERT_TRUE(sv::fs::createDirectory("/var/mobile/Library/A", 0775));
    EXPECT_FALSE(sv::fs::createDirectory("/var/mobile/Library/A", 0775));
    struct stat info;
    ASSERT_EQ(::stat(root.host("/var/mobile/Library/A").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0775u);

    const char data[] = "abc";
    ASSERT_TRUE(sv::fs::writeDataAtomically("/var/mobile/Library/A/f", data, 3));
    EXPECT_EQ(sv::test::readHostFile(root.host("/var/mobile/Library/A/f")), "abc");
    EXPECT_FALSE(sv::fs::writeDataAtomically("/var/mobile/NoFolder/f", data, 3));
}

} // namespace
