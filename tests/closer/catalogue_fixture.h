#pragma once
// The library's catalogue export played in this process, with what it posted and an independent
// reader of what it wrote.
#include "contract/settings_contract.h"
#include "hosts/springboard/icon_model.h"
#include "tests/closer/closer_fixture.h"

#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/runtime/object.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace sv::test {

inline std::vector<std::string>& received()
{
    static std::vector<std::string> names;
    return names;
}

inline void recordPost(CFNotificationCenterRef, void*, const char* name, const void*, const void*)
{
    received().emplace_back(name);
}

inline std::size_t countPrefixed(const std::vector<std::string>& lines, std::string_view prefix)
{
    std::size_t n = 0;
    for (const auto& line : lines)
        n += line.starts_with(prefix);
    return n;
}

class CatalogueExportTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        static bool observing = [] {
            CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
            CFNotificationCenterAddObserver(center, nullptr, recordPost, slv::darwin::CheckOnApps, nullptr, 0);
            CFNotificationCenterAddObserver(center, nullptr, recordPost, slv::darwin::AppsLoaded, nullptr, 0);
            return true;
        }();
        (void)observing;
        received().clear();
        sb::registerIconClasses();
        sb::IconModel::shared().reset();
        // The library made these at start-up, in the first test's device.
        sv::fs::createDirectories(slv::path::IconsFolder);
    }

    void TearDown() override
    {
        sb::IconModel::shared().reset();
        CloserTest::TearDown();
    }

    // Runs one export and delivers what it posted: the number of progress posts when they all
    // came before exactly one completion, else -1.
    int exportCatalogue()
    {
        received().clear();
        {
            sv::rt::AutoreleasePool pool;
            grabAppData(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, slv::darwin::GrabApps, nullptr, nullptr);
        }
        advance(0);
        auto& names = received();
        if (names.empty() || names.back() != slv::darwin::AppsLoaded)
            return -1;
        for (std::size_t i = 0; i + 1 < names.size(); ++i)
            if (names[i] != slv::darwin::CheckOnApps)
                return -1;
        return static_cast<int>(names.size()) - 1;
    }

    id addApp(const std::string& bundleID, const std::string& name, bool drawsIcon = true)
    {
        id app = sb::Springboard::shared().application(bundleID);
        sb::applicationState(app)->name = name;
        sb::applicationState(app)->drawsIcon = drawsIcon;
        return app;
    }

    void addIcon(const std::string& leaf, const std::string& name) { sb::IconModel::shared().addIcon(leaf, name); }

    std::string host(std::string_view devicePath) const { return root().host(std::string(devicePath)); }

    sv::Dictionary settings() const { return slv::readSettings().value_or(sv::Dictionary {}); }

    std::vector<const sv::Dictionary*> records() const
    {
        std::vector<const sv::Dictionary*> result;
        cached_ = settings();
        if (const sv::Array* data = sv::findArray(cached_, slv::key::ApplicationData))
            for (const sv::Value& record : *data)
                result.push_back(record.asDictionary());
        return result;
    }

    std::vector<std::string> recordField(std::string_view key) const
    {
        std::vector<std::string> values;
        for (const sv::Dictionary* record : records()) {
            const std::string* value = record ? sv::findString(*record, key) : nullptr;
            values.push_back(value ? *value : "(none)");
        }
        return values;
    }

    // Identity of a file: a whole-file atomic write always gives it a new inode.
    ino_t inode(std::string_view devicePath) const
    {
        struct stat info { };
        return ::stat(host(devicePath).c_str(), &info) == 0 ? info.st_ino : 0;
    }

    // What an independent reader makes of the settings file and the images.
    std::vector<std::string> check(const std::string& deviceRoot = {}) const
    {
        auto result = sv::test::runProcess({ "/usr/bin/env", "python3", std::string(SV_SOURCE_DIR) + "/tests/closer/export_check.py",
                                             deviceRoot.empty() ? root().path() : deviceRoot });
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        return splitLines(result.out);
    }

    void writeSettings(const sv::Dictionary& dictionary) { ASSERT_TRUE(sv::plist::writeFile(slv::settingsPath(), dictionary)); }

private:
    mutable sv::Dictionary cached_;
};

} // namespace sv::test
