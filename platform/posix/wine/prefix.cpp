#include "platform/posix/wine/prefix.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"
#include "platform/posix/wine/winereg.h"

extern char **environ;

// --- the prefix and its drives ---------------------------------------------------

bool isWinePrefix(const std::string &folder) { return isRegularFile(folder + "/system.reg"); }

static std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string playerWinePrefix() {
  const char *set = getenv("WINEPREFIX");
  if (set && *set) return set[0] == '/' ? withoutTrailingSlashes(set) : std::string();
  // Only HOME: the password database would cost the statically linked
  // launcher a run-time dependency on the system's glibc.
  const char *home = getenv("HOME");
  if (!home || !*home) return "";
  std::string prefix = withoutTrailingSlashes(home) + "/.wine";
  return isDirectory(prefix) ? prefix : "";
}

static std::string joinPath(const std::string &dir, const std::string &name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The entry of dir whose name matches name ignoring case; "" when none does.
static std::string matchIgnoringCase(const std::string &dir, const std::string &name) {
  DIR *d = opendir(dir.c_str());
  if (!d) return "";
  std::string match;
  while (struct dirent *entry = readdir(d)) {
    if (wineSameName(entry->d_name, name.c_str())) {
      match = entry->d_name;
      break;
    }
  }
  closedir(d);
  return match;
}

bool wineUnixPath(const std::string &prefix, const std::string &windowsPath, std::string &unixPath) {
  std::string path = windowsPath;
  // "\\?\C:\..." is the same path with Windows' length limit lifted.
  if (path.compare(0, 4, "\\\\?\\") == 0) path.erase(0, 4);
  if (path.size() < 2 || !isalpha((unsigned char)path[0]) || path[1] != ':') return false;
  // Wine's drive links are named in small letters: "c:" -> ../drive_c,
  // "z:" -> /.  Resolved, the path leads into drive_c itself, where the
  // launcher finds the prefix again when it starts the game.
  std::string link = prefix + "/dosdevices/" + (char)tolower((unsigned char)path[0]) + ":";
  char *root = realpath(link.c_str(), nullptr);
  if (!root) return false;
  std::string current = root;
  free(root);

  // Windows reads "." and ".." in a path by their names, before any file is
  // looked at; both separators are taken.
  std::vector<std::string> parts;
  size_t start = 2;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  for (const std::string &part : parts) {
    std::string exact = joinPath(current, part);
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) {
      current = exact;
      continue;
    }
    std::string match = matchIgnoringCase(current, part);
    if (match.empty()) return false;
    current = joinPath(current, match);
  }
  struct stat st;
  if (stat(current.c_str(), &st) != 0) return false;
  unixPath = current;
  return true;
}

static std::string prefixAbove(const std::string &path) {
  size_t end = path.rfind('/');
  while (end != std::string::npos && end > 0) {
    size_t start = path.rfind('/', end - 1);
    if (start == std::string::npos) break;
    if (path.compare(start + 1, end - start - 1, "drive_c") == 0) {
      std::string prefix = start == 0 ? "/" : path.substr(0, start);
      // A prefix has a registry: a drive_c on another disk, which a
      // prefix's drive_c may link to, has none above it.
      if (isDirectory(joinPath(prefix, "drive_c")) && isWinePrefix(prefix)) return prefix;
    }
    end = start;
  }
  return "";
}

std::string winePrefixHolding(const std::string &path) {
  std::string prefix = prefixAbove(path);
  if (!prefix.empty()) return prefix;
  // Named through a link, as ~/.wine/dosdevices/c:/... or a link of the
  // player's own: the file's real place may still be in a prefix.
  char *real = realpath(path.c_str(), nullptr);
  if (real) {
    prefix = prefixAbove(real);
    free(real);
  }
  return prefix;
}

bool wineServerRunning(const std::string &prefix) {
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0) return false;
  char server[64];
  snprintf(server, sizeof server, "/server-%llx-%llx/socket", (unsigned long long)st.st_dev,
           (unsigned long long)st.st_ino);
  // Debian's Wine keeps the folder of a random name instead, and names it
  // in the prefix's file "wineserver".
  std::string folders[2] = {"/tmp/.wine-" + std::to_string(getuid()), ""};
  if (readRegularFile((prefix + "/wineserver").c_str(), folders[1]) && !folders[1].empty() &&
      folders[1].find('/') == std::string::npos)
    folders[1] = "/tmp/" + folders[1];
  for (const std::string &folder : folders)
    if (folder[0] == '/' && stat((folder + server).c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
  return false;
}

bool isWindowsProgram(const char *path) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  char head[2];
  ssize_t n;
  while ((n = read(fd, head, sizeof head)) < 0 && errno == EINTR) {
  }
  close(fd);
  return n == 2 && head[0] == 'M' && head[1] == 'Z';
}

static bool isUtf8Locale() {
  const char *names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const char *name : names) {
    const char *value = getenv(name);
    if (!value || !*value) continue;
    std::string folded;
    for (const char *p = value; *p; ++p)
      if (*p != '-') folded += (char)tolower((unsigned char)*p);
    return folded.find("utf8") != std::string::npos;
  }
  return false;
}

// The variable an assignment sets: "NAME=" with its '='.
static std::string assigned(const std::string &assignment) {
  return assignment.substr(0, assignment.find('=') + 1);
}

std::vector<std::string> wineEnvironment(const std::vector<std::string> &set, const std::string &program) {
  bool wide = false;
  for (char c : program) wide = wide || (unsigned char)c >= 0x80;
  bool charset = wide && !isUtf8Locale();
  if (set.empty() && !charset) return {};
  std::vector<std::string> environment;
  for (char **e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string &assignment : set)
      replaced = replaced || strncmp(*e, assigned(assignment).c_str(), assigned(assignment).size()) == 0;
    if (replaced) continue;
    if (charset && strncmp(*e, "LC_CTYPE=", 9) == 0) continue;
    if (charset && strncmp(*e, "LC_ALL=", 7) == 0) {
      // Every other category keeps what LC_ALL gave it, through LANG.  An
      // empty LC_ALL counts for nothing, and is dropped as it is.
      if ((*e)[7]) environment.push_back(std::string("LANG=") + (*e + 7));
      continue;
    }
    if (charset && strncmp(*e, "LANG=", 5) == 0 && getenv("LC_ALL") && *getenv("LC_ALL")) continue;
    environment.push_back(*e);
  }
  environment.insert(environment.end(), set.begin(), set.end());
  if (charset) environment.push_back("LC_CTYPE=C.UTF-8");
  return environment;
}
