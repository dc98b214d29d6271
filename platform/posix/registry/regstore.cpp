// The registry file store behind the stand-in's registry calls: one
// REGEDIT4 text file (regfile.cpp reads and edits its text).
//
// Readers never lock: the file is only ever replaced whole, by rename, so a
// reader sees the old contents or the new, never a mix.  Writers serialise on
// an exclusive lock of the file's directory, re-read the file under the lock,
// write the new contents to a temporary file beside it, flush it to disk and
// rename it over the old one.  A crash at any point leaves either the old
// file or the new one; two launchers writing at once each see the other's
// values.  A file that does not parse is never replaced: it may be a user's
// hand edit gone wrong, and replacing it would lose whatever it held.  Nor is
// it an empty registry: taken for one, "-uninstall" would report success with
// every entry still in place.  While it is so, every call fails with
// PLAT_ERROR_BADDB, as Windows answers for a damaged hive, and
// platRegistryProblem says which file and which line.
//
// For reading, the parsed contents are kept between calls and re-read only
// when the file changed (device, inode, size or modification time), so a run
// that reads a long list one value at a time does not parse the file once
// per value.  A write always reads the file afresh under the lock.
#include <errno.h>
#include <stdarg.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"
#include "platform/posix/registry/regfile.h"
#include "platform/posix/registry/regstore.h"

struct PlatKey {
  std::string fullPath;
};

namespace {

struct Stamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {};
};

bool sameStamp(const Stamp &a, const Stamp &b) {
  return a.present == b.present && a.device == b.device && a.inode == b.inode &&
         a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec;
}

Stamp stampOf(const struct stat &st) {
  Stamp s;
  s.present = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modified = st.st_mtim;
  return s;
}

// Why the registry cannot be used: in English for the log, and for the
// player, in their language and with what to do.
struct Problem {
  std::string english, shown;
  bool empty() const { return english.empty(); }
};

Problem problemOf(const char *next, const char *format, ...) __attribute__((format(printf, 2, 3)));
Problem problemOf(const char *next, const char *format, ...) {
  char english[1024], shown[2048];
  va_list args;
  va_start(args, format);
  platFormatTexts(english, sizeof english, shown, sizeof shown, next, format, args);
  va_end(args);
  return {english, shown};
}

struct Cache {
  bool loaded = false;
  std::string path;
  Stamp stamp;
  Problem problem;  // empty when the registry can be used
  RegFile contents;
};
// Never destroyed: freeing the parsed registry at exit is work for nothing.
Cache &cache = *new Cache;
// What the last PLAT_ERROR_BADDB was about, for platRegistryProblem.
Problem &lastProblem = *new Problem;

// Looked up on every call: cheap next to the stat that follows, and a test
// process may point it elsewhere between cases.  False, with the reason in
// problem, when no absolute place can be made of the environment.
bool registryFile(std::string &path, Problem &problem) {
  const char *explicitPath = getenv("ZARNOLAUNCH_REGISTRY");
  if (explicitPath && *explicitPath) {
    path = explicitPath;
    return true;
  }
  std::string config;
  if (xdgBaseDirectory("XDG_CONFIG_HOME", "/.config", config)) {
    path = config + "/zarnolaunch/registry.reg";
    return true;
  }
  const char *home = getenv("HOME");
  const char *next = N_("Start ZarnoLaunch from your desktop session, where HOME names your home folder.");
  problem = home && *home ? problemOf(next, N_("The registry file has no place: HOME is not an absolute path."))
                          : problemOf(next, N_("The registry file has no place: HOME is not set."));
  return false;
}

void markBroken(const std::string &path, const Problem &problem) {
  cache = Cache();
  cache.loaded = true;
  cache.path = path;
  cache.problem = problem;
}

// Why the file cannot be read, in words of our own: strerror's are the C
// library's, in English whatever the player's language.
Problem cannotRead(const std::string &path, int error) {
  const char *next = error == EISDIR ? N_("Move that folder away, then try again.")
                                     : N_("Move that file away, then try again.");
  const char *file = path.c_str();
  // Translators: %s is the registry file's path.
  const char *format = N_("The registry file \"%s\" cannot be read: you have no permission to read it.");
  if (error == EISDIR)
    // Translators: %s is the registry file's path, which is a folder.
    format = N_("The registry file \"%s\" cannot be read: it is a folder.");
  else if (error == EINVAL)  // readRegularFile's answer for a device, a pipe or a socket
    // Translators: %s is the registry file's path.
    format = N_("The registry file \"%s\" cannot be read: it is not an ordinary file.");
  else if (error == EIO)
    // Translators: %s is the registry file's path.
    format = N_("The registry file \"%s\" cannot be read: the disk reported an error.");
  else if (error != EACCES && error != EPERM)
    // Translators: %s is the registry file's path, %d the system's number of the error.
    return problemOf(next, N_("The registry file \"%s\" cannot be read (error %d)."), file, error);
  return problemOf(next, format, file);
}

