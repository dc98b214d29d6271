// Reads TYPE0..TYPEn-1 of a key holding n values, one regReadString each, as
// the registration walks Navigator's viewer list.  With the stand-in's parsed
// registry kept between calls the cost per value stays flat; a registry file
// parsed once per call would make the whole walk quadratic.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "registry/registry.h"

static const char viewers[] = "Software\\Netscape\\Netscape Navigator\\Viewers";

static std::string makeRegistry(long values) {
  char dir[] = "/tmp/zarno-bench-XXXXXX";
  if (!mkdtemp(dir)) abort();
  std::string path = std::string(dir) + "/registry.reg";
  FILE *f = fopen(path.c_str(), "w");
  fprintf(f, "REGEDIT4\n\n[HKEY_CURRENT_USER\\%s]\n", viewers);
  for (long i = 0; i < values; ++i) fprintf(f, "\"TYPE%ld\"=\"application/x-type-%ld\"\n", i, i);
  fclose(f);
  return path;
}

static void ReadViewerList(benchmark::State &state) {
  const long values = state.range(0);
  std::string path = makeRegistry(values);
  setenv("ZARNOLAUNCH_REGISTRY", path.c_str(), 1);
  for (auto _ : state) {
    for (long i = 0; i < values; ++i) {
      char name[32];
      snprintf(name, sizeof name, "TYPE%ld", i);
      char *text = regReadString(HKCU, viewers, name);
      if (!text) state.SkipWithError("value missing");
      free(text);
    }
  }
  state.SetComplexityN(values);
  remove(path.c_str());
}
BENCHMARK(ReadViewerList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// The first read of a run parses the whole file: that part is linear too.
static void ParseOnce(benchmark::State &state) {
  const long values = state.range(0);
  std::string path = makeRegistry(values);
  std::string other = makeRegistry(1);
  for (auto _ : state) {
    // Switching files makes every read a fresh parse.
    setenv("ZARNOLAUNCH_REGISTRY", other.c_str(), 1);
    free(regReadString(HKCU, viewers, "TYPE0"));
    setenv("ZARNOLAUNCH_REGISTRY", path.c_str(), 1);
    free(regReadString(HKCU, viewers, "TYPE0"));
  }
  state.SetComplexityN(values);
  remove(path.c_str());
  remove(other.c_str());
}
BENCHMARK(ParseOnce)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
