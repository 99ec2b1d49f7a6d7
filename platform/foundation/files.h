#pragma once
// Files of the simulated device. Every path here is a device path ("/var/mobile/...") and is
// resolved under the device root that the host (or a test) sets at start; nothing is read or
// written outside it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace sv::fs {

void setDeviceRoot(std::string hostPath);
const std::string& deviceRoot();
// The host path of a device path; empty when no root is set or the path is not absolute.
std::string resolve(std::string_view devicePath);

bool exists(std::string_view devicePath);
// Creates one folder (no intermediate folders) with the given permissions; false if it could
// not be made, an existing folder included.
bool createDirectory(std::string_view devicePath, mode_t permissions);
// Creates a folder and every missing folder above it.
bool createDirectories(std::string_view devicePath, mode_t permissions = 0755);

std::optional<std::vector<std::uint8_t>> readData(std::string_view devicePath,
                                                  std::size_t maximumSize = SIZE_MAX);
// Writes to a temporary file in the same folder ("<file>.tmp", taken in turn by the writers of
// that file), flushes it and renames it over the old file, so that a reader sees the old or the
// new content, never a part, and a writer killed half-way leaves at most that one temporary.
bool writeDataAtomically(std::string_view devicePath, const void* bytes, std::size_t size);

// The same two for host paths.
std::optional<std::vector<std::uint8_t>> readHostFile(const std::string& hostPath,
                                                      std::size_t maximumSize = SIZE_MAX);
bool writeHostFileAtomically(const std::string& hostPath, const void* bytes, std::size_t size);

// The home folder of the device's user.
std::string homeDirectory();

} // namespace sv::fs
