#include "platform/posix/games/games.h"

#include "platform/posix/games/records.h"
#include "platform/posix/steam/steam.h"

std::vector<ManagedPrefix> findManagedPrefixes(const std::string &home, PlatNote note,
                                               std::vector<ManagerRecords> *found) {
  ManagerSearch search;
  search.home = home;
  while (search.home.size() > 1 && search.home.back() == '/') search.home.pop_back();
  search.note = note;
  if (found) found->clear();
  // Nothing is looked up relative to the current folder.
  if (search.home.empty() || search.home[0] != '/') return {};
  if (search.home == "/") search.home.clear();

  // Heroic starts a Proton with the Steam it finds, when there is one.
  search.manager = "Steam";
  std::shared_ptr<SteamInstall> steam = findSteam(search);
  search.manager = "Heroic";
  search.listed.clear();
  findHeroic(search, steam);
  search.manager = "Lutris";
  search.listed.clear();
  findLutris(search);
  search.manager = "Bottles";
  search.listed.clear();
  findBottles(search);
  if (found) *found = search.found;
  return search.prefixes;
}
