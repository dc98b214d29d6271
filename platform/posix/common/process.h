// Starting programs on Linux: the game, the dialog programs and the
// desktop's database tools all start here, directly, without a shell, so
// that no byte of a path, a message or a folder is ever read as shell syntax.
#ifndef ZARNOLAUNCH_POSIX_PROCESS_H
#define ZARNOLAUNCH_POSIX_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

struct StartOptions {
  // argv[0] is looked up in PATH when it holds no '/'.  The game is not: it
  // is exactly the file the registry names.
  bool searchPath = false;
  // Standard input and output on /dev/null rather than the launcher's.
  bool quietInput = false, quietOutput = false;
  // The child's standard error: -1 keeps the launcher's, -2 puts it with
  // the child's standard output, any other value is a descriptor for it.
  int errorFd = -1;
  // The environment, "NAME=value" each; empty keeps the launcher's.
  std::vector<std::string> environment;
  // The folder to start in; empty keeps the launcher's.
  std::string directory;
};

// Starts argv with no descriptor of the launcher's beyond standard input,
// output and error (above all not the log).  Returns 0 with the child's id
// in *pid, or an errno value when it could not be started.
int startProgram(const std::vector<std::string> &argv, const StartOptions &options, pid_t *pid);

// Waits for a child started so.  True when it ended with exit status 0;
// *status, when given, receives the wait status (0 when it was lost, as when
// whoever started the launcher left SIGCHLD ignored).
bool waitProgram(pid_t pid, int *status = nullptr);

// The program a command's first word names: itself when it holds a '/',
// else the first file of that name in PATH's folders, as the start looks
// it up; only a file that may be run counts.  "" when there is none.
std::string programPath(const std::string &name);

#endif
