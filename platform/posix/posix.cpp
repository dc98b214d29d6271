// The POSIX stand-in: the same launcher on Linux, with message boxes on
// standard error and, on a desktop, as dialogs (dialog.cpp), INI files read
// by the Windows rules, processes started from a Windows-style command line,
// and a registry file (registry.cpp).
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/cmdline.h"
#include "platform/posix/dialog.h"
#include "platform/posix/ini.h"
#include "platform/platform.h"
#include "platform/posix/file.h"

extern char **environ;

bool platFileExists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

void platMessageBox(const char *text, const char *title, unsigned style) {
  // Standard error first and always: a terminal or a session log keeps the
  // message whether or not a dialog can be shown, and it is there before the
  // dialog waits for the player.
  fprintf(stderr, "%s\n%s\n", title, text);
  fflush(stderr);
  showDialog(text, title, style);
}

bool platModulePath(char *buf, unsigned long size) {
  if (size == 0) return false;
  ssize_t n = readlink("/proc/self/exe", buf, size);
  if (n <= 0 || (unsigned long)n >= size) {
    buf[0] = '\0';
    return false;
  }
  buf[n] = '\0';
  return true;
}

unsigned long platIniRead(const char *section, const char *key, const char *def,
                          char *buf, unsigned long size, const char *path) {
  // Only a regular file is read: a link file that names a FIFO or a device
  // must not leave the launcher waiting.  Anything unreadable reads as empty,
  // and so gives the default, as on Windows.
  std::string text;
  if (!readRegularFile(path, text)) text.clear();
  return iniLookup(text.data(), text.size(), section, key, def, buf, size);
}

int platStartProcess(char *commandLine) {
  std::vector<std::string> args = splitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return 0;
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  // The game gets standard input, output and error and nothing else of the
  // launcher's: above all not the log, which it must not hold open.
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return 0;
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid;
  int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0;
}
