// The file layer's own reads: a read again that compares with what its caller holds, the ends of
// a file, and the device root, opened once and followed when it is set again.
#include "platform/foundation/files.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using sv::fs::Comparison;
using sv::test::DeviceRoot;

constexpr const char* kFile = "/var/mobile/Library/Preferences/again.bin";

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return { text.begin(), text.end() };
}

TEST(FileReads, AReadAgainTellsTheSameBytesFromEveryChange)
{
    DeviceRoot root;
    std::string big(70000, 'x');
    const auto known = bytesOf(big);
    std::vector<std::uint8_t> changed { 1, 2, 3 };

    sv::test::writeHostFile(root.host(kFile), big);
    EXPECT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Same);
    EXPECT_TRUE(changed.empty());

    // One byte changed at the start, the middle and the end, and the size kept.
    for (std::size_t at : { std::size_t(0), big.size() / 2, big.size() - 1 }) {
        std::string other = big;
        other[at] = 'y';
        sv::test::writeHostFile(root.host(kFile), other);
        ASSERT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Changed) << at;
        EXPECT_EQ(changed, bytesOf(other)) << at;
    }
    // Shorter, longer, empty.
    for (std::string other : { big.substr(0, 100), big + "z", std::string() }) {
        sv::test::writeHostFile(root.host(kFile), other);
        ASSERT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Changed) << other.size();
        EXPECT_EQ(changed, bytesOf(other));
    }
    // What readData reads as nothing: no file, a FIFO, a file beyond the size allowed.
    std::filesystem::remove(root.host(kFile));
    EXPECT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Unreadable);
    ASSERT_EQ(::mkfifo(root.host(kFile).c_str(), 0644), 0);
    EXPECT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Unreadable);
    std::filesystem::remove(root.host(kFile));
    sv::test::writeHostFile(root.host(kFile), big);
    EXPECT_EQ(sv::fs::readDataAgain(kFile, known, changed, big.size() - 1), Comparison::Unreadable);
    EXPECT_EQ(sv::fs::readDataAgain("relative", known, changed), Comparison::Unreadable);

    // A file larger than the room a thread keeps: compared as well, again and again.
    std::string huge(3 << 20, 'h');
    sv::test::writeHostFile(root.host(kFile), huge);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(sv::fs::readDataAgain(kFile, bytesOf(huge), changed), Comparison::Same);
        ASSERT_EQ(sv::fs::readDataAgain(kFile, known, changed), Comparison::Changed);
        EXPECT_EQ(changed.size(), huge.size());
    }
}

TEST(FileReads, AReadAgainNeverFollowsALink)
{
    DeviceRoot root;
    sv::test::writeHostFile(root.host("/var/mobile/target.bin"), "secret");
    std::filesystem::create_directories(root.host("/var/mobile/Library/Preferences"));
    std::filesystem::create_symlink(root.host("/var/mobile/target.bin"), root.host(kFile));
    std::vector<std::uint8_t> changed;
    EXPECT_EQ(sv::fs::readDataAgain(kFile, bytesOf("secret"), changed), Comparison::Unreadable);
    EXPECT_FALSE(sv::fs::readData(kFile));
    sv::fs::resolveOneFolderAtATimeForTesting(true);
    EXPECT_EQ(sv::fs::readDataAgain(kFile, bytesOf("secret"), changed), Comparison::Unreadable);
    EXPECT_FALSE(sv::fs::readData(kFile));
    sv::fs::resolveOneFolderAtATimeForTesting(false);
}

// A check of a file's two ends reads them only from a regular file long enough for both, and
// takes a plain name in its folder, never a path or a link.
TEST(FileReads, TheEndsOfAFileComeOnlyFromAPlainRegularFileLongEnough)
{
    DeviceRoot root;
    sv::test::writeHostFile(root.host("/var/mobile/ends.bin"), "HEAD-middle-TAIL");
    sv::test::writeHostFile(root.host("/var/mobile/short.bin"), "HEADTAI");
    std::filesystem::create_symlink(root.host("/var/mobile/ends.bin"), root.host("/var/mobile/link.bin"));
    std::filesystem::create_directories(root.host("/var/mobile/inner"));
    sv::test::writeHostFile(root.host("/var/mobile/inner/ends.bin"), "HEAD-middle-TAIL");
    auto folder = sv::fs::openFolder("/var/mobile");
    ASSERT_TRUE(folder);

    std::uint8_t head[4], tail[4];
    auto text = [](const std::uint8_t(&bytes)[4]) { return std::string(bytes, bytes + 4); };
    ASSERT_TRUE(sv::fs::readEndsIn(*folder, "ends.bin", head, tail));
    EXPECT_EQ(text(head), "HEAD");
    EXPECT_EQ(text(tail), "TAIL");
    // Exactly as long as both ends, and one byte shorter.
    ASSERT_TRUE(sv::fs::readEndsIn(*folder, "short.bin", head, std::span<std::uint8_t>(tail, 3)));
    EXPECT_EQ(std::string(tail, tail + 3), "TAI");
    EXPECT_FALSE(sv::fs::readEndsIn(*folder, "short.bin", head, tail));
    for (const char* refused : { "link.bin", "inner/ends.bin", "inner", "missing.bin", "..", "" })
        EXPECT_FALSE(sv::fs::readEndsIn(*folder, refused, head, tail)) << refused;
    EXPECT_FALSE(sv::fs::readEndsIn(sv::fs::Folder(), "ends.bin", head, tail));
}

// One owner at a time: a descriptor moved on is closed once, by its last holder, and one
// assigned over is closed at once.
TEST(FileDescriptors, TheLastOwnerClosesEachDescriptorOnce)
{
    auto open = [](int fd) { return ::fcntl(fd, F_GETFD) != -1; };
    int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int second = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    {
        sv::fs::FileDescriptor a(first);
        sv::fs::FileDescriptor b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), first);
        b = sv::fs::FileDescriptor(second);
        EXPECT_FALSE(open(first));
        EXPECT_TRUE(open(second));
        int kept = b.release();
        EXPECT_FALSE(b);
        b.reset(kept);
    }
    EXPECT_FALSE(open(second));
}

// The root is kept open once used, so setting it again must lead to the new one, and a root
// that was not there when it was set is found once it is.
TEST(FileReads, TheRootSetLastIsTheOneRead)
{
    DeviceRoot first;
    sv::test::writeHostFile(first.host("/file"), "first");
    ASSERT_TRUE(sv::fs::readData("/file"));
    DeviceRoot second;
    sv::test::writeHostFile(second.host("/file"), "second");
    EXPECT_EQ(sv::fs::readData("/file"), bytesOf("second"));

    std::string later = second.path() + "/later";
    sv::fs::setDeviceRoot(later);
    EXPECT_FALSE(sv::fs::readData("/file"));
    EXPECT_FALSE(sv::fs::openFolder("/"));
    std::filesystem::create_directories(later);
    sv::test::writeHostFile(later + "/file", "later");
    EXPECT_EQ(sv::fs::readData("/file"), bytesOf("later"));
    EXPECT_TRUE(sv::fs::openFolder("/"));
    EXPECT_TRUE(sv::fs::exists("/file"));
    sv::fs::setDeviceRoot(second.path());
    EXPECT_EQ(sv::fs::readData("/file"), bytesOf("second"));
}

} // namespace
