// The POSIX stand-in: the same launcher on Linux, with message boxes on
// standard error and, on a desktop, as dialogs (desktop/), INI files read by
// the Windows rules (ini/), the game started directly (through Wine when it
// is a Windows program, wine/), and a registry file (registry/).
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/desktop/dialog.h"
#include "platform/posix/ini/ini.h"
#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"
#include "platform/posix/common/process.h"
#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/winereg.h"


bool platFileExists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool platIsFile(const char *path) {
  struct stat st;
  return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

// The same name ignoring ASCII case, as on Windows and as the launcher has
// always compared its own path; or the same file, so that the link the
// desktop entry may name (and any other way to the launcher) counts too.
bool platIsSelf(const char *path, const char *self) {
  if (platCompareNoCase(path, self) == 0) return true;
  struct stat a, b;
  return stat(path, &a) == 0 && stat(self, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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

// The game is started as the registry names it, not from the composed
// command line: a Linux file name may hold a double quote, which the Windows
// rules for splitting a command line would read as the end of the program.
// It gets standard input, output and error and nothing else of the
// launcher's: above all not the log, which it must not hold open.
//
// A Windows build of the game (a file that begins with "MZ") is started
// through Wine: "wine" from PATH, or $WINE as Wine's own tools allow, with
// the game's path and the address, and WINEPREFIX set to the prefix whose
// drive_c holds the game.  A browser or xdg-open starts the launcher with no
// Wine variables at all; the game's path alone says where it lives.
long platStartGame(const char *program, const char *argument, char *, PlatNote note) {
  std::vector<std::string> argv{program, argument};
  StartOptions options;
  bool throughWine = isWindowsProgram(program);
  if (throughWine) {
    const char *wine = getenv("WINE");
    argv.insert(argv.begin(), wine && *wine ? wine : "wine");
    options.searchPath = true;
    std::string prefix = winePrefixHolding(program);
    options.environment = wineEnvironment(prefix, program);
    if (prefix.empty()) {
      // None holds it: Wine uses the prefix the environment names.
      prefix = playerWinePrefix();
      if (prefix.empty()) prefix = "~/.wine";
    }
    std::string line = "starting Zarnok through \"" + argv[0] + "\" in the Wine prefix \"" + prefix + "\"";
    note(line.c_str());
  }
  pid_t pid;
  int error = startProgram(argv, options, &pid);
  if (error == 0) return PLAT_OK;
  if (throughWine && (error == ENOENT || error == ENOTDIR)) return PLAT_ERROR_NO_WINE;
  return errorFromErrno(error);
}
