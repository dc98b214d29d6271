// The POSIX stand-in: the same launcher on Linux, with message boxes on
// standard error and, on a desktop, as dialogs (desktop/), INI files read by
// the Windows rules (ini/), the game started directly (through Wine when it
// is a Windows program, wine/), and a registry file (registry/).
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/desktop/dialog.h"
#include "platform/posix/ini/ini.h"
#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/expand.h"
#include "platform/posix/common/file.h"
#include "platform/posix/common/process.h"
#include "platform/posix/wine/prefix.h"
#include "platform/posix/wine/starter.h"
#include "platform/posix/wine/winereg.h"

extern char **environ;

bool platFileExists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool platIsFile(const char *path) {
  struct stat st;
  return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

// The same file, however it is named (a link, as the desktop entry may
// name it, or any other way); a path that does not exist is this launcher
// only when it is spelled exactly as its path.  Letter case counts, as it
// does for Linux file names: /x/Copy is another launcher than /x/copy.
bool platIsSelf(const char *path, const char *self) {
  struct stat a, b;
  if (stat(path, &a) == 0 && stat(self, &b) == 0) return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  return strcmp(path, self) == 0;
}

// Windows compares variable names without regard to case; so does this.
char *platExpandEnvironment(const char *text) {
  std::string expanded = expandWindowsVariables(text, [](const std::string &name, std::string &value) {
    for (char **e = environ; *e; ++e) {
      const char *equals = strchr(*e, '=');
      if (equals && (size_t)(equals - *e) == name.size() &&
          strncasecmp(*e, name.c_str(), name.size()) == 0) {
        value = equals + 1;
        return true;
      }
    }
    return false;
  });
  return strdup(expanded.c_str());
}

// gettext's order: the first of LC_ALL, LC_MESSAGES and LANG that is set
// names the locale; "C" or "POSIX" (or none) means the program's own
// English, whatever LANGUAGE says.  Otherwise LANGUAGE, a list of codes
// separated by colons, comes first when set, and takes the locale's place.
bool platLanguage(int index, char *buf, unsigned long size) {
  const char *locale = nullptr;
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *value = getenv(name);
    if (value && *value) {
      locale = value;
      break;
    }
  }
  if (!locale || strcmp(locale, "C") == 0 || strcmp(locale, "POSIX") == 0 ||
      strncmp(locale, "C.", 2) == 0)
    return false;
  const char *list = getenv("LANGUAGE");
  if (!list || !*list) list = locale;
  std::string entry;
  for (const char *p = list;; ++p) {
    if (*p && *p != ':') {
      entry += *p;
      continue;
    }
    if (!entry.empty() && index-- == 0) {
      snprintf(buf, size, "%s", entry.c_str());
      return true;
    }
    entry.clear();
    if (!*p) return false;
  }
}

void platMessageBox(const char *text, const char *title, unsigned style) {
  // Standard error first and always: a terminal or a session log keeps the
  // message whether or not a dialog can be shown, and it is there before the
  // dialog waits for the player.
  fprintf(stderr, "%s\n%s\n", title, text);
  fflush(stderr);
  showDialog(text, title, style);
}

const char *platUsage(void) {
  return N_("usage: zarnolaunch [ -quiet | -install | -uninstall ] file.zarnok\n"
            "file.zarnok should be an INI file of this form:\n"
            "\t[ZarnoLaunch]\n"
            "\tServer=play.zarnok.net:7777\n"
            "\n"
            "-quiet: display no status (by default, ZarnoLaunch shows its messages in dialog "
            "windows and on standard error)\n"
            "-install: register ZarnoLaunch with the desktop to open .zarnok files and "
            "zarnolaunch: links\n"
            "-uninstall: take that registration back\n");
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
// the game's path and the address, in the prefix where the launcher found
// it; or, for a game whose prefix a game manager keeps, by the command that
// manager starts it with, in the folder the manager starts it in.  A browser or xdg-open starts the launcher with no
// Wine variables at all, so the prefix must come from what was stored; a
// game named without one (by hand) starts in the prefix whose drive_c holds
// it, if that is a prefix.
long platStartGame(const char *program, const char *argument, char *, const char *prefix,
                   const char *command, PlatNote note) {
  std::vector<std::string> argv{program, argument};
  StartOptions options;
  // How it is started, as a manager's command is stored: the variables set,
  // and the words, with %e for the game and %a for the address.
  std::vector<std::string> set, words;
  bool throughWine = false;
  if (command && starterParse(command, set, words)) {
    note(("starting Zarnok with \"" + std::string(command) + "\"").c_str());
    // Proton's waitforexitandrun first waits for the prefix's Wine server
    // to end: with the game already running there, the game would start
    // only once it has quit.  runinprefix starts it in that server at once,
    // as a second start does on Windows.
    if (prefix && wineServerRunning(prefix) &&
        (std::find(words.begin(), words.end(), "waitforexitandrun") != words.end() ||
         std::find(set.begin(), set.end(), "PROTON_VERB=waitforexitandrun") != set.end())) {
      note("the Wine server of the prefix is running: starting Zarnok with runinprefix");
      std::replace(words.begin(), words.end(), std::string("waitforexitandrun"), std::string("runinprefix"));
      std::replace(set.begin(), set.end(), std::string("PROTON_VERB=waitforexitandrun"),
                   std::string("PROTON_VERB=runinprefix"));
    }
    // In the folder the manager starts it in: a PWD of the command's own
    // (a Steam shortcut's start folder), else the game's folder.
    for (const std::string &word : set)
      if (word.compare(0, 4, "PWD=") == 0) options.directory = word.substr(4);
    if (options.directory.empty()) {
      options.directory = directoryOf(program);
      set.push_back("PWD=" + options.directory);
    }
  } else if (isWindowsProgram(program)) {
    throughWine = true;
    const char *wine = getenv("WINE");
    words = {wine && *wine ? wine : "wine", "%e", "%a"};
    std::string in = prefix && *prefix ? prefix : winePrefixHolding(program);
    if (!in.empty()) set = {"WINEPREFIX=" + in};
    // None holds it: Wine uses the prefix the environment names.
    if (in.empty()) in = playerWinePrefix();
    if (in.empty()) in = "~/.wine";
    note(("starting Zarnok through \"" + words[0] + "\" in the Wine prefix \"" + in + "\"").c_str());
  }
  if (!words.empty()) {
    argv = starterCommand(words, program, argument);
    options.searchPath = true;
    options.environment = wineEnvironment(set, program);
  }
  pid_t pid;
  int error = startProgram(argv, options, &pid);
  if (error == 0) return PLAT_OK;
  if (throughWine && (error == ENOENT || error == ENOTDIR)) return PLAT_ERROR_NO_WINE;
  return errorFromErrno(error);
}
