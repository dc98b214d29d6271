// Runs two commands alternately, many times each, and reports for each the
// median wall time, CPU time (user + system, from wait4), page faults and
// peak resident memory of the process itself (not of what it starts), and
// the median of the per-pair ratios A / B.  Alternating pairs share whatever
// load the machine is under, so their ratios stay fair on a busy machine
// where the times do not.  The faults, one for each piece of its file or
// memory a process maps in, repeat from run to run as times do not, and
// show where memory and much of the start-up time go.
//
//   process_bench [-w WARMUP] [-s SERVER_PID] [-t TARGET] RUNS -- COMMAND A... -- COMMAND B...
//
// TARGET is the ratio A / B that A should stay under (default 1.10), only
// printed beside the results.
//
// Commands are looked up in PATH.  Whatever a command starts and leaves
// behind (the game) is adopted through PR_SET_CHILD_SUBREAPER and waited for
// after each run, outside the timing, so that it never overlaps the next run.
// With -s, the CPU time that process (a server the commands talk to, such as
// wineserver) spends while each command runs is reported as well.
#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char **environ;

struct Sample {
  double wallMs;
  double cpuMs;
  double faults;
  double serverCpuMs;
};

static double millis(const struct timeval &tv) { return tv.tv_sec * 1e3 + tv.tv_usec / 1e3; }

// CPU time of all threads of a process so far, in ms, from schedstat (ns
// resolution; /proc/PID/stat counts in clock ticks, too coarse for one run).
static double processCpuMs(pid_t pid) {
  char dirName[64];
  snprintf(dirName, sizeof dirName, "/proc/%d/task", (int)pid);
  DIR *dir = opendir(dirName);
  if (!dir) {
    fprintf(stderr, "process %d is gone\n", (int)pid);
    exit(2);
  }
  double total = 0;
  while (struct dirent *entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    char path[sizeof dirName + sizeof entry->d_name + 16];
    snprintf(path, sizeof path, "%s/%s/schedstat", dirName, entry->d_name);
    FILE *f = fopen(path, "r");
    if (!f) continue;  // a thread that just ended
    unsigned long long ns = 0;
    if (fscanf(f, "%llu", &ns) == 1) total += ns / 1e6;
    fclose(f);
  }
  closedir(dir);
  return total;
}

// Waits for every adopted descendant.  One that is still there after ten
// seconds is no game that does nothing: stop rather than hang.
static void settle() {
  struct timespec pause = {0, 200000};
  for (int i = 0; i < 50000; ++i) {
    pid_t pid = waitpid(-1, nullptr, WNOHANG);
    if (pid < 0 && errno == ECHILD) return;
    if (pid == 0) nanosleep(&pause, nullptr);
  }
  fprintf(stderr, "a process started by the command is still running after 10 s\n");
  exit(2);
}

static void checkExit(const char *name, int status) {
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s did not end with status 0\n", name);
    exit(2);
  }
}

static Sample runOnce(std::vector<char *> &argv, pid_t server) {
  double serverBefore = server ? processCpuMs(server) : 0;
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    perror(argv[0]);
    exit(2);
  }
  int status;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) {
    perror("wait4");
    exit(2);
  }
  auto end = std::chrono::steady_clock::now();
  checkExit(argv[0], status);
  double serverAfter = server ? processCpuMs(server) : 0;
  settle();
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          millis(usage.ru_utime) + millis(usage.ru_stime),
          (double)(usage.ru_minflt + usage.ru_majflt), serverAfter - serverBefore};
}

static long readHighWaterKb(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
  FILE *f = fopen(path, "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, f))
    if (sscanf(line, "VmHWM: %ld", &kb) == 1) break;
  fclose(f);
  return kb;
}

// Peak resident memory of the program a command runs, in KiB, or -1.
// wait4's ru_maxrss cannot tell it: exec keeps the peak of the address space
// it replaces, and a child of this process starts with this process's (all of
// it under posix_spawn's vfork), so every command would show the benchmark's
// own size.  Instead the child is stopped on its way out, while its address
// space still exists, and its VmHWM is read.  Tracing costs time, so these
// runs are not the timed ones.
static long peakRssKb(std::vector<char *> &argv) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  long kb = -1;
  bool optionsSet = false;
  int status;
  while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
    int signal = WSTOPSIG(status);
    int event = status >> 16;
    if (!optionsSet && signal == SIGTRAP && event == 0) {
      // The stop after the first exec; from here on, exits and execs come
      // as events.
      ptrace(PTRACE_SETOPTIONS, pid, nullptr,
             (void *)(long)(PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC));
      optionsSet = true;
      signal = 0;
    } else if (event == PTRACE_EVENT_EXIT) {
      kb = readHighWaterKb(pid);
      signal = 0;
    } else if (event != 0) {
      signal = 0;
    }
    ptrace(PTRACE_CONT, pid, nullptr, (void *)(long)signal);
  }
  checkExit(argv[0], status);
  settle();
  return kb;
}

