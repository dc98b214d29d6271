// The search for the game under Wine that "-install" makes, as the launcher
// makes it (platFindWineGame): the game managers' records, with 50 Steam
// prefixes in three libraries, 10 games added to Steam by two of its users,
// and 20 games each of Heroic, Lutris and Bottles, then the game's open
// command read from every prefix found (its user.reg and its system.reg, in
// one pass each), and how Steam starts it.  Against it, the read of the
// command from one system.reg, in the same run.
//
// As on a Steam Deck, the game is one of the games added to Steam (so its
// shortcut, Steam's tool choice and the tools' manifests are read too),
// and the other prefixes hold other games: a registry that does not name the game anywhere is only
// scanned for the name, not read through.  The verdict: the whole search
// against one read, at most half a read a prefix found (reading every key
// of every prefix costs more than one read a prefix, which is what the scan
// spares).  The exit status is 1 when the ratio misses its target.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/posix/common/file.h"
#include "platform/posix/games/games.h"
#include "platform/posix/wine/winereg.h"
#include "support/game_managers.h"

namespace fs = std::filesystem;

static const char commandKey[] = "Software\\Classes\\Zarnok\\shell\\open\\command";

// A system.reg of the size a fresh 64-bit prefix has (about 1.5 MB of
// keys), with the game's open command among them.
static std::string makeSystemReg(const std::string &path, bool withGame) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
  for (int i = 0; i < 8000; ++i) {
    char key[400];
    snprintf(key, sizeof key,
             "\n[Software\\\\Classes\\\\CLSID\\\\{%08X-0000-0000-C000-000000000046}\\\\InprocServer32] "
             "1712345678\n#time=1da84c5e1b2a3f0\n@=\"C:\\\\windows\\\\system32\\\\ole32.dll\"\n"
             "\"ThreadingModel\"=\"Both\"\n",
             i);
    text += key;
    if (i == 4000 && withGame)
      text += "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command] 1712345678\n"
              "@=\"\\\"C:\\\\Games\\\\Zarnok\\\\zarnok.exe\\\" \\\"%1\\\"\"\n";
  }
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) abort();
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  return path;
}

static std::string benchHome, systemReg, otherReg;

static void layOut() {
  char dir[] = "/tmp/zarno-bench-XXXXXX";
  if (!mkdtemp(dir)) abort();
  std::string h = benchHome = dir;
  std::string root = h + "/.local/share/Steam";
  const std::string libraries[] = {root, h + "/Games/SteamLibrary", h + "/Disk2/SteamLibrary"};
  support::makeSteamRoot(root, {libraries[0], libraries[1], libraries[2]});
  for (int i = 0; i < 50; ++i)
    support::makeSteamApp(libraries[i % 3], std::to_string(1091500 + i * 10), i % 25 != 24);
  std::vector<support::Shortcut> shortcuts[2];
  for (int i = 0; i < 10; ++i) {
    long long id = 3000000000LL + i;
    support::makeSteamApp(libraries[i % 3], std::to_string(id), false);
    std::string start = libraries[i % 3] + "/steamapps/compatdata/" + std::to_string(id) + "/pfx/drive_c/Games";
    shortcuts[i / 5].push_back({id, "Game " + std::to_string(i), start + "/game.exe", start});
  }
  support::makeSteamShortcuts(root, "111", shortcuts[0]);
  support::makeSteamShortcuts(root, "222", shortcuts[1]);
  support::makeSteamToolChoice(root, {{"0", "GE-Proton9-20"}});
  support::makeCustomTool(root, "GE-Proton9-20", "GE-Proton9-20", "1628350");
  support::makeSteamTool(libraries[1], "1628350", "SteamLinuxRuntime_sniper", "/_v2-entry-point --verb=%verb% --", "");
  const std::string gamePrefix = libraries[7 % 3] + "/steamapps/compatdata/3000000007/pfx";
  for (int i = 0; i < 20; ++i) {
    std::string n = std::to_string(i);
    support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Game" + n, h + "/Games/Heroic/Prefixes/Game" + n,
                            h + "/.config/heroic/tools/wine/Wine-GE-Proton8-26/bin/wine", i % 2 ? "wine" : "proton");
    support::makeLutrisGame(h, h + "/.local/share/lutris/games", "game" + n, h + "/Games/lutris-game" + n,
                            "lutris-GE-Proton8-26-x86_64");
    support::makeBottle(h + "/.local/share/bottles/bottles", "Bottle " + n, "");
  }
  // Two registries, linked into the prefixes: the same bytes read each time,
  // as from the page cache, without writing 150 MB first.  As on a player's
  // machine, one prefix holds the game, and the others hold other games.
  systemReg = makeSystemReg(h + "/system.reg", true);
  otherReg = makeSystemReg(h + "/other.reg", false);
  for (const ManagedPrefix &p : findManagedPrefixes(h, nullptr, nullptr)) {
    fs::remove(p.prefix + "/system.reg");
    fs::create_hard_link(p.prefix == gamePrefix ? systemReg : otherReg, p.prefix + "/system.reg");
    fs::create_directories(p.prefix + "/drive_c/Games/Zarnok");
    FILE *game = fopen((p.prefix + "/drive_c/Games/Zarnok/zarnok.exe").c_str(), "wb");
    if (game) fclose(game);
  }
}

static bool readCommand(const std::string &file) {
  std::string text, value;
  int line;
  return readRegularFile(file.c_str(), text) &&
         wineRegistryString(text, commandKey, nullptr, value, &line) == WINE_VALUE_FOUND;
}

static void OneRegistry(benchmark::State &state) {
  for (auto _ : state)
    if (!readCommand(systemReg)) state.SkipWithError("no command");
}
BENCHMARK(OneRegistry)->Unit(benchmark::kMillisecond);

static size_t prefixesFound;

static void SearchAndRead(benchmark::State &state) {
  setenv("HOME", benchHome.c_str(), 1);
  unsetenv("WINEPREFIX");
  prefixesFound = findManagedPrefixes(benchHome, nullptr, nullptr).size();
  for (auto _ : state) {
    PlatWineGame game;
    if (platFindWineGame("Zarnok\\shell\\open\\command", nullptr, &game, nullptr) != PLAT_GAME_FOUND)
      state.SkipWithError("the game was not found");
    platFreeWineGame(&game);
  }
}
BENCHMARK(SearchAndRead)->Unit(benchmark::kMillisecond);

class Times : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
  }
};

static bool verdict(const char *what, double ratio, double target, const char *why) {
  bool met = ratio <= target;
  printf("%s: %.2fx (target: at most %.2fx, %s): %s\n", what, ratio, target, why, met ? "met" : "MISSED");
  return met;
}

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  layOut();
  Times reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  fs::remove_all(benchHome);
  auto &t = reporter.seconds;
  if (!t.count("OneRegistry") || !t.count("SearchAndRead")) return 1;
  std::string both = "the launcher's search over " + std::to_string(prefixesFound) +
                     " prefixes / reading one system.reg";
  bool met = verdict(both.c_str(), t["SearchAndRead"] / t["OneRegistry"], 0.5 * (double)prefixesFound,
                     "half a read a prefix found");
  return met ? 0 : 1;
}
