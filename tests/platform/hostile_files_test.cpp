// The file layer against what an attacker or a stuck process leaves on the device: deep nesting
// in any spelling, FIFOs, planted links, a stopped lock holder, text XML cannot carry.
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/ui/image.h"
#include "tests/support/device_root.h"
#include "tests/support/stopped_lock_holder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using sv::test::DeviceRoot;
using sv::test::StoppedLockHolder;
using Clock = std::chrono::steady_clock;

// Runs work in a child process; true when it exits 0 within the time. A child that hangs is
// killed, so a hang fails the test instead of stalling the suite.
bool finishesWithin(double seconds, const std::function<bool()>& work)
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return false;
        }
        ::usleep(2000);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string deepXml(const std::string& open, const std::string& close, int depth)
{
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += open;
    for (int i = 0; i < depth; ++i)
        xml += close;
    return xml + "</plist>";
}

TEST(HostileFiles, DeepNestingIsRefusedWhateverTheSpellingAndTheFileStays)
{
    for (std::string open : { "<array\n>", "<array\t>", "<array\r\n>", "<array >", "<dict\n>" }) {
        DeviceRoot root;
        std::string close = open.starts_with("<dict") ? "</dict\n>" : "</array\n>";
        std::string xml = deepXml(open, close, 200000);
        sv::test::writeHostFile(root.host(slv::settingsPath()), xml);
        EXPECT_TRUE(finishesWithin(20, [] { return !slv::readSettings(); })) << open;
        EXPECT_EQ(slv::updateSettings([](sv::Dictionary&) { return true; }), sv::plist::UpdateResult::Unreadable);
        EXPECT_EQ(sv::test::readHostFile(root.host(slv::settingsPath())), xml);
    }
    // Closing tags hidden in a comment do not make room for more depth.
    std::string hidden = deepXml("<array><!-- </array> -->", "</array>", 300);
    EXPECT_FALSE(sv::plist::parse(reinterpret_cast<const std::uint8_t*>(hidden.data()), hidden.size()));
    std::string fine = deepXml("<array\n>", "</array\n>", 200);
    EXPECT_TRUE(sv::plist::parse(reinterpret_cast<const std::uint8_t*>(fine.data()), fine.size()));
}

TEST(HostileFiles, AFifoOrFolderReadsAsNothingAtOnce)
{
    DeviceRoot root;
    std::string settings = root.host(slv::settingsPath());
    ASSERT_EQ(::mkfifo(settings.c_str(), 0644), 0);
    std::string icon = root.host("/var/mobile/Library/Preferences/icon.png");
    ASSERT_EQ(::mkfifo(icon.c_str(), 0644), 0);
    EXPECT_TRUE(finishesWithin(10, [] {
        return !slv::readSettings() && !sv::ui::Image::fromFile("/var/mobile/Library/Preferences/icon.png")
            && slv::updateSettings([](sv::Dictionary&) { return true; }) == sv::plist::UpdateResult::Unreadable;
    }));
    EXPECT_FALSE(sv::fs::readData("/var/mobile/Library"));
}

