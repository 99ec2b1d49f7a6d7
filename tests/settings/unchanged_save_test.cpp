#include "tests/settings/pane_fixture.h"
#include "settings/settings_store.h"

#include <filesystem>
#include <sys/stat.h>

namespace sv::test {
namespace {

using UnchangedSaveTest = PaneTest;

struct Stamp {
    ino_t inode = 0;
    long long modified = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const std::string& hostPath)
{
    struct stat info {};
    ::stat(hostPath.c_str(), &info);
    return { info.st_ino, static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL + info.st_mtim.tv_nsec };
}

TEST_F(UnchangedSaveTest, ASaveThatChangesNothingLeavesTheFileAsItWas)
{
    Array records;
    for (int i = 0; i < 50; ++i)
        records.push_back(slv::applicationRecord("App", "com.example." + std::to_string(i), slv::path::MissingIcon));
    writeSettings({ { "ramValue", Value(200) }, { "ApplicationData", records } });
    std::string path = root().host(slv::settingsPath());
    Stamp before = stampOf(path);

    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(200) } });
    slv::store::writeDictToSave(Dictionary { { "ApplicationData", records } });
    EXPECT_EQ(stampOf(path), before);

    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(205) } });
    EXPECT_NE(stampOf(path).inode, before.inode);
    EXPECT_EQ(findInteger(*slv::readSettings(), "ramValue"), 205);
}

TEST_F(UnchangedSaveTest, ANewKeyIsWrittenAndALeftoverTemporaryTakenAway)
{
    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(100) } });
    std::string path = root().host(slv::settingsPath());
    Stamp first = stampOf(path);
    slv::store::writeDictToSave(Dictionary { { "alwaysKill", Value(false) } });
    EXPECT_NE(stampOf(path), first);
    EXPECT_EQ(slv::readSettings(), (Dictionary { { "alwaysKill", Value(false) }, { "ramValue", Value(100) } }));

    // What a writer killed half-way leaves goes with the next save, needed or not.
    writeHostFile(path + ".tmp", "half a file");
    Stamp before = stampOf(path);
    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(100) } });
    EXPECT_EQ(stampOf(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

} // namespace
} // namespace sv::test
