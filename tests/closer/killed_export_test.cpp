// Exports killed with SIGKILL at random moments, in real processes: every image stays the old or
// the new one, whole, though none is flushed on its own; what is left is one temporary of an image
// at most, which the next export takes over.
#include "tests/closer/catalogue_fixture.h"

#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kApplications = 30;

class KilledExportTest : public sv::test::CatalogueExportTest {
protected:

    // Generation 0 or 1 of the home screen: other initials, so other images, and one more
    // application in generation 1, so that the counts differ and every export rebuilds.
    static void becomeGeneration(int generation)
    {
        for (int i = 0; i < kApplications; ++i)
            sb::applicationState(sb::Springboard::shared().application(identifier(i)))->name
                = (generation ? "Beta " : "Alpha ") + std::to_string(i);
        sb::IconModel::shared().removeIcons("com.example.extra");
        if (generation)
            sb::IconModel::shared().addIcon("com.example.extra", "Extra");
    }
    static std::string identifier(int i) { return "com.example.app" + std::to_string(i); }
    static void exportNow()
    {
        sv::rt::AutoreleasePool pool;
        grabAppData(nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    std::string iconsFolder() const { return root().host(std::string(slv::path::IconsFolder)); }

    // Every image of the folder as it is now, by file name.
    std::map<std::string, std::string> images() const
    {
        std::map<std::string, std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(iconsFolder()))
            found[entry.path().filename().string()] = sv::test::readHostFile(entry.path().string());
        return found;
    }
};

TEST_F(KilledExportTest, EveryImageIsTheOldOrTheNewOneWholeAndTemporariesDoNotPileUp)
{
    // What each generation's export writes, made by this process before any is killed.
    std::map<std::string, std::set<std::string>> versions;
    for (int generation : { 1, 0 }) {
        becomeGeneration(generation);
        exportNow();
        for (const auto& [name, bytes] : images())
            versions[name].insert(bytes);
    }
    ASSERT_EQ(versions.size(), kApplications + 1u);
    for (int i = 0; i < kApplications; ++i)
        ASSERT_EQ(versions[identifier(i) + ".png"].size(), 2u) << "the generations must draw differently";

    std::mt19937 random(7130);
    std::uniform_int_distribution<int> delay(0, 60000);
    int mostTemporaries = 0;
    for (int round = 0; round < 60; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int generation = 1;; generation ^= 1) {
                becomeGeneration(generation);
                exportNow();
            }
        }
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        int temporaries = 0;
        for (const auto& [name, bytes] : images()) {
            if (name.ends_with(".png.tmp")) {
                ++temporaries;
                EXPECT_TRUE(versions.contains(name.substr(0, name.size() - 4))) << "a temporary of no image: " << name;
                continue;
            }
            ASSERT_TRUE(versions.contains(name)) << "round " << round << ": " << name;
            EXPECT_TRUE(versions[name].contains(bytes)) << "round " << round << ": " << name << " is neither image";
        }
        mostTemporaries = std::max(mostTemporaries, temporaries);
        EXPECT_TRUE(slv::readSettings()) << "round " << round << ": the settings file does not parse";
    }

    // The home screen's next export takes over what the last kill left. The export killed was the
    // one after the last that completed, so it is of the other generation than the one stored:
    // the same export again writes every image the killed one may have been writing.
    int stored = sv::findInteger(settings(), slv::key::ApplicationsNumber) == kApplications + 1 ? 1 : 0;
    becomeGeneration(stored ^ 1);
    exportNow();
    for (const auto& [name, bytes] : images())
        EXPECT_FALSE(name.ends_with(".tmp")) << name;
    RecordProperty("mostTemporaries", mostTemporaries);
}

// What a power cut can leave of an image written unflushed: the next export sees it and rebuilds.
TEST_F(KilledExportTest, AnImageLeftEmptyOrCutShortIsWrittenAgainByTheNextExport)
{
    becomeGeneration(0);
    exportNow();
    auto written = images();
    std::string first = root().host(slv::iconImagePath(identifier(0))), second = root().host(slv::iconImagePath(identifier(1)));
    sv::test::writeHostFile(first, written[identifier(0) + ".png"].substr(0, 100));
    sv::test::writeHostFile(second, "");
    exportNow();
    EXPECT_EQ(images(), written);
}

} // namespace
