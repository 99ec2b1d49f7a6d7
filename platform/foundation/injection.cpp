#include "platform/foundation/injection.h"

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"

#include <algorithm>
#include <dirent.h>
#include <dlfcn.h>

namespace sv::injection {

std::vector<std::string> loadInjectedLibraries()
{
    std::string folder = fs::resolve(kFolder);
    std::vector<std::string> names;
    if (DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 3 && name.ends_with(".so"))
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> loaded;
    for (const std::string& name : names) {
        if (::dlopen((folder + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL))
            loaded.push_back(name);
        else
            log("injection: cannot load %s: %s", name.c_str(), ::dlerror());
    }
    return loaded;
}

} // namespace sv::injection
