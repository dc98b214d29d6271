#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/support.h"

extern char **environ;

namespace support {

std::string programDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, (size_t)n);
  return path.substr(0, path.rfind('/'));
}

std::string launcherPath() { return joinPath(programDir(), "zarnolaunch"); }
std::string accountLauncherPath(const std::string &account) {
  return joinPath(programDir(), "zarnolaunch-" + account);
}
std::string fakeGamePath() { return joinPath(programDir(), "zarnok-demo"); }

std::string registeredLauncher() {
  char real[PATH_MAX];
  std::string build = realpath(programDir().c_str(), real) ? std::string(real) + "/" : "";
  const char *tmpdir = getenv("TMPDIR");
  for (std::string folder : {"/tmp", "/var/tmp", tmpdir && *tmpdir ? tmpdir : ""}) {
    if (!folder.empty() && realpath(folder.c_str(), real)) folder = real;
    if (folder.size() > 1 && build.rfind(folder + "/", 0) == 0)
      return joinPath(getenv("HOME"), ".local/bin/zarnolaunch");
  }
  return launcherPath();
}

std::string usageText() {
  return "usage: zarnolaunch [ -quiet | -install | -uninstall ] file.zarnok\n"
         "file.zarnok should be an INI file of this form:\n"
         "\t[ZarnoLaunch]\n"
         "\tServer=play.zarnok.net:7777\n"
         "\n"
         "-quiet: display no status (by default, ZarnoLaunch shows its messages in dialog windows "
         "and on standard error)\n"
         "-install: register ZarnoLaunch with the desktop to open .zarnok files and zarnolaunch: "
         "links\n"
         "-uninstall: take that registration back\n";
}

const char *lineEnd() { return "\n"; }
char pathSeparator() { return '/'; }

bool fileExists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
bool makeDirectory(const std::string &path) { return mkdir(path.c_str(), 0755) == 0; }
bool makeExecutable(const std::string &path) { return chmod(path.c_str(), 0755) == 0; }

void setEnv(const std::string &name, const std::string &value) {
  setenv(name.c_str(), value.c_str(), 1);
}
void unsetEnv(const std::string &name) { unsetenv(name.c_str()); }

void isolateEnvironment() {
  std::string home = makeTempDir();
  std::string runtime = joinPath(home, "runtime");
  mkdir(runtime.c_str(), 0700);
  setEnv("HOME", home);
  setEnv("XDG_DATA_HOME", joinPath(home, ".local/share"));
  setEnv("XDG_CONFIG_HOME", joinPath(home, ".config"));
  setEnv("XDG_RUNTIME_DIR", runtime);
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "BROWSER", "XDG_CURRENT_DESKTOP",
                           "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                           "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "WINEPREFIX", "WINE",
                           "DBUS_SESSION_BUS_ADDRESS"})
    unsetEnv(name);
}

bool boxesOnStandardError() { return true; }

RunResult run(const std::vector<std::string> &argv, const std::string &cwd) {
  RunResult result;
  std::string errorFile = joinPath(makeTempDir(), "stderr");
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.errorOutput = readFile(errorFile);
  return result;
}

bool makeFifo(const std::string &path) { return mkfifo(path.c_str(), 0600) == 0; }

static std::string currentRegistry;

void resetRegistry() {
  currentRegistry = joinPath(makeTempDir(), "registry.reg");
  setEnv("ZARNOLAUNCH_REGISTRY", currentRegistry);
}

std::string registryFilePath() { return currentRegistry; }

std::string dumpRegistry() { return readFile(currentRegistry); }

}  // namespace support
