// Whether the launcher lies where it will not stay.  "-install" registers
// the path the launcher runs from; one started where the browser saved it,
// or unpacked under /tmp, is gone after a reboot or a tidy-up, and every
// link with it.  It is registered all the same (the player may only be
// trying it), and told to move it.
#include <stdlib.h>

#include <string>

#include "platform/platform.h"
#include "platform/posix/common/file.h"

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

}  // namespace

const char *platInstallAdvice(const char *self) {
  const char *tmpdir = getenv("TMPDIR");
  std::string path = realPath(self);
  for (const std::string &folder : {std::string("/tmp"), std::string("/var/tmp"),
                                    std::string(tmpdir ? tmpdir : ""), downloadFolder()}) {
    if (inside(path, folder))
      return N_("ZarnoLaunch is in a temporary folder: move it somewhere it will stay, then run it "
                "again with -install.");
  }
  return nullptr;
}
