// The search through the game managers' records that "-install" makes:
// findManagedPrefixes over 50 Steam prefixes in three libraries and 20
// games each of Heroic, Lutris and Bottles, then the game's open command
// read from every prefix found, as the launcher reads it (the whole
// system.reg, through wineRegistryString).  Against it, the same read of
// one system.reg, in the same run.
//
// Reading the registries cannot cost less than one read a prefix, and the
// search itself should add little to that.  The verdicts: the whole against
// one read, at most two reads a prefix found (each registry read once; the
// same bytes read in a loop of their own stay warmer in the caches), and the
// search alone against one read, at most one.  The exit status is 1 when a
// ratio misses its target.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/posix/common/file.h"
#include "platform/posix/games/games.h"
#include "platform/posix/wine/winereg.h"
#include "support/game_managers.h"

namespace fs = std::filesystem;

static const char commandKey[] = "Software\\Classes\\Zarnok\\shell\\open\\command";

// A system.reg of the size a fresh 64-bit prefix has (about 1.5 MB of
// keys), with the game's open command among them.
static std::string makeSystemReg(const std::string &path) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
  for (int i = 0; i < 8000; ++i) {
    char key[400];
    snprintf(key, sizeof key,
             "\n[Software\\\\Classes\\\\CLSID\\\\{%08X-0000-0000-C000-000000000046}\\\\InprocServer32] "
             "1712345678\n#time=1da84c5e1b2a3f0\n@=\"C:\\\\windows\\\\system32\\\\ole32.dll\"\n"
             "\"ThreadingModel\"=\"Both\"\n",
             i);
    text += key;
    if (i == 4000)
      text += "\n[Software\\\\Classes\\\\Zarnok\\\\shell\\\\open\\\\command] 1712345678\n"
              "@=\"\\\"C:\\\\Games\\\\Zarnok\\\\zarnok.exe\\\" \\\"%1\\\"\"\n";
  }
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) abort();
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  return path;
}

static std::string benchHome, systemReg;

static void layOut() {
  char dir[] = "/tmp/zarno-bench-XXXXXX";
  if (!mkdtemp(dir)) abort();
  std::string h = benchHome = dir;
  std::string root = h + "/.local/share/Steam";
  const std::string libraries[] = {root, h + "/Games/SteamLibrary", h + "/Disk2/SteamLibrary"};
  support::makeSteamRoot(root, {libraries[0], libraries[1], libraries[2]});
  for (int i = 0; i < 50; ++i)
    support::makeSteamApp(libraries[i % 3], std::to_string(1091500 + i * 10), i % 25 != 24);
  for (int i = 0; i < 20; ++i) {
    std::string n = std::to_string(i);
    support::makeHeroicGame(h, h + "/.config/heroic/GamesConfig", "Game" + n, h + "/Games/Heroic/Prefixes/Game" + n,
                            h + "/.config/heroic/tools/wine/Wine-GE-Proton8-26/bin/wine", i % 2 ? "wine" : "proton");
    support::makeLutrisGame(h, h + "/.local/share/lutris/games", "game" + n, h + "/Games/lutris-game" + n,
                            "lutris-GE-Proton8-26-x86_64");
    support::makeBottle(h + "/.local/share/bottles/bottles", "Bottle " + n, "");
  }
  // One registry, linked into every prefix: the same bytes read each time,
  // as from the page cache, without writing 150 MB first.
  systemReg = makeSystemReg(h + "/system.reg");
  for (const ManagedPrefix &p : findManagedPrefixes(h, nullptr, nullptr)) {
    fs::remove(p.prefix + "/system.reg");
    fs::create_hard_link(systemReg, p.prefix + "/system.reg");
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

// The search alone: what it adds to the reads.
static void SearchOnly(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(findManagedPrefixes(benchHome, nullptr, nullptr));
}
BENCHMARK(SearchOnly)->Unit(benchmark::kMillisecond);

static void SearchAndRead(benchmark::State &state) {
  for (auto _ : state) {
    std::vector<ManagedPrefix> prefixes = findManagedPrefixes(benchHome, nullptr, nullptr);
    prefixesFound = prefixes.size();
    for (const ManagedPrefix &p : prefixes)
      if (!readCommand(p.prefix + "/system.reg")) state.SkipWithError("no command");
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
  if (!t.count("OneRegistry") || !t.count("SearchOnly") || !t.count("SearchAndRead")) return 1;
  std::string both = "search over " + std::to_string(prefixesFound) +
                     " prefixes and reading each one's system.reg / reading one system.reg";
  bool met = verdict(both.c_str(), t["SearchAndRead"] / t["OneRegistry"], 2.0 * (double)prefixesFound,
                     "two reads a prefix found");
  met = verdict("the search alone / reading one system.reg", t["SearchOnly"] / t["OneRegistry"], 1.0,
                "less than one read") && met;
  return met ? 0 : 1;
}
