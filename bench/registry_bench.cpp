// Reads TYPE0..TYPEn-1 of a key holding n values, one regReadString each, as
// the registration walks Navigator's viewer list.  With the stand-in's parsed
// registry kept between calls the cost per value stays flat; a registry file
// parsed once per call would make the whole walk quadratic.
//
// Each benchmark ends with its verdict: the CPU cost per value at its largest
// size against the cost per value at a tenth of that size, in the same run,
// and the target that ratio must stay under.  Linear work gives about 1x,
// somewhat more once the data outgrows the processor's caches; work that
// grows with the square of the list gives 10x.  The exit status is 1 when a
// benchmark missed its target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
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
BENCHMARK(ReadViewerList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

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
BENCHMARK(ParseOnce)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The per-value ratio may be at most this: caches hold less of a larger
// file, which costs a little per value, and a shared machine adds noise.
static const double target = 3.0;

// The console's report, and each benchmark's time per value by size.
class PerValue : public benchmark::ConsoleReporter {
 public:
  PerValue() : ConsoleReporter(OO_None) {}
  std::map<std::string, std::map<int64_t, double>> costs;
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.complexity_n > 0)
        costs[run.run_name.function_name][run.complexity_n] =
            run.GetAdjustedCPUTime() / (double)run.complexity_n;
  }
};

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  PerValue reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  bool met = true;
  for (const auto &bench : reporter.costs) {
    auto large = bench.second.rbegin();
    auto small = bench.second.find(large->first / 10);
    if (small == bench.second.end()) continue;
    double ratio = large->second / small->second;
    bool ok = ratio <= target;
    met = met && ok;
    printf("%s: cost per value at %lld values / at %lld values: %.2fx (target: at most %.2fx): %s\n",
           bench.first.c_str(), (long long)large->first, (long long)small->first, ratio, target,
           ok ? "met" : "MISSED");
  }
  return met ? 0 : 1;
}
