// Runs two commands alternately, many times each, and reports the median wall
// time and the median peak resident memory of each process (not of what it
// starts), and their ratios.
//
//   process_bench RUNS -- COMMAND A... -- COMMAND B...
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char **environ;

struct Sample {
  double millis;
  long maxRssKb;
};

static Sample runOnce(std::vector<char *> &argv) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    perror(argv[0]);
    exit(2);
  }
  int status;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s did not end with status 0\n", argv[0]);
    exit(2);
  }
  auto end = std::chrono::steady_clock::now();
  return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

template <typename T>
static T median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main(int argc, char **argv) {
  if (argc < 5 || strcmp(argv[2], "--") != 0) {
    fprintf(stderr, "usage: process_bench RUNS -- COMMAND A... -- COMMAND B...\n");
    return 2;
  }
  int runs = atoi(argv[1]);
  std::vector<char *> a, b;
  std::vector<char *> *current = &a;
  for (int i = 3; i < argc; ++i) {
    if (strcmp(argv[i], "--") == 0 && current == &a) {
      current = &b;
      continue;
    }
    current->push_back(argv[i]);
  }
  if (a.empty() || b.empty()) return 2;
  a.push_back(nullptr);
  b.push_back(nullptr);

  for (int i = 0; i < 10; ++i) runOnce(a), runOnce(b);  // warm the caches
  std::vector<double> timeA, timeB;
  std::vector<long> memA, memB;
  for (int i = 0; i < runs; ++i) {
    Sample sa = runOnce(a), sb = runOnce(b);
    timeA.push_back(sa.millis);
    memA.push_back(sa.maxRssKb);
    timeB.push_back(sb.millis);
    memB.push_back(sb.maxRssKb);
  }
  double ta = median(timeA), tb = median(timeB);
  long ma = median(memA), mb = median(memB);
  printf("%-12s %10s %14s\n", "", "time (ms)", "peak RSS (KiB)");
  printf("%-12s %10.3f %14ld\n", "launcher", ta, ma);
  printf("%-12s %10.3f %14ld\n", "baseline", tb, mb);
  printf("ratio: time %.2fx, memory %.2fx (target: at most 1.10x each)\n", ta / tb,
         (double)ma / (double)mb);
  return 0;
}
