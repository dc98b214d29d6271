#include "platform/posix/common/file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix/common/error.h"

bool readRegularFile(const char *path, std::string &text, struct stat *info) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (ok && info) *info = st;
  if (ok && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    ok = false;
  }
  // Read in place, into room for the size fstat gave and one byte more: the
  // usual file comes whole with the first read, and the second finds its
  // end in that byte.  No buffer of its own, whose pages a short run would
  // only fault in to copy the text out of them again.
  size_t length = text.size();
  if (ok) text.resize(length + (size_t)st.st_size + 1);
  while (ok) {
    if (length == text.size()) text.resize(length + 65536);  // it grew since
    ssize_t n = read(fd, &text[length], text.size() - length);
    if (n > 0)
      length += (size_t)n;
    else if (n == 0)
      break;
    else if (errno != EINTR)
      ok = false;
  }
  text.resize(length);
  int saved = errno;
  close(fd);
  errno = saved;
  return ok;
}

bool readOrPassOver(const std::string &path, std::string &text, PlatNote note, const std::string &what) {
  text.clear();
  if (readRegularFile(path.c_str(), text)) return true;
  if (errno != ENOENT)
    noteLine(note, what + " \"" + path + "\" cannot be read (error " +
                       std::to_string(errorFromErrno(errno)) + "); skipping it");
  text.clear();
  return false;
}

bool isDirectory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string realPath(const std::string &path) {
  char *real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result = real;
  free(real);
  return result;
}

std::string directoryOf(const std::string &path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

long makeDirectories(const std::string &dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? PLAT_OK : PLAT_ERROR_PATH_NOT_FOUND;
  if (errno != ENOENT) return errorFromErrno(errno);
  std::string parent = directoryOf(dir);
  if (parent != dir) {
    long error = makeDirectories(parent);
    if (error != PLAT_OK) return error;
  }
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errorFromErrno(errno);
  return PLAT_OK;
}

static bool writeAll(int fd, const char *p, size_t left) {
  while (left) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= (size_t)n;
  }
  return true;
}

bool xdgBaseDirectory(const char *variable, const char *underHome, std::string &dir) {
  const char *value = getenv(variable);
  const char *home = getenv("HOME");
  if (value && value[0] == '/')
    dir = value;
  else if (home && home[0] == '/')
    dir = std::string(home) + underHome;
  else
    return false;
  return true;
}

long linkTarget(const std::string &path, std::string &target) {
  target = path;
  // As many links as the kernel itself follows before it gives up.
  for (int hops = 0; hops < 40; ++hops) {
    char next[PATH_MAX];
    ssize_t n = readlink(target.c_str(), next, sizeof next);
    if (n < 0) return errno == EINVAL || errno == ENOENT ? PLAT_OK : errorFromErrno(errno);
    if ((size_t)n >= sizeof next) return PLAT_ERROR_PATH_NOT_FOUND;
    if (next[0] == '/')
      target.assign(next, (size_t)n);
    else
      target = directoryOf(target) + "/" + std::string(next, (size_t)n);
  }
  return errorFromErrno(ELOOP);
}

long replaceFile(const std::string &link, const void *bytes, size_t size, mode_t mode,
                 struct stat *written) {
  std::string path;
  long error = linkTarget(link, path);
  if (error == PLAT_OK && path != link) error = makeDirectories(directoryOf(path));
  if (error != PLAT_OK) return error;
  return replaceFileAt(path, bytes, size, mode, written);
}

long replaceFileAt(const std::string &path, const void *bytes, size_t size, mode_t mode,
                   struct stat *written) {
  std::string temp = path + ".XXXXXX";
  int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) return errorFromErrno(errno);
  struct stat old;
  if (lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
  bool ok = fchmod(fd, mode) == 0 && writeAll(fd, (const char *)bytes, size) && fsync(fd) == 0;
  int saved = errno;
  if (ok && written && fstat(fd, written) != 0) ok = false, saved = errno;
  if (close(fd) != 0 && ok) ok = false, saved = errno;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, saved = errno;
  if (!ok) {
    unlink(temp.c_str());
    return errorFromErrno(saved);
  }
  // The rename must reach the disk too, or a crash could bring back the old
  // directory entry after the caller had reported success.
  int dirFd = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return PLAT_OK;
}

int lockDirectory(const std::string &dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      int saved = errno;
      close(fd);
      errno = saved;
      return -1;
    }
  }
  return fd;
}

void unlockDirectory(int fd) {
  if (fd < 0) return;
  flock(fd, LOCK_UN);
  close(fd);
}
