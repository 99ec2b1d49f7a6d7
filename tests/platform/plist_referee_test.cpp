// What we write, read by another implementation: Python's plistlib loads each file and writes it
// again as binary, and our reader must find the very value we wrote.
#include "platform/foundation/plist/property_list.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using sv::test::DeviceRoot;

constexpr const char* kFile = "/var/mobile/Library/Preferences/referee.plist";

const char* kRefeeree = "import plistlib, sys\n"
                        "with open(sys.argv[1], 'rb') as f: value = plistlib.load(f)\n"
                        "with open(sys.argv[2], 'wb') as f: plistlib.dump(value, f, fmt=plistlib.FMT_BINARY, sort_keys=False)\n";

std::optional<sv::Value> throughPython(const DeviceRoot& root)
{
    auto result = sv::test::runProcess({ "/usr/bin/python3", "-c", kRefeeree, root.host(kFile), root.host(kFile) + ".py" }, "", 60);
    if (result.status != 0) {
        ADD_FAILURE() << "plistlib refused the file: " << result.err;
        return std::nullopt;
    }
    return sv::plist::readFile(std::string(kFile) + ".py");
}

bool isXml(const DeviceRoot& root)
{
    return sv::test::readHostFile(root.host(kFile)).starts_with("<?xml");
}

TEST(PlistReferee, EveryValueWeWriteReadsBackTheSameElsewhere)
{
    DeviceRoot root;
    sv::Dictionary plain {
        { "name", "Café \"quoted\" <tag> & ]]> more\ttab\nline" },
        { "emoji", "\xF0\x9F\x98\x80 wide" },
        { "empty", "" },
        { "small", std::int64_t { -5 } },
        { "lowest", std::numeric_limits<std::int64_t>::min() },
        { "highest", std::numeric_limits<std::int64_t>::max() },
        { "tenth", 0.1 },
        { "huge", 1e300 },
        { "tiny", 5e-324 },
        { "flag", false },
        { "bytes", sv::Data { { 0, 255, 10, 13 } } },
        { "when", sv::Date { 86400.0 * 365 } },
        { "list", sv::Array { sv::Dictionary { { "BundleID", "com.a" } }, sv::Array {} } },
    };
    ASSERT_TRUE(sv::plist::writeFile(kFile, plain));
    EXPECT_TRUE(isXml(root));
    EXPECT_EQ(throughPython(root), sv::Value(plain));

    // Text that XML 1.0 cannot hold or that its readers change: the file is binary.
    for (std::string text : { std::string("bell\x07"), std::string("vertical\x0btab"), std::string("cr\r"),
                              std::string("crlf\r\n"), std::string("\xEF\xBF\xBE nonchar"), std::string("\x1b[0m") }) {
        sv::Dictionary odd { { "text", text }, { text, "as key" } };
        ASSERT_TRUE(sv::plist::writeFile(kFile, odd));
        EXPECT_FALSE(isXml(root));
        EXPECT_EQ(throughPython(root), sv::Value(odd));
        EXPECT_EQ(sv::plist::readFile(kFile), sv::Value(odd));
    }
    // Dates keep whole seconds, in either format.
    ASSERT_TRUE(sv::plist::writeFile(kFile, sv::Dictionary { { "when", sv::Date { 12.5 } } }));
    EXPECT_EQ(throughPython(root), sv::Value(sv::Dictionary { { "when", sv::Date { 12 } } }));
}

TEST(PlistReferee, BytesThatAreNotTextAreReadAsWellFormedText)
{
    DeviceRoot root;
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k\xFF</key><string>a\xC3(\xED\xA0\x80z</string></dict></plist>";
    sv::test::writeHostFile(root.host(kFile), xml);
    auto read = sv::plist::readFile(kFile);
    ASSERT_TRUE(read);
    sv::Value expected(sv::Dictionary { { "k\xEF\xBF\xBD", "a\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz" } });
    EXPECT_EQ(*read, expected);
    ASSERT_TRUE(sv::plist::writeFile(kFile, *read));
    EXPECT_EQ(throughPython(root), expected);
}

TEST(PlistReferee, AWriterNeverWritesWhatItsReaderRefuses)
{
    DeviceRoot root;
    // Close to the read limit as binary, well over it as XML (each byte of data grows by a third).
    sv::Data big;
    big.bytes.assign(sv::plist::kMaximumFileSize - 4096, 7);
    sv::Dictionary large { { "blob", big } };
    ASSERT_TRUE(sv::plist::writeFile(kFile, large));
    EXPECT_LE(sv::test::readHostFile(root.host(kFile)).size(), sv::plist::kMaximumFileSize);
    EXPECT_EQ(sv::plist::readFile(kFile), sv::Value(large));

    big.bytes.resize(sv::plist::kMaximumFileSize + 1);
    EXPECT_FALSE(sv::plist::writeFile(kFile, sv::Dictionary { { "blob", big } }));
    EXPECT_EQ(sv::plist::readFile(kFile), sv::Value(large));

    sv::Value deep = sv::Array {};
    for (int i = 1; i < sv::plist::kMaximumDepth; ++i)
        deep = sv::Array { deep };
    ASSERT_TRUE(sv::plist::writeFile(kFile, deep));
    EXPECT_EQ(sv::plist::readFile(kFile), deep);
    EXPECT_FALSE(sv::plist::writeFile(kFile, sv::Array { deep }));
}

} // namespace
