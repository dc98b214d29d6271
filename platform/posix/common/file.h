// File handling shared by the stand-in's INI reader, registry and desktop
// registration.  Errors are Win32 codes (error.h), as everywhere behind
// platform.h.
#ifndef ZARNOLAUNCH_POSIX_FILE_H
#define ZARNOLAUNCH_POSIX_FILE_H

#include <stddef.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// Appends the whole file to text.  False (errno set) when it cannot be
// opened or read, or is not a regular file; opening never blocks, so a FIFO
// or a device is refused rather than waited on.  info, when given, receives
// the status of what was opened (left alone when nothing could be).
bool readRegularFile(const char *path, std::string &text, struct stat *info = nullptr);
// The same for a file of someone else's that the launcher only reads and
// may pass over: text is emptied, and a file that is there but cannot be
// read goes to note ("<what> \"<path>\" cannot be read (error N); skipping
// it").  A missing file is passed over without a word.
bool readOrPassOver(const std::string &path, std::string &text, PlatNote note, const std::string &what);

bool isDirectory(const std::string &path);
bool isRegularFile(const std::string &path);
// The path with every link resolved, or the path itself when it cannot be.
std::string realPath(const std::string &path);

// The pieces of a list (PATH's folders, a file's lines), each up to the
// next separator or the end, empty ones too: what an empty piece means is
// the caller's to say.  Only what a launch never runs uses it, so it is
// made where it is used, not among the launch's own code.
inline std::vector<std::string> splitText(const std::string &text, char separator) {
  std::vector<std::string> pieces;
  for (size_t at = 0;;) {
    size_t end = text.find(separator, at);
    pieces.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return pieces;
    at = end + 1;
  }
}

// One line to note, when there is a note to write to.
inline void noteLine(PlatNote note, const std::string &line) {
  if (note) note(line.c_str());
}

// The directory part of a path: "." when there is none.
std::string directoryOf(const std::string &path);

// Makes dir and whatever parents are missing, private to the user (0700).
long makeDirectories(const std::string &dir);

// An XDG base directory: the variable when it holds an absolute path, else
// underHome ("/.config") under HOME.  A relative value is ignored, as the XDG
// base directory rules say.  False when HOME is not an absolute path either:
// nothing may then be written relative to the current folder.
bool xdgBaseDirectory(const char *variable, const char *underHome, std::string &dir);

// The file a path stands for: the target of a symlink (of a chain of them),
// whether or not that exists yet, or the path itself.  A user who keeps a
// file in a folder of dotfiles and links it into place wants the link kept
// and the dotfile written.
long linkTarget(const std::string &path, std::string &target);

// Replaces the file whole: the bytes go to a temporary file beside it, which
// is flushed to disk and renamed over it, and the rename is flushed too.  A
// crash at any point leaves the old file or the new one, never part of one.
// A symlink stays one: its target is replaced, or made with its folder.
// An existing file keeps its permissions; a new one gets mode.  written, when
// given, receives the new file's status.
long replaceFile(const std::string &path, const void *bytes, size_t size, mode_t mode,
                 struct stat *written);
// The same for path itself: a symlink there is replaced by the file.
long replaceFileAt(const std::string &path, const void *bytes, size_t size, mode_t mode,
                   struct stat *written);

// An exclusive lock on a directory, held until unlockDirectory; -1 (errno
// set) when it cannot be had.
int lockDirectory(const std::string &dir);
void unlockDirectory(int fd);

#endif
