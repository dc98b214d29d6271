// Bottles.  Bottles keeps a folder a bottle in its bottles folder, with the
// bottle's settings in bottle.yml (check_bottles in backend/managers).  A
// bottle made in a folder of the player's choice leaves only a
// placeholder.yml there whose "Path" is that folder, where its bottle.yml
// is.  ManagerUtils.get_bottle_path reads the settings: with "Custom_Path"
// true, "Path" is the bottle's folder itself; otherwise it is the folder's
// name in the bottles folder.  bottles-cli starts a program in the bottle
// "Name" and passes what follows "--" on to it.
#include "platform/posix/games/records.h"
#include "platform/posix/wine/starter.h"

namespace {

const struct {
  const char *bottles;
  bool flatpak;
} bottlesPlaces[] = {
    {".local/share/bottles/bottles", false},
    {".var/app/com.usebottles.bottles/data/bottles/bottles", true},
};

}  // namespace

static void bottle(ManagerSearch &search, const std::string &bottles, const std::string &folder,
                   bool flatpak) {
  std::string file = folder + "/bottle.yml", placeholder = folder + "/placeholder.yml";
  YamlValues settings;
  if (isRegularFile(placeholder)) {
    if (!readYamlRecord(search, placeholder, settings)) return;
    std::string path = yamlText(settings, "Path");
    if (path.empty()) {
      noteDamaged(search, placeholder, "no \"Path\"");
      return;
    }
    file = path + "/bottle.yml";
  }
  // A folder without settings is a broken bottle to Bottles too.
  if (!isRegularFile(file) || !readYamlRecord(search, file, settings)) return;
  std::string name = yamlText(settings, "Name"), path = yamlText(settings, "Path");
  if (name.empty() || path.empty()) return;
  ManagedPrefix prefix;
  prefix.start.record = file;
  prefix.prefix = yamlTrue(settings, "Custom_Path") ? path : bottles + "/" + path;
  if (flatpak)
    prefix.start.command = {"flatpak", "run", "--command=bottles-cli", "com.usebottles.bottles"};
  else
    prefix.start.command = {"bottles-cli"};
  prefix.start.command.insert(prefix.start.command.end(), {"run", "-b", starterLiteral(name), "-e", "%e", "--", "%a"});
  listPrefix(search, prefix);
}

void findBottles(ManagerSearch &search) {
  for (const auto &place : bottlesPlaces)
    searchFolder(search, place.bottles, "", [&](const std::string &folder) {
      if (isDirectory(folder)) bottle(search, search.home + "/" + place.bottles, folder, place.flatpak);
    });
}
