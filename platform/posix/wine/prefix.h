// The Windows game under Wine.  Most Linux players of a Windows game install
// it with Wine, which registers it only inside the Wine prefix: its open
// command lives in the prefix's registry files, its program under the
// prefix's drives.  The launcher reads that registry (winereg.h), maps the
// Windows path to the Linux file through the prefix's drive links, and
// starts a Windows program through Wine in the prefix that holds it.
#ifndef ZARNOLAUNCH_POSIX_PREFIX_H
#define ZARNOLAUNCH_POSIX_PREFIX_H

#include <string>
#include <vector>

// The prefix the player's Wine uses: $WINEPREFIX when set (Wine takes only
// an absolute path), else ~/.wine when it exists; "" when there is none.
std::string playerWinePrefix();

// The Linux path of a Windows path ("C:\\Games\\zarnok.exe") in a prefix:
// the drive through the prefix's dosdevices link, then each component as it
// is or, where that is missing, a name in the folder that matches it
// ignoring case, as Wine looks names up.  False when nothing is there.
bool wineUnixPath(const std::string &prefix, const std::string &windowsPath, std::string &unixPath);

// True when the folder is a Wine prefix: it holds a registry (system.reg).
bool isWinePrefix(const std::string &folder);

// The prefix that holds a file: the folder whose drive_c contains it and
// that holds a registry (system.reg), "" when none does.
std::string winePrefixHolding(const std::string &path);

// True when the prefix's Wine server is running: its socket is there.  Wine
// keeps it in /tmp/.wine-<uid>/server-<device>-<inode>/, after the prefix's
// folder, and removes it when the server ends.
bool wineServerRunning(const std::string &prefix);

// True when the file begins with "MZ": a Windows program, for Wine to run.
bool isWindowsProgram(const char *path);

// The environment for Wine to start program in: the launcher's, with the
// assignments ("NAME=value", such as WINEPREFIX's) set in it.  Wine reads a
// program's path in the locale's character set, and the launcher's paths
// are UTF-8: a path beyond ASCII under a locale of another set (as "C" or
// "POSIX", where a browser was started without a session's settings) would
// name another file, so such a start gets LC_CTYPE=C.UTF-8.  Empty when the
// launcher's own environment will do.
std::vector<std::string> wineEnvironment(const std::vector<std::string> &set, const std::string &program);

#endif
