// umu, the helper through which Lutris and Heroic start Proton outside
// Steam (umu-launcher's umu-run): it takes the prefix in WINEPREFIX, the
// Proton in PROTONPATH and an id in GAMEID, and runs "umu-run <program>
// <arguments>" in Steam's runtime as Steam would.  Given a name for
// PROTONPATH ("GE-Proton") it asks the internet for the newest build and
// downloads it; without a runtime of its own it downloads one, and with
// one it looks for updates.  A click must not wait for a download: the
// launcher names an installed Proton's folder, turns the runtime's update
// off, and where umu would still download, says what to install instead.
#include <ctype.h>
#include <stdlib.h>

#include "platform/posix/games/records.h"
#include "platform/posix/steam/steam.h"
#include "platform/posix/wine/starter.h"

namespace {

// The runtimes umu sets up, by the app id of the Steam Linux Runtime that
// a Proton's toolmanifest.vdf requires (umu_runtime.py); a Proton that
// names none runs in sniper's, steamrt3.
const struct {
  const char *appid, *folder;
} umuRuntimes[] = {{"1391110", "steamrt2"}, {"4183110", "steamrt4"}};

// Whether a's name sorts after b's with the numbers in them read as
// numbers (GE-Proton10-1 after GE-Proton9-20), as umu picks the newest.
bool newer(const std::string &a, const std::string &b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isdigit((unsigned char)a[i]) && isdigit((unsigned char)b[j])) {
      size_t ei = a.find_first_not_of("0123456789", i), ej = b.find_first_not_of("0123456789", j);
      unsigned long long x = strtoull(a.substr(i, ei - i).c_str(), nullptr, 10),
                         y = strtoull(b.substr(j, ej - j).c_str(), nullptr, 10);
      if (x != y) return x > y;
      i = ei == std::string::npos ? a.size() : ei;
      j = ej == std::string::npos ? b.size() : ej;
    } else if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[j])) {
      return tolower((unsigned char)a[i]) > tolower((unsigned char)b[j]);
    } else {
      ++i, ++j;
    }
  }
  return i < a.size();
}

// The installed Proton umu would run for proton (a folder, or a name as
// PROTONPATH takes it), without downloading: its folder, or "".
std::string installedProton(const std::string &data, const std::string &proton) {
  auto holds = [](const std::string &folder) { return isRegularFile(folder + "/proton"); };
  if (proton.empty() || proton[0] == '/') return holds(proton) ? proton : "";
  const std::string folders[] = {data + "/umu/compatibilitytools", data + "/Steam/compatibilitytools.d"};
  if (proton == "GE-Latest" || proton == "UMU-Latest") return holds(folders[0] + "/" + proton) ? folders[0] + "/" + proton : "";
  if (proton != "GE-Proton" && proton != "UMU-Proton") return holds(folders[1] + "/" + proton) ? folders[1] + "/" + proton : "";
  // The newest build of that name, in the first folder that holds one.
  for (const std::string &folder : folders) {
    std::string best;
    for (const std::string &name : folderEntries(folder))
      if (name.compare(0, proton.size(), proton) == 0 && holds(folder + "/" + name) && (best.empty() || newer(name, best)))
        best = name;
    if (!best.empty()) return folder + "/" + best;
  }
  return "";
}

}  // namespace

std::string findUmu(const std::vector<std::string> &folders) {
  std::string found = programPath("umu-run");
  for (size_t i = 0; found.empty() && i < folders.size(); ++i)
    for (const char *name : {"/umu-run", "/umu_run.py"})
      if (found.empty() && !programPath(folders[i] + name).empty()) found = folders[i] + name;
  return found;
}

ManagerStart umuStart(ManagerSearch &search, const std::string &umu, const std::string &record,
                      const std::string &prefix, const std::string &proton, const std::string &gameId) {
  ManagerStart start{record, {}, {}, {}, "", ""};
  // umu keeps its Protons and runtimes in the home's data folder.
  std::string data = search.home + "/.local/share", folder = installedProton(data, proton);
  if (folder.empty()) {
    std::string name = proton.substr(proton.rfind('/') + 1);
    refuse(start,
           N_("Install that Proton, or choose an installed Wine or Proton for Zarnok in the game manager, then open "
              "the link again."),
           // Translators: a game manager's name (Lutris, Heroic), and a Proton version, such as GE-Proton.
           N_("%s starts this game through umu with Proton (%s), which is not installed: umu would download it "
              "first."),
           search.manager.c_str(), name.c_str());
    return start;
  }
  std::string manifest = folder + "/toolmanifest.vdf", runtime = "steamrt3";
  std::vector<VdfNode> nodes;
  readToolManifest(search, folder, nodes);
  std::string required = vdfText(nodes, "manifest/require_tool_appid");
  for (const auto &r : umuRuntimes)
    if (required == r.appid) runtime = r.folder;
  // Before 1.1, umu kept sniper's runtime in its folder itself.
  const std::string entries[] = {data + "/umu/" + runtime + "/umu", data + "/umu/umu"};
  start.watched = {folder + "/proton", manifest, entries[0], entries[1]};
  if (!isRegularFile(entries[0]) && !isRegularFile(entries[1])) {
    refuse(start, N_("Start a game through umu once in the game manager, so that umu sets up its runtime, then open "
                     "the link again."),
           // Translators: a game manager's name (Lutris, Heroic).
           N_("%s starts this game through umu, which has not set up Steam's runtime yet: umu would download it "
              "first."),
           search.manager.c_str());
    return start;
  }
  start.environment = {"WINEPREFIX=" + prefix, "PROTONPATH=" + folder, "GAMEID=" + gameId,
                       "PROTON_VERB=waitforexitandrun", "UMU_RUNTIME_UPDATE=0"};
  start.command = {umu, "%e", "%a"};
  return start;
}
