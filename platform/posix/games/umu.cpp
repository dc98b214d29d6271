// umu, the helper through which Lutris and Heroic start Proton outside
// Steam (umu-launcher's umu-run): it takes the prefix in WINEPREFIX, the
// Proton in PROTONPATH (a folder, or a name such as "GE-Proton" that it
// fetches) and an id in GAMEID, and runs "umu-run <program> <arguments>"
// in Steam's runtime as Steam would.
#include "platform/posix/games/records.h"
#include "platform/posix/wine/starter.h"

std::string findUmu(const std::vector<std::string> &folders) {
  std::string found = programPath("umu-run");
  for (size_t i = 0; found.empty() && i < folders.size(); ++i)
    for (const char *name : {"/umu-run", "/umu_run.py"})
      if (found.empty() && !programPath(folders[i] + name).empty()) found = folders[i] + name;
  return found;
}

ManagerStart umuStart(const std::string &umu, const std::string &record, const std::string &prefix,
                      const std::string &proton, const std::string &gameId) {
  return ManagerStart{record,
                      {"WINEPREFIX=" + prefix, "PROTONPATH=" + proton, "GAMEID=" + gameId,
                       "PROTON_VERB=waitforexitandrun"},
                      {umu, "%e", "%a"},
                      "",
                      ""};
}