void plantedLinksAndDotDotNeverLeadOutOfTheRoot()
{
    DeviceRoot root;
    DeviceRoot outside; // a second folder standing for the rest of the machine
    sv::fs::setDeviceRoot(root.path());
    std::string away = outside.path() + "/away";
    ASSERT_EQ(::mkdir(away.c_str(), 0755), 0);
    sv::test::writeHostFile(away + "/com.norv.slv.plist", "<plist><dict/></plist>");
    auto untouched = [&] { return sv::test::readHostFile(away + "/com.norv.slv.plist") == "<plist><dict/></plist>"; };

    // A linked preferences folder: neither read nor written through.
    std::string preferences = root.host("/var/mobile/Library/Preferences");
    ::rmdir(preferences.c_str());
    ASSERT_EQ(::symlink(away.c_str(), preferences.c_str()), 0);
    EXPECT_FALSE(slv::readSettings());
    EXPECT_NE(slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 5; return true; }),
              sv::plist::UpdateResult::Written);
    EXPECT_FALSE(sv::fs::createDirectories("/var/mobile/Library/Preferences/Deeper"));
    EXPECT_TRUE(untouched());
    ::unlink(preferences.c_str());
    ASSERT_EQ(::mkdir(preferences.c_str(), 0755), 0);

    // A dangling link where the lock file goes is not created through; nor is a linked temporary.
    std::string target = away + "/made-by-lock";
    ASSERT_EQ(::symlink(target.c_str(), (root.host(slv::settingsPath()) + ".lock").c_str()), 0);
    EXPECT_EQ(slv::updateSettings([](sv::Dictionary&) { return true; }), sv::plist::UpdateResult::Busy);
    ::unlink((root.host(slv::settingsPath()) + ".lock").c_str());
    ASSERT_EQ(::symlink((away + "/made-by-tmp").c_str(), (root.host(slv::settingsPath()) + ".tmp").c_str()), 0);
    EXPECT_EQ(slv::updateSettings([](sv::Dictionary&) { return true; }), sv::plist::UpdateResult::WriteFailed);
    ::unlink((root.host(slv::settingsPath()) + ".tmp").c_str());
    struct stat info;
    EXPECT_NE(::lstat(target.c_str(), &info), 0);
    EXPECT_NE(::lstat((away + "/made-by-tmp").c_str(), &info), 0);

    // A hard link at the temporary is set aside, and the file it names keeps its bytes.
    ASSERT_EQ(::link((away + "/com.norv.slv.plist").c_str(), (root.host(slv::settingsPath()) + ".tmp").c_str()), 0);
    EXPECT_EQ(slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 5; return true; }),
              sv::plist::UpdateResult::Written);
    EXPECT_TRUE(untouched());
    EXPECT_EQ(sv::findInteger(*slv::readSettings(), "ramValue"), 5);

    // A linked icons folder, and paths that climb.
    ASSERT_TRUE(sv::fs::createDirectories("/var/mobile/Library/Sleepvane"));
    ASSERT_EQ(::symlink(away.c_str(), root.host(std::string(slv::path::IconsFolder)).c_str()), 0);
    EXPECT_FALSE(sv::fs::writeDataAtomically(std::string(slv::path::IconsFolder) + "/com.x.png", "png", 3));
    std::string climb = "/var/mobile/../../" + outside.path().substr(outside.path().rfind('/') + 1) + "/away/x";
    EXPECT_EQ(sv::fs::resolve(climb), "");
    EXPECT_FALSE(sv::fs::writeDataAtomically(climb, "x", 1));
    EXPECT_FALSE(sv::fs::createDirectories("/var/mobile/Library/.."));
    EXPECT_FALSE(sv::fs::readData("/var/mobile/Library/Sleepvane/Icons/../Icons/com.x.png"));
    EXPECT_NE(::lstat((away + "/com.x.png").c_str(), &info), 0);
    EXPECT_NE(::lstat((away + "/x").c_str(), &info), 0);
    EXPECT_TRUE(untouched());

    // Within an open folder: a name is one plain file name, and a link by that name stays unread.
    ::unlink(root.host(std::string(slv::path::IconsFolder)).c_str());
    ASSERT_TRUE(sv::fs::createDirectories(slv::path::IconsFolder));
    auto icons = sv::fs::openFolder(slv::path::IconsFolder);
    ASSERT_TRUE(icons);
    for (const char* name : { "", ".", "..", "../x", "a/b" })
        EXPECT_FALSE(sv::fs::writeDataAtomicallyIn(*icons, name, "x", 1)) << name;
    ASSERT_EQ(::symlink((away + "/linked.png").c_str(), root.host(std::string(slv::path::IconsFolder) + "/linked.png").c_str()), 0);
    EXPECT_TRUE(sv::fs::existsIn(*icons, "linked.png"));
    EXPECT_FALSE(sv::fs::existsIn(*icons, "../Icons"));
    EXPECT_TRUE(sv::fs::writeDataAtomicallyIn(*icons, "linked.png", "png", 3));
    EXPECT_NE(::lstat((away + "/linked.png").c_str(), &info), 0);
    EXPECT_EQ(sv::test::readHostFile(root.host(std::string(slv::path::IconsFolder) + "/linked.png")), "png");
}

TEST(HostileFiles, PlantedLinksAndDotDotNeverLeadOutOfTheRoot)
{
    plantedLinksAndDotDotNeverLeadOutOfTheRoot();
}

// As on a kernel that cannot reach a folder beneath the root in one call.
TEST(HostileFiles, PlantedLinksNeverLeadOutWhenFoldersAreReachedOneAtATime)
{
    struct OneAtATime {
        OneAtATime() { sv::fs::resolveOneFolderAtATimeForTesting(true); }
        ~OneAtATime() { sv::fs::resolveOneFolderAtATimeForTesting(false); }
    } oneAtATime;
    plantedLinksAndDotDotNeverLeadOutOfTheRoot();
}

TEST(HostileFiles, ATemporaryLeftLongerThanTheNewFileIsCutToIt)
{
    DeviceRoot root;
    std::string path = "/var/mobile/Library/Preferences/some.plist";
    sv::test::writeHostFile(root.host(path) + ".tmp", std::string(10000, 'x'));
    ASSERT_TRUE(sv::fs::writeDataAtomically(path, "new", 3, sv::fs::Durability::Unflushed));
    EXPECT_EQ(sv::test::readHostFile(root.host(path)), "new");
    struct stat info;
    EXPECT_NE(::lstat((root.host(path) + ".tmp").c_str(), &info), 0);
}

