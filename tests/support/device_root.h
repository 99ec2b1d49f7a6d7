#pragma once
// A temporary device root for one test: made empty, set as the platform's root, removed after.

#include <string>
#include <vector>

namespace sv::test {

class DeviceRoot {
public:
    DeviceRoot();
    ~DeviceRoot();
    DeviceRoot(const DeviceRoot&) = delete;
    DeviceRoot& operator=(const DeviceRoot&) = delete;

    const std::string& path() const { return path_; }
    // The host path of a device path.
    std::string host(const std::string& devicePath) const { return path_ + devicePath; }

private:
    std::string path_;
};

// Writes bytes to a host path, making its folders.
void writeHostFile(const std::string& hostPath, const std::string& bytes);
std::string readHostFile(const std::string& hostPath);

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a program with the given standard input and waits for it (at most timeoutSeconds).
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         double timeoutSeconds = 60);

std::string buildPath(const std::string& relative);

} // namespace sv::test
