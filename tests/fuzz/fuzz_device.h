#pragma once
// A device root for a whole fuzz run, made at the first call and removed at exit: in memory where
// there is a memory file system, since a run reads and writes the settings file millions of times.

#include "platform/foundation/files.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Its host path, set as the platform's root; empty when none could be made.
inline const std::string& fuzzDeviceRoot(const char* prefix)
{
    static const std::string root = [prefix] {
        namespace stdfs = std::filesystem;
        std::string base = stdfs::is_directory("/dev/shm") ? "/dev/shm" : stdfs::temp_directory_path().string();
        // Static, so that it is still there when the removal at exit runs.
        static std::string made = base + "/" + prefix + ".XXXXXX";
        if (!::mkdtemp(made.data()))
            return std::string();
        sv::fs::setDeviceRoot(made);
        sv::fs::createDirectories("/var/mobile/Library/Preferences");
        std::atexit([] {
            std::error_code ignored;
            stdfs::remove_all(made, ignored);
        });
        return made;
    }();
    return root;
}