TEST(HostileFiles, AWrittenFileIsReadableByAllWhateverTheUmaskOrALeftTemporarysMode)
{
    DeviceRoot root;
    std::string path = "/var/mobile/Library/Preferences/some.plist";
    auto modeOf = [&] {
        struct stat info {};
        ::lstat(root.host(path).c_str(), &info);
        return info.st_mode & 07777;
    };
    mode_t before = ::umask(077);
    ASSERT_TRUE(sv::fs::writeDataAtomically(path, "one", 3, sv::fs::Durability::Unflushed));
    EXPECT_EQ(modeOf(), 0644u);
    ::umask(before);
    sv::test::writeHostFile(root.host(path) + ".tmp", "left");
    ASSERT_EQ(::chmod((root.host(path) + ".tmp").c_str(), 04777), 0);
    ASSERT_TRUE(sv::fs::writeDataAtomically(path, "two", 3, sv::fs::Durability::Unflushed));
    EXPECT_EQ(modeOf(), 0644u);
    EXPECT_EQ(sv::test::readHostFile(root.host(path)), "two");
}

TEST(HostileFiles, AStoppedLockHolderDelaysAWriterOnlyUntilItsDeadline)
{
    DeviceRoot root;
    StoppedLockHolder holder;
    ASSERT_TRUE(holder.locked());
    auto started = Clock::now();
    auto result = slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 50; return true; });
    double waited = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(result, sv::plist::UpdateResult::Busy);
    EXPECT_GE(waited, sv::plist::kLockTimeout * 0.9);
    EXPECT_LT(waited, 3.0); // the deadline, with room for a loaded machine; before, for ever
    EXPECT_FALSE(slv::settingsExist());
    holder.release();
    EXPECT_EQ(slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 50; return true; }),
              sv::plist::UpdateResult::Written);
}

TEST(HostileFiles, AStoppedReaderHoldingATemporarysLockFailsTheWriteAtItsDeadlineAndKeepsTheOldFile)
{
    DeviceRoot root;
    std::string path = "/var/mobile/Library/Preferences/some.plist";
    sv::test::writeHostFile(root.host(path), "old");
    sv::test::writeHostFile(root.host(path) + ".tmp", "left by a killed writer");
    StoppedLockHolder holder(root.host(path) + ".tmp");
    ASSERT_TRUE(holder.locked());
    for (auto durability : { sv::fs::Durability::Flushed, sv::fs::Durability::Unflushed }) {
        auto started = Clock::now();
        EXPECT_FALSE(sv::fs::writeDataAtomically(path, "new", 3, durability));
        double waited = std::chrono::duration<double>(Clock::now() - started).count();
        EXPECT_GE(waited, sv::fs::kTemporaryLockTimeout * 0.9);
        EXPECT_LT(waited, 3.0); // the deadline, with room for a loaded machine; before, for ever
        EXPECT_EQ(sv::test::readHostFile(root.host(path)), "old");
    }
    holder.release();
    ASSERT_TRUE(sv::fs::writeDataAtomically(path, "new", 3));
    EXPECT_EQ(sv::test::readHostFile(root.host(path)), "new");
}

TEST(HostileFiles, AFullOrUnwritableFolderFailsTheWriteAndKeepsTheOldFile)
{
    DeviceRoot root;
    ASSERT_EQ(slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 50; return true; }), sv::plist::UpdateResult::Written);
    std::string before = sv::test::readHostFile(root.host(slv::settingsPath()));
    std::string folder = root.host("/var/mobile/Library/Preferences");
    ::chmod(folder.c_str(), 0555);
    bool privileged = ::geteuid() == 0;
    auto result = slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 60; return true; });
    ::chmod(folder.c_str(), 0755);
    if (!privileged) {
        EXPECT_EQ(result, sv::plist::UpdateResult::WriteFailed);
        EXPECT_EQ(sv::test::readHostFile(root.host(slv::settingsPath())), before);
    }
    before = sv::test::readHostFile(root.host(slv::settingsPath()));
    // A disk with no room left: every write past a few bytes fails.
    EXPECT_TRUE(finishesWithin(10, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit { 16, 16 };
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0
            && slv::updateSettings([](sv::Dictionary& d) { d["ramValue"] = 70; return true; })
            == sv::plist::UpdateResult::WriteFailed;
    }));
    EXPECT_EQ(sv::test::readHostFile(root.host(slv::settingsPath())), before);
    EXPECT_EQ(::access((root.host(slv::settingsPath()) + ".tmp").c_str(), F_OK), -1);
}

TEST(HostileFiles, PicturesTooLargeToHoldAreRefusedFromTheirHeader)
{
    // A PNG header claiming 20000 × 20000 pixels, with next to no data behind it.
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string("\0\0\0\x0dIHDR", 8);
    png += std::string("\0\0\x4e\x20\0\0\x4e\x20\x08\x06\0\0\0", 13);
    png += std::string(4, '\0');
    auto started = Clock::now();
    EXPECT_FALSE(sv::ui::Image::fromPngData(reinterpret_cast<const std::uint8_t*>(png.data()), png.size()));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 1.0);
}

} // namespace
