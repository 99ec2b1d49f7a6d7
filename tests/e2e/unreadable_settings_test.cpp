// A settings file that is not a dictionary property list belongs to someone else: neither the
// library nor the pane ever writes over it, whatever the user does.
#include "tests/e2e/device_test.h"

#include <filesystem>

namespace sv::test {
namespace {

using UnreadableSettings = DeviceTest;

TEST_F(UnreadableSettings, AreNeverWrittenOverByEitherProcess)
{
    const std::vector<std::pair<const char*, std::string>> files {
        { "text", "ramValue = 120;\n" },
        { "empty", "" },
        { "cut short", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>ramValue</key>\n\t<integer>12" },
        { "no dictionary", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array><string>ramValue</string></array>\n</plist>\n" },
        { "binary noise", std::string("bplist00\xff\x13\x00\x01", 12) },
    };
    const std::string home = "app com.example.mail \"Mail\"\n"
                             "app com.example.news \"News\"\n"
                             "free 100\n"
                             "launch com.example.mail\n"
                             "launch com.example.news\n"
                             "state com.example.mail 2\n"
                             "post norv.slv.grabapps\n"
                             "wait 2\n";
    // The slider, the "alwaysKill" switch, then a chooser, which finds no catalogue in the file.
    const std::string pane = "open\nwait 0.2\ndrag 100\ntap CloseEveryApp\nshow\n"
                             "back\nopen never\npost norv.slv.apps.loaded\nwait-loaded 2\nanswer \"Dismiss\"\n";
    const std::string folder = root.host("/var/mobile/Library/Preferences");

    for (const auto& [kind, bytes] : files) {
        SCOPED_TRACE(kind);
        writeHostFile(settingsHostPath(), bytes);

        auto library = playSpringboard(home);
        EXPECT_EQ(library.status, 0) << library.err;
        // The export ran to its end, and the decision took the threshold the pane shows for an
        // unreadable file: 175, so Mail left with 100 MB free is closed.
        EXPECT_EQ(countLines(library.out, "] posted norv.slv.check.on.apps"), 7);
        EXPECT_EQ(countLines(library.out, "] posted norv.slv.apps.loaded"), 1);
        EXPECT_EQ(countLines(library.out, "] closed com.example.mail"), 1);
        EXPECT_EQ(readHostFile(settingsHostPath()), bytes) << "the library wrote over the file";

        auto settings = playPreferences(pane);
        EXPECT_EQ(settings.status, 0) << settings.err;
        EXPECT_EQ(countLines(settings.out, "] saved "), 0);
        EXPECT_EQ(countLines(settings.out, "row RamSlider \"\", switch off (hidden), slider 100, label \"100 MB\""), 1)
            << settings.out;
        EXPECT_EQ(countLines(settings.out, "] alert \"Loading Error\""), 1) << settings.out;
        EXPECT_EQ(readHostFile(settingsHostPath()), bytes) << "the pane wrote over the file";

        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "com.norv.slv.plist" || name == "com.norv.slv.plist.lock") << name << " was left";
        }
    }
}

} // namespace
} // namespace sv::test
