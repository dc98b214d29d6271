// The text side of the freedesktop registration (desktop_text.cpp): the
// desktop entry, its Exec line, and the edits of mimeapps.list.  No file is
// touched here; desktop.cpp reads and writes the files.
#ifndef ZARNOLAUNCH_POSIX_DESKTOP_H
#define ZARNOLAUNCH_POSIX_DESKTOP_H

#include <stddef.h>

#include <string>
#include <vector>

// The desktop entry's file name, which is also its desktop file ID in
// mimeapps.list, and the types it handles.
extern const char desktopFileId[];                  // "zarnolaunch.desktop"
std::vector<std::string> desktopTypes();  // file type, then URL scheme

// The icon in every size, compiled in by the build from resources/hicolor
// (drawn by resources/make-icon.py): each file's path in an icon theme
// ("48x48/apps/zarnolaunch.png", "scalable/apps/zarnolaunch.svg") and its
// bytes.  "-install" writes them all into the user's hicolor theme.
struct DesktopIconFile {
  const char *path;
  const unsigned char *bytes;
  size_t size;
};
extern const DesktopIconFile desktopIconFiles[];
extern const size_t desktopIconFileCount;

// The icon for a window of ours (desktop.cpp): the 48-pixel PNG that
// "-install" wrote under $XDG_DATA_HOME, or else the one that the package
// installed under a folder of $XDG_DATA_DIRS; the first that is a file.
// Empty when there is none.
std::string desktopInstalledIcon();

// The system's desktop entry of ZarnoLaunch (a distribution's package put
// it in applications/ of a folder of $XDG_DATA_DIRS), when the program it
// names, found on the PATH as the desktop finds it, is the launcher self:
// the file is compared, not the spelling.  Empty when there is none, or
// when the one the desktop reads names another program.
std::string desktopSystemEntry(const char *self);

// True when a path can stand in an Exec line as it is: nothing a desktop
// entry must quote or escape, and nothing a shell would split or expand, so
// that launchers that cut the line at blanks (xdg-open) run it too.
bool desktopPlainPath(const std::string &path);

// A string value as a desktop entry stores it ("\\", "\n", "\t", "\r", and a
// blank at either end as "\s"), and back.  Unescaping keeps an unknown
// escape as it stands.
std::string desktopEscapeString(const std::string &value);
std::string desktopUnescapeString(const std::string &value);

// One Exec argument by the freedesktop desktop entry rules: in double
// quotes when it holds a reserved character, with '"', '`', '$' and '\'
// escaped inside the quotes; "%" doubled either way.  The result still needs
// desktopEscapeString to go into the file.
std::string desktopExecArgument(const std::string &arg);
// The program of an Exec value (already unescaped as a string): its first
// argument with the quoting undone.
std::string desktopExecProgram(const std::string &exec);

// The whole desktop entry: program is what Exec runs, self the launcher
// itself (TryExec, and the owner "-uninstall" looks for).
std::string desktopEntryText(const std::string &self, const std::string &program);
// A key's value in the [Desktop Entry] group, unescaped; empty if absent.
std::string desktopEntryValue(const std::string &text, const char *key);

// mimeapps.list: makes desktopId the default of each type in [Default
// Applications], right under the group's first header, and drops every
// other default of those types there.  All other lines stay as they were.
std::string mimeappsSetDefaults(const std::string &text, const std::string &desktopId,
                                const std::vector<std::string> &types);
// Takes desktopId out of every list in [Default Applications] and [Added
// Associations]; a line left with no desktop file goes, and so does a group
// left with nothing but blank lines.  All other lines stay as they were.
std::string mimeappsRemove(const std::string &text, const std::string &desktopId);

#endif
