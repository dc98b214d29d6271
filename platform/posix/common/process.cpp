#include "platform/posix/common/process.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/common/file.h"

extern char **environ;

int startProgram(const std::vector<std::string> &argv, const StartOptions &options, pid_t *pid) {
  if (argv.empty() || argv[0].empty()) return ENOENT;
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char *> env;
  for (const std::string &e : options.environment) env.push_back(const_cast<char *>(e.c_str()));
  env.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  int error = posix_spawn_file_actions_init(&actions);
  if (error != 0) return error;
  if (options.quietInput) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.quietOutput) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (options.errorFd == -2)
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else if (options.errorFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.errorFd, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!options.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
  char **envp = options.environment.empty() ? environ : env.data();
  error = options.searchPath ? posix_spawnp(pid, args[0], &actions, nullptr, args.data(), envp)
                             : posix_spawn(pid, args[0], &actions, nullptr, args.data(), envp);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

bool waitProgram(pid_t pid, int *status) {
  int got = 0;
  while (waitpid(pid, &got, 0) < 0) {
    // ECHILD: SIGCHLD was left ignored by whoever started the launcher, and
    // the child's status went with it once the child ended.
    if (errno != EINTR) {
      if (status) *status = 0;
      return false;
    }
  }
  if (status) *status = got;
  return WIFEXITED(got) && WEXITSTATUS(got) == 0;
}

static bool isProgram(const std::string &path) { return isRegularFile(path) && access(path.c_str(), X_OK) == 0; }

std::string programPath(const std::string &name) {
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return isProgram(name) ? name : "";
  const char *path = getenv("PATH");
  for (std::string dir : splitText(path ? path : "/usr/local/bin:/usr/bin:/bin", ':')) {
    // An empty entry is the current folder, as for execvp.
    if (dir.empty()) dir = ".";
    if (isProgram(dir + "/" + name)) return dir + "/" + name;
  }
  return "";
}