static double quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v[(size_t)(q * (double)(v.size() - 1) + 0.5)];
}

int main(int argc, char **argv) {
  int warmup = 10;
  pid_t server = 0;
  double target = 1.10;
  int opt;
  while ((opt = getopt(argc, argv, "+w:s:t:")) != -1) {
    if (opt == 'w')
      warmup = atoi(optarg);
    else if (opt == 's')
      server = (pid_t)atoi(optarg);
    else if (opt == 't')
      target = atof(optarg);
    else
      return 2;
  }
  if (argc - optind < 4 || strcmp(argv[optind + 1], "--") != 0) {
    fprintf(stderr,
            "usage: process_bench [-w WARMUP] [-s SERVER_PID] [-t TARGET] RUNS -- COMMAND A... -- "
            "COMMAND B...\n");
    return 2;
  }
  int runs = atoi(argv[optind]);
  if (runs < 1) return 2;
  std::vector<char *> a, b;
  std::vector<char *> *current = &a;
  for (int i = optind + 2; i < argc; ++i) {
    if (strcmp(argv[i], "--") == 0 && current == &a) {
      current = &b;
      continue;
    }
    current->push_back(argv[i]);
  }
  if (a.empty() || b.empty()) return 2;
  a.push_back(nullptr);
  b.push_back(nullptr);

  if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
    perror("PR_SET_CHILD_SUBREAPER");
    return 2;
  }
  for (int i = 0; i < warmup; ++i) runOnce(a, server), runOnce(b, server);  // warm the caches

  std::vector<Sample> sa, sb;
  for (int i = 0; i < runs; ++i) {
    // Which of the pair goes first alternates too, so that neither always
    // runs right after the other's game.
    if (i % 2 == 0) {
      sa.push_back(runOnce(a, server));
      sb.push_back(runOnce(b, server));
    } else {
      sb.push_back(runOnce(b, server));
      sa.push_back(runOnce(a, server));
    }
  }
  std::vector<double> memA, memB;
  for (int i = 0; i < std::min(runs, 5); ++i) {
    memA.push_back((double)peakRssKb(a));
    memB.push_back((double)peakRssKb(b));
  }

  auto column = [](const std::vector<Sample> &s, double Sample::*field) {
    std::vector<double> v;
    for (const Sample &x : s) v.push_back(x.*field);
    return v;
  };
  auto ratios = [&](double Sample::*field) {
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) v.push_back(sa[i].*field / sb[i].*field);
    return v;
  };
  struct Metric {
    const char *name;
    double Sample::*field;
  };
  std::vector<Metric> metrics = {
      {"wall (ms)", &Sample::wallMs}, {"CPU (ms)", &Sample::cpuMs}, {"page faults", &Sample::faults}};
  if (server) metrics.push_back({"server CPU (ms)", &Sample::serverCpuMs});

  printf("%d alternating pairs after %d warm-up pairs; medians:\n", runs, warmup);
  printf("%-16s %10s %10s %8s %14s\n", "", "launcher", "baseline", "ratio", "ratio 25-75%");
  for (const Metric &m : metrics) {
    std::vector<double> r = ratios(m.field);
    printf("%-16s %10.3f %10.3f %7.2fx %8.2f-%.2fx\n", m.name, quantile(column(sa, m.field), 0.5),
           quantile(column(sb, m.field), 0.5), quantile(r, 0.5), quantile(r, 0.25),
           quantile(r, 0.75));
  }
  double ma = quantile(memA, 0.5), mb = quantile(memB, 0.5);
  if (ma > 0 && mb > 0)
    printf("%-16s %10.0f %10.0f %7.2fx   (%zu untimed runs each)\n", "peak RSS (KiB)", ma, mb,
           ma / mb, memA.size());
  else
    printf("peak RSS: not measured (tracing the commands was refused)\n");
  printf("ratio: median of the per-pair ratios launcher / baseline (target: at most %.2fx)\n", target);
  return 0;
}
