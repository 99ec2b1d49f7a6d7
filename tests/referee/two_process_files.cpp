#include "tests/referee/two_process_plan.h"

#include "tests/support/device_root.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace twoprocess {

std::string whatTheFilesLost(const std::string& root, const Lists& lists, const std::vector<std::string>& ids,
                             const std::vector<std::string>& closes)
{
    std::string lost;
    auto say = [&](const std::string& text) { lost += (lost.empty() ? "" : "\n") + text; };
    auto python = sv::test::runProcess(
        { "/usr/bin/env", "python3", "-c",
          "import plistlib,sys,os\n"
          "s=plistlib.load(open(sys.argv[1],'rb'))\n"
          "ids=lambda l:' '.join(e['BundleID'] if isinstance(e,dict) else e for e in l)\n"
          "print('ramValue', s.get('ramValue'))\n"
          "print('never', ids(s.get('NeverIdentifiers',[])))\n"
          "print('always', ids(s.get('AlwaysIdentifiers',[])))\n"
          "print('catalogue', ids(s.get('ApplicationData',[])))\n"
          "print('history', ids(plistlib.load(open(sys.argv[2],'rb'))) if os.path.exists(sys.argv[2]) else '')\n",
          root + kSettingsFile, root + kHistoryFile });
    if (python.status != 0)
        return "plistlib: " + python.err;
    auto sorted = [](std::vector<std::string> ids) {
        std::sort(ids.begin(), ids.end());
        std::string text;
        for (const auto& id : ids)
            text += (text.empty() ? "" : " ") + id;
        return text;
    };
    std::map<std::string, std::string> files;
    std::istringstream in(python.out);
    for (std::string line; std::getline(in, line);) {
        auto space = line.find(' ');
        std::string key = line.substr(0, space);
        std::vector<std::string> words;
        std::istringstream split(space == std::string::npos ? "" : line.substr(space + 1));
        for (std::string word; split >> word;)
            words.push_back(word);
        files[key] = key == "never" || key == "always" || key == "catalogue" ? sorted(words) : line.substr(std::min(line.size(), key.size() + 1));
    }
    if (files["ramValue"] != std::to_string(lists.threshold))
        say("the settings file holds ramValue " + files["ramValue"] + ", the pane last saved " + std::to_string(lists.threshold));
    if (files["never"] != sorted(lists.never) || files["always"] != sorted(lists.always))
        say("the settings file's lists are not the pane's: " + python.out);
    if (files["catalogue"] != sorted(ids))
        say("the catalogue is not every application: " + files["catalogue"]);
    std::string historyIds;
    for (const auto& id : closes)
        historyIds += (historyIds.empty() ? "" : " ") + id;
    if (files["history"] != historyIds)
        say("the history holds " + files["history"] + " for the closes " + historyIds);
    return lost;
}

} // namespace twoprocess