// Reads the file into a cache of its own.  The stamp comes from the file
// that was opened, so it always belongs to the text read.  A missing file is
// an empty registry; anything else that cannot be read or parsed marks it
// broken.
void load(const std::string &path) {
  cache = Cache();
  cache.loaded = true;
  cache.path = path;
  std::string text;
  struct stat st = {};
  if (!readRegularFile(path.c_str(), text, &st)) {
    if (errno == ENOENT || errno == ENOTDIR) return;
    // A directory or device where the file should be is no registry either.
    return markBroken(path, cannotRead(path, S_ISDIR(st.st_mode) ? EISDIR : errno));
  }
  cache.stamp = stampOf(st);
  // An empty file is what an interrupted first write of another program
  // could leave; it holds nothing, and may be written.
  if (text.empty()) return;
  RegParseError error;
  if (!regParse(text.data(), text.size(), cache.contents, &error))
    markBroken(path, problemOf(N_("Correct that line of the file, or move the file away, then try again."),
                               // Translators: the registry file's path, the number of
                               // the line that cannot be read, and that line's text.
                               N_("The registry file \"%s\" cannot be read: line %d: %s"), path.c_str(),
                               error.line, error.text.c_str()));
}

// Brings the cache up to date with the file.  Opening a key does this;
// reading through the open key uses what the open found, as one launcher
// call opens, reads and closes without anything between.  A cache of this
// very file is kept while a stat finds the file unchanged; otherwise (and
// the first time, without a stat: the open finds out as much) the file is
// read again.
void refresh() {
  std::string path;
  Problem problem;
  if (!registryFile(path, problem)) return markBroken(path, problem);
  if (cache.loaded && cache.problem.empty() && cache.path == path) {
    struct stat st;
    Stamp now;
    if (stat(path.c_str(), &st) == 0) {
      now = stampOf(st);
    } else if (errno != ENOENT && errno != ENOTDIR) {
      return markBroken(path, cannotRead(path, errno));
    }
    if (sameStamp(now, cache.stamp)) return;
  }
  load(path);
}

// The answer of every call while the registry cannot be used.
long badDb() {
  lastProblem = cache.problem;
  return PLAT_ERROR_BADDB;
}

// For reads through an open key; see refresh.
void loadOnce() {
  if (!cache.loaded) refresh();
}

// Replaces the file with the cache's contents.  Called with the lock held.
long writeCache(const std::string &path) {
  std::string text = regSerialize(cache.contents);
  struct stat written;
  long error = replaceFile(path, text.data(), text.size(), 0600, &written);
  if (error == PLAT_OK) cache.stamp = stampOf(written);
  return error;
}

bool usableName(const std::string &s) {
  for (char c : s)
    if (c == '\n' || c == '\r' || c == '\0') return false;
  return true;
}

// Read-modify-write under the directory lock.  change returns whether it
// changed anything; unchanged contents are not written again, so repeating a
// write leaves the file as it was, byte for byte.
template <typename Change>
long modify(Change change) {
  refresh();
  if (!cache.problem.empty()) return badDb();
  std::string path = cache.path;
  std::string dir = directoryOf(path);
  long error = makeDirectories(dir);
  if (error != PLAT_OK) return error;
  int lockFd = lockDirectory(dir);
  if (lockFd < 0) return errorFromErrno(errno);
  // Under the lock the file is read again whatever its stamp says: a file
  // system may hand a freed inode number to the next file, and time stamps
  // move in steps of milliseconds, so two quick writes of the same size by
  // others could look like none, and this write would drop their values.
  cache.loaded = false;
  refresh();
  if (!cache.problem.empty()) {
    error = badDb();
  } else if (change(cache.contents)) {
    error = writeCache(path);
    if (error != PLAT_OK) cache = Cache();  // what is on disk is what counts
  }
  unlockDirectory(lockFd);
  return error;
}

// The key's full path as the file names it; an error for a root the file
// has no name for, or a path that could not be written out.
long keyPath(unsigned long root, const char *path, std::string &full) {
  // The machine's classes are what HKEY_CLASSES_ROOT shows: the file keeps
  // them in that one place, as it always has.
  static const char machineClasses[] = "Software\\Classes";
  const size_t length = sizeof machineClasses - 1;
  if (root == REG_ROOT_LOCAL_MACHINE && path && strncasecmp(path, machineClasses, length) == 0 &&
      (path[length] == '\0' || path[length] == '\\')) {
    root = REG_ROOT_CLASSES_ROOT;
    path += length;
  }
  const char *rootName = regRootName(root);
  if (!rootName) return PLAT_ERROR_INVALID_HANDLE;
  full = regFullPath(rootName, path);
  return usableName(full) ? PLAT_OK : PLAT_ERROR_INVALID_PARAMETER;
}

// Whether the key is in the file; the roots always are.
bool keyThere(RegFile &file, const std::string &fullPath) {
  return regIsRoot(fullPath) || regFindKey(file, fullPath);
}

}  // namespace

long platRegOpenKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  std::string fullPath;
  long error = keyPath(root, path, fullPath);
  if (error != PLAT_OK) return error;
  refresh();
  if (!cache.problem.empty()) return badDb();
  if (!keyThere(cache.contents, fullPath)) return PLAT_ERROR_FILE_NOT_FOUND;
  *key = new PlatKey{fullPath};
  return PLAT_OK;
}

long platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  std::string fullPath;
  long error = keyPath(root, path, fullPath);
  if (error != PLAT_OK) return error;
  refresh();
  if (!cache.problem.empty() || !keyThere(cache.contents, fullPath))
    error = modify([&](RegFile &file) {
      if (keyThere(file, fullPath)) return false;
      regMakeKey(file, fullPath);
      return true;
    });
  if (error == PLAT_OK) *key = new PlatKey{fullPath};
  return error;
}

long platRegQueryValue(PlatKeyHandle key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size) {
  loadOnce();
  if (!cache.problem.empty()) return badDb();
  RegKey *found = regFindKey(cache.contents, key->fullPath);
  const RegValue *value = found ? regFindValue(*found, name ? name : "") : nullptr;
  if (!value) return PLAT_ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  unsigned long length = (unsigned long)value->data.size();
  if (data) {
    if (*size < length) {
      *size = length;
      return PLAT_ERROR_MORE_DATA;
    }
    memcpy(data, value->data.data(), length);
  }
  *size = length;
  return PLAT_OK;
}

long platRegSetValue(PlatKeyHandle key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size) {
  std::string valueName = name ? name : "";
  if (!usableName(valueName)) return PLAT_ERROR_INVALID_PARAMETER;
  std::string bytes((const char *)data, size);
  std::string fullPath = key->fullPath;
  return modify([&](RegFile &file) {
    // The key may be one another launcher has just removed, or the root.
    RegKey &target = regMakeKey(file, fullPath);
    return regSetValue(file, target, valueName, type, bytes);
  });
}

void platRegCloseKey(PlatKeyHandle key) { delete key; }

long platRegEnumKey(PlatKeyHandle key, unsigned long index, char *name, unsigned long size) {
  loadOnce();
  if (!cache.problem.empty()) return badDb();
  std::vector<std::string> names = regSubkeyNames(cache.contents, key->fullPath);
  if (index >= names.size()) return PLAT_ERROR_NO_MORE_ITEMS;
  const std::string &found = names[index];
  if (found.size() >= size) return PLAT_ERROR_MORE_DATA;
  memcpy(name, found.c_str(), found.size() + 1);
  return PLAT_OK;
}

long platRegCountEntries(PlatKeyHandle key, unsigned long *subkeys, unsigned long *values) {
  loadOnce();
  if (!cache.problem.empty()) return badDb();
  const RegKey *found = regFindKey(cache.contents, key->fullPath);
  *subkeys = (unsigned long)regSubkeyNames(cache.contents, key->fullPath).size();
  *values = found ? (unsigned long)found->values.size() : 0;
  return PLAT_OK;
}

// Deletions, like writes, re-read the file under the lock and decide there;
// what is missing already is reported as such without touching the disk.
long platRegDeleteKey(unsigned long root, const char *path) {
  std::string fullPath;
  long error = keyPath(root, path, fullPath);
  if (error != PLAT_OK) return error;
  if (regIsRoot(fullPath)) return PLAT_ERROR_ACCESS_DENIED;
  refresh();
  if (!cache.problem.empty()) return badDb();
  if (!regFindKey(cache.contents, fullPath)) return PLAT_ERROR_FILE_NOT_FOUND;
  long outcome = PLAT_OK;
  error = modify([&](RegFile &file) {
    if (!regFindKey(file, fullPath)) {
      outcome = PLAT_ERROR_FILE_NOT_FOUND;
      return false;
    }
    if (!regSubkeyNames(file, fullPath).empty()) {
      outcome = PLAT_ERROR_ACCESS_DENIED;
      return false;
    }
    return regEraseKey(file, fullPath);
  });
  return error != PLAT_OK ? error : outcome;
}

long platRegDeleteValue(unsigned long root, const char *path, const char *name) {
  std::string fullPath;
  long error = keyPath(root, path, fullPath);
  if (error != PLAT_OK) return error;
  std::string valueName = name ? name : "";
  refresh();
  if (!cache.problem.empty()) return badDb();
  RegKey *key = regFindKey(cache.contents, fullPath);
  if (!key || !regFindValue(*key, valueName)) return PLAT_ERROR_FILE_NOT_FOUND;
  long outcome = PLAT_OK;
  error = modify([&](RegFile &file) {
    RegKey *target = regFindKey(file, fullPath);
    if (!target || !regEraseValue(file, *target, valueName)) {
      outcome = PLAT_ERROR_FILE_NOT_FOUND;
      return false;
    }
    return true;
  });
  return error != PLAT_OK ? error : outcome;
}

bool registryFilePath(std::string &path) {
  Problem problem;
  return registryFile(path, problem);
}

bool platRegistryProblem(char *buf, unsigned long size, char *shown, unsigned long shownSize) {
  if (lastProblem.empty() || !size || !shownSize) return false;
  snprintf(buf, size, "%s", lastProblem.english.c_str());
  snprintf(shown, shownSize, "%s", lastProblem.shown.c_str());
  return true;
}
