// The library loaded into a process that is not the home screen stays inert.
#include "platform/foundation/bundle.h"
#include "platform/foundation/files.h"
#include "platform/runtime/class_builder.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void handler(id, SEL, id, int) { }

// Loads the library in a child process under the given identity; answers whether the child
// found that nothing was made and nothing renamed.
bool staysInert(const std::optional<std::string>& identity)
{
    sv::test::DeviceRoot root;
    pid_t child = ::fork();
    if (child == 0) {
        sv::bundle::setMainBundleIdentifierForTesting(identity);
        Class controller = sv::rt::ClassBuilder("SBApplicationController").method("applicationStateChanged:state:", &handler).registerClass();
        if (!::dlopen(sv::test::buildPath("closer/libSleepwright.so").c_str(), RTLD_NOW | RTLD_LOCAL))
            ::_exit(3);
        bool renamed = class_getInstanceMethod(controller, sv::rt::selector("SWR_applicationStateChanged:state:")) != nullptr;
        bool made = std::filesystem::exists(root.host("/var/mobile/Library/Sleepvane"))
            || std::filesystem::exists(root.host("/var/run/notify"));
        ::_exit(renamed || made ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(InertLibrary, OutsideTheHomeScreenTheLibraryMakesNothingAndRenamesNothing)
{
    EXPECT_TRUE(staysInert("com.apple.Preferences"));
    EXPECT_TRUE(staysInert(std::nullopt));
    EXPECT_TRUE(staysInert("com.apple.springboard ")) << "identifiers compare exactly";
    // The same check does see a library that did start.
    EXPECT_FALSE(staysInert("com.apple.springboard"));
}

} // namespace
