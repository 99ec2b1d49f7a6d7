#include "contract/settings_contract.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/xml_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

std::string text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(XmlWriter, WritesWhatLibplistWritesByteForByte)
{
    std::string controls;
    for (int c = 1; c < 32; ++c)
        controls += static_cast<char>(c);
    sv::Array records;
    for (int i = 0; i < 20; ++i)
        records.push_back(slv::applicationRecord("App & <" + std::to_string(i) + ">", "com.example." + std::to_string(i), "/x.png"));
    sv::Array deep { sv::Value(1) };
    for (int i = 0; i < 40; ++i)
        deep = sv::Array { sv::Value(deep), sv::Dictionary {} };
    const sv::Value values[] = {
        sv::Dictionary {},
        sv::Array {},
        sv::Value("top"),
        sv::Value(std::int64_t { 0 }),
        sv::Value(true),
        sv::Dictionary {
            { "", sv::Value("") },
            { "a&b<c>d\"e'f", sv::Value("]]> & <![CDATA[ é \xF0\x9F\x98\x80 " + controls + "\x7F") },
            { "min", sv::Value(std::numeric_limits<std::int64_t>::min()) },
            { "max", sv::Value(std::numeric_limits<std::int64_t>::max()) },
            { "negative", sv::Value(-5) },
            { "broken \xC3", sv::Value(std::string("\xFF\xC3(\xED\xA0\x80 ok \xE2\x82")) },
            { std::string("nul\0in key", 11), sv::Value(std::string("nul\0in text", 12)) },
            { "flags", sv::Array { sv::Value(true), sv::Value(false) } },
            { "ApplicationData", records },
            { "empty", sv::Array { sv::Array {}, sv::Dictionary {}, sv::Value("") } },
            { "deep", deep },
        },
    };
    for (const sv::Value& value : values) {
        auto quick = sv::plist::writeXmlQuickly(value);
        ASSERT_TRUE(quick);
        EXPECT_EQ(text(*quick), text(sv::plist::serializeXmlThroughLibplist(value)));
    }
}

TEST(XmlWriter, LeavesRealsDatesAndDataToLibplist)
{
    for (const sv::Value& value : { sv::Value(0.5), sv::Value(sv::Date { 3 }), sv::Value(sv::Data { { 1, 2 } }) }) {
        EXPECT_FALSE(sv::plist::writeXmlQuickly(sv::Dictionary { { "k", sv::Array { value } } }));
        auto written = sv::plist::serializeXml(sv::Dictionary { { "k", value } });
        EXPECT_EQ(sv::plist::parse(written.data(), written.size()), sv::Value(sv::Dictionary { { "k", value } }));
    }
}

} // namespace
