// A sequence of files at one path, each read through the process's property-list cache and by a
// fresh parse: the two must give the same answer every time, whatever happened to the file in
// between (replaced, rewritten in place with the same size and time, removed, made a folder or
// a link).
//
// Input: steps separated by "|||"; the first byte of a step says what happens to the file, the
// rest are its new bytes.
#include "platform/foundation/files.h"
#include "tests/fuzz/fuzz_device.h"
#include "tests/fuzz/same_value.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/plist/property_list_cache.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace stdfs = std::filesystem;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "cached_reader_fuzz: %s\n", what);
    std::abort();
}

constexpr std::string_view kFile = "/var/mobile/Library/Preferences/com.norv.slv.plist";
constexpr std::string_view kOther = "/var/mobile/Library/Preferences/other.plist";

const std::string& prepareDevice()
{
    const std::string& root = fuzzDeviceRoot("svcache");
    if (root.empty())
        fail("cannot make a device root");
    sv::fs::setDeviceRoot(root);
    return root;
}

void writeHost(const std::string& path, std::string_view bytes, bool inPlace)
{
    std::error_code ignored;
    if (!inPlace)
        stdfs::remove_all(path, ignored);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The new bytes written into the same file, its size and modification time put back as they
// were: nothing but the content tells the change.
void rewriteInPlace(const std::string& path, std::string_view bytes)
{
    struct stat before {};
    bool had = ::lstat(path.c_str(), &before) == 0 && S_ISREG(before.st_mode);
    std::string content(bytes);
    if (had && !content.empty())
        content.resize(static_cast<std::size_t>(before.st_size), content.back());
    writeHost(path, content, true);
    if (had) {
        struct timespec times[2] = { before.st_atim, before.st_mtim };
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

void apply(std::uint8_t operation, std::string_view bytes)
{
    std::string path = sv::fs::resolve(kFile);
    std::error_code ignored;
    switch (operation % 6) {
    case 0:
    case 1: writeHost(path, bytes, false); break; // replaced: a new file
    case 2: rewriteInPlace(path, bytes); break;
    case 3: stdfs::remove_all(path, ignored); break;
    case 4:
        stdfs::remove_all(path, ignored);
        stdfs::create_directory(path, ignored);
        break;
    case 5: // a link to another file holding the bytes
        writeHost(sv::fs::resolve(kOther), bytes, false);
        stdfs::remove_all(path, ignored);
        stdfs::create_symlink(sv::fs::resolve(kOther), path, ignored);
        break;
    }
}

void compare()
{
    auto& cache = sv::plist::PropertyListCache::shared();
    auto fresh = sv::plist::readFile(kFile);
    auto cached = cache.read(kFile);
    if (fresh.has_value() != (cached != nullptr))
        fail("the cache and a fresh parse disagree on whether there is a value");
    if (fresh && !sameValue(*fresh, *cached))
        fail("the cache and a fresh parse give different values");
    auto dictionary = cache.readDictionary(kFile);
    auto freshDictionary = sv::plist::readDictionary(kFile);
    if (freshDictionary.has_value() != (dictionary != nullptr))
        fail("the cache and a fresh parse disagree on whether there is a dictionary");
    // Asked again at once, with nothing changed, the cache parses nothing.
    std::size_t parses = cache.parses();
    auto again = cache.read(kFile);
    if (cache.parses() != parses || again != cached)
        fail("an unchanged file was parsed again");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    prepareDevice();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSeparator = "|||";
    int steps = 0;
    for (std::size_t at = 0; at <= input.size() && steps < 64; ++steps) {
        std::size_t end = input.find(kSeparator, at);
        if (end == std::string_view::npos)
            end = input.size();
        std::string_view step = input.substr(at, end - at);
        if (!step.empty())
            apply(static_cast<std::uint8_t>(step.front()), step.substr(1));
        compare();
        // A save in this process tells the cache what it wrote: that must be what a parse gives.
        if (auto read = sv::plist::readDictionary(kFile))
            if (sv::plist::updateDictionary(kFile, [&](sv::Dictionary& d) {
                    d["written"] = static_cast<std::int64_t>(steps);
                    return true;
                }) == sv::plist::UpdateResult::Written)
                compare();
        at = end + kSeparator.size();
    }
    return 0;
}
