// Where the launcher lies, and what "-install" makes of it.  "-install"
// registers the path the launcher runs from; one started where the browser
// saved it, or unpacked under /tmp, is gone after a reboot or a tidy-up, and
// every link with it, while the desktop entry's TryExec hides the entry
// without a word.  Such a launcher registers a copy of itself instead, in
// ~/.local/bin, the folder for a user's own programs in systemd's file
// hierarchy, which the player's PATH usually holds too: the download may
// then go.  "-uninstall", run by either, removes the copy with the
// registration.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"
#include "platform/posix/desktop/desktop.h"

namespace {

// The download folder of user-dirs.dirs, as xdg-user-dirs writes it:
// XDG_DOWNLOAD_DIR="$HOME/Downloads" or an absolute path in quotes, with a
// backslash before a character taken as it is; the last line wins, as in
// the shell that reads the file.  Empty when there is none, and when it is
// the home folder itself, which is how xdg-user-dirs turns a folder off.
std::string downloadFolder() {
  std::string config, text, folder;
  const char *home = getenv("HOME");
  if (!home || home[0] != '/' || !xdgBaseDirectory("XDG_CONFIG_HOME", "/.config", config) ||
      !readRegularFile((config + "/user-dirs.dirs").c_str(), text))
    return "";
  static const char key[] = "XDG_DOWNLOAD_DIR=\"";
  for (const std::string &line : splitText(text, '\n')) {
    size_t i = line.find_first_not_of(" \t"), end = line.size();
    if (i == std::string::npos || line.compare(i, sizeof key - 1, key) != 0) continue;
    i += sizeof key - 1;
    std::string path;
    if (line.compare(i, 5, "$HOME") == 0 && (i + 5 == end || line[i + 5] == '/' || line[i + 5] == '"')) {
      path = home;
      i += 5;
    }
    for (; i < end && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < end) ++i;
      path += line[i];
    }
    folder = path;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || folder[0] != '/' || realPath(folder) == realPath(home)) return "";
  return folder;
}

// True when path (with its links resolved) lies inside folder.  The root
// folder counts for nothing: a TMPDIR of "/" says nothing about a place.
bool inside(const std::string &path, const std::string &folder) {
  if (folder.empty() || folder[0] != '/') return false;
  std::string real = realPath(folder);
  while (real.size() > 1 && real.back() == '/') real.pop_back();
  return real.size() > 1 && path.compare(0, real.size() + 1, real + "/") == 0;
}

// A launcher under /tmp, /var/tmp, $TMPDIR or the download folder.
bool inTemporaryFolder(const char *self) {
  const char *tmpdir = getenv("TMPDIR");
  std::string path = realPath(self);
  for (const std::string &folder : {std::string("/tmp"), std::string("/var/tmp"),
                                    std::string(tmpdir ? tmpdir : ""), downloadFolder()})
    if (inside(path, folder)) return true;
  return false;
}

}  // namespace

int platLauncherCopy(const char *self, char *buf, unsigned long size) {
  const char *home = getenv("HOME");
  if (!home || home[0] != '/') return PLAT_COPY_NONE;
  std::string copy = std::string(home) + "/.local/bin/zarnolaunch";
  if (copy.size() >= size) return PLAT_COPY_NONE;
  int where = PLAT_COPY_NONE;
  if (platIsSelf(copy.c_str(), self))
    where = PLAT_COPY_IS;
  else if (inTemporaryFolder(self) && desktopSystemEntry(self).empty())  // a package's stays
    where = PLAT_COPY_TO;
  if (where != PLAT_COPY_NONE) memcpy(buf, copy.c_str(), copy.size() + 1);
  return where;
}

long platCopyLauncher(const char *self, const char *path) {
  std::string bytes;
  if (!readRegularFile(self, bytes)) return errorFromErrno(errno);
  long error = makeDirectories(directoryOf(path));
  if (error == PLAT_OK) error = replaceFileAt(path, bytes.data(), bytes.size(), 0755, nullptr);
  // An older copy keeps its permissions, which must still let it run.
  struct stat st;
  if (error == PLAT_OK && stat(path, &st) == 0 && !(st.st_mode & S_IXUSR) && chmod(path, st.st_mode | 0111) != 0)
    error = errorFromErrno(errno);
  return error;
}

long platRemoveFile(const char *path) {
  if (unlink(path) == 0) return PLAT_OK;
  return errno == ENOENT ? PLAT_ERROR_FILE_NOT_FOUND : errorFromErrno(errno);
}

const char *platInstallAdvice(const char *self, bool copied) {
  if (copied)
    return N_("ZarnoLaunch was in a temporary or download folder, so it has copied itself to "
              "~/.local/bin/zarnolaunch and registered that copy: the download may be deleted.");
  if (!desktopSystemEntry(self).empty())
    return N_("This ZarnoLaunch is installed for every user of this computer, and the system "
              "opens server links with it: -install has looked for Zarnok and changed nothing "
              "else.");
  return nullptr;
}
