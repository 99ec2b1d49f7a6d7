#include "contract/settings_contract.h"
#include "platform/foundation/plist/plist_checks.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/plist/xml_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
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

// A file writer that walks the value once must decide as the separate checks would.
void expectWrittenForAFileExactlyWhenCarried(const sv::Value& value, int depthLimit = sv::plist::kMaximumDepth)
{
    auto carried = sv::plist::writeCarriedXml(value, depthLimit);
    bool expected = sv::plist::xmlCarries(value) && sv::plist::depthOf(value, depthLimit) <= depthLimit;
    ASSERT_EQ(carried.has_value(), expected) << text(sv::plist::serializeXml(value));
    if (carried) {
        EXPECT_EQ(text(*carried), text(*sv::plist::writeXmlQuickly(value)));
    }
}

TEST(XmlWriter, WritesForAFileOnlyWhatXmlCarries)
{
    std::vector<std::string> texts {
        "\x7F", "\r", "\t\n", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF\xBD", "\xEF\xBF", "\xC0\x80", "\xC2\x80",
        "\xE0\x80\x80", "\xE0\xA0\x80", "\xED\xA0\x80", "\xED\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xF0\x90\x80\x80",
        "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82", "\x80", "\xFF", "\xF0\x9F\x98",
    };
    for (int c = 0; c < 32; ++c)
        texts.push_back(std::string(1, static_cast<char>(c)));
    for (const std::string& bad : texts)
        for (const std::string& around : { std::string(), std::string("a&b") }) {
            std::string t = around + bad + around;
            expectWrittenForAFileExactlyWhenCarried(sv::Value(t));
            expectWrittenForAFileExactlyWhenCarried(sv::Dictionary { { t, sv::Value(1) } });
            expectWrittenForAFileExactlyWhenCarried(sv::Array { sv::Value("fine"), sv::Dictionary { { "k", sv::Value(t) } } });
        }

    // Random text from the bytes that matter, with a fixed seed so that a failure repeats.
    const unsigned char alphabet[] = { 0, '\t', '\n', '\r', 0x1F, ' ', 'a', '&', '<', '>', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                       0xBD, 0xBE, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF };
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        std::string t;
        for (int n = static_cast<int>(random() % 6); n > 0; --n)
            t.push_back(static_cast<char>(alphabet[random() % sizeof alphabet]));
        expectWrittenForAFileExactlyWhenCarried(sv::Dictionary { { t, sv::Value(t) } });
    }

    // Nothing else gives it up: reals, dates and data are left to the caller, too deep is refused.
    EXPECT_FALSE(sv::plist::writeCarriedXml(sv::Array { sv::Value(0.5) }, sv::plist::kMaximumDepth));
    sv::Value deep = sv::Value(1);
    for (int levels = 1; levels <= 6; ++levels) {
        for (int limit = levels - 1; limit <= levels + 1; ++limit)
            expectWrittenForAFileExactlyWhenCarried(deep, limit);
        deep = levels % 2 ? sv::Value(sv::Array { deep }) : sv::Value(sv::Dictionary { { "k", deep } });
    }
    for (const sv::Value& empty : { sv::Value(sv::Array {}), sv::Value(sv::Dictionary {}) })
        EXPECT_FALSE(sv::plist::writeCarriedXml(sv::Array { empty }, 1));
}

} // namespace
