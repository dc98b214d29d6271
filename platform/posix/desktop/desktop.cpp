// The Linux desktop's side of "-install" and "-uninstall": the freedesktop
// registration of the file type and the "zarnolaunch:" URL scheme, for the
// current user only, so that no root is needed:
//
//   $XDG_DATA_HOME/mime/packages/zarnolaunch.xml   application/zarnolaunch, *.zarnok
//   $XDG_DATA_HOME/applications/zarnolaunch.desktop   the desktop entry
//   $XDG_DATA_HOME/icons/hicolor/<n>x<n>/apps/zarnolaunch.png   16 to 256
//   $XDG_DATA_HOME/icons/hicolor/scalable/apps/zarnolaunch.svg
//   $XDG_DATA_HOME/zarnolaunch/zarnolaunch   a symlink to the launcher, only
//                                            when its own path needs quoting
//   $XDG_CONFIG_HOME/mimeapps.list   [Default Applications] for both types
//
// (XDG_DATA_HOME defaults to ~/.local/share, XDG_CONFIG_HOME to ~/.config; a
// relative value counts as unset, as the base directory rules say.)
// After writing, update-mime-database and update-desktop-database bring the
// desktop's caches up to date.  Every file is written to a temporary file
// beside it and renamed into place, so a crash leaves the old file or the new
// one, never part of one: mimeapps.list holds other programs' settings too.
// Launchers of ours serialise on a lock of $XDG_CONFIG_HOME, so that an
// "-install" and an "-uninstall" at once cannot mix their edits.
//
// The symlink: Debian 12's xdg-open (xdg-utils 1.1.3) splits Exec at blanks
// and runs the first word through `which`, so it cannot run a quoted program
// such as "/home/me/My Games/zarnolaunch", however correctly quoted.  A
// launcher under such a path is named in Exec through a symlink under
// $XDG_DATA_HOME, whose path needs no quoting, and every opener runs it.
// Only when that path needs quoting too does Exec quote the launcher's own
// path, by the desktop entry quoting rules; gio and other GLib openers run
// it (unless it holds a "%"), and the log says that xdg-open cannot.
//
// "-uninstall" removes what "-install" wrote, and from mimeapps.list only
// our desktop file's name.  Like the registry's file type, the desktop entry
// may be another copy's: when its TryExec (or, lacking one, its Exec) names
// another launcher that exists, everything is left to that copy and a line
// is logged.  Ownership is judged as for the registry (platCommandOwner): the
// files are compared, not the spellings of their paths.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "platform/posix/desktop/desktop.h"
#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"
#include "platform/posix/common/process.h"
#include "platform/posix/desktop/dialog.h"

namespace {

// resources/zarnolaunch-mime.xml, which the Debian package installs as it is.
const char mimePackageText[] =
#include "generated/zarnolaunch-mime.xml.inc"
    ;

// Where icons go under a data folder: the theme every icon theme inherits.
const char iconThemeFolder[] = "icons/hicolor";
// The one a window shows, in the size that window lists use.
const char windowIcon[] = "48x48/apps/zarnolaunch.png";

struct Places {
  std::string configHome, mimeDir, mimePackage, applicationsDir, desktopEntry, iconTheme, linkDir,
      link, mimeapps;
};

// Hands a failed step to the launcher, which keeps the first of a run.
void fail(PlatFailure failed, long error, const std::string &what) {
  if (error != PLAT_OK && failed) failed(error, what.c_str());
}

// False, with the failure kept, when there is no home to register in: the
// folder that could not be made is named as the variables would make it, so
// that the message says which variable is missing.
bool findPlaces(Places &p, PlatFailure failed) {
  std::string data;
  if (!xdgBaseDirectory("XDG_DATA_HOME", "/.local/share", data)) {
    fail(failed, PLAT_ERROR_ENVVAR_NOT_FOUND, "$HOME/.local/share");
    return false;
  }
  if (!xdgBaseDirectory("XDG_CONFIG_HOME", "/.config", p.configHome)) {
    fail(failed, PLAT_ERROR_ENVVAR_NOT_FOUND, "$HOME/.config");
    return false;
  }
  p.mimeDir = data + "/mime";
  p.mimePackage = p.mimeDir + "/packages/zarnolaunch.xml";
  p.applicationsDir = data + "/applications";
  p.desktopEntry = p.applicationsDir + "/" + desktopFileId;
  p.iconTheme = data + "/" + iconThemeFolder;
  p.linkDir = data + "/zarnolaunch";
  p.link = p.linkDir + "/zarnolaunch";
  p.mimeapps = p.configHome + "/mimeapps.list";
  return true;
}

// New directories are private (0700), as freedesktop's base directory rules
// ask of the ones they name; new files get 0644.
long writeFileAtomically(const std::string &path, const void *bytes, size_t size) {
  long error = makeDirectories(directoryOf(path));
  if (error != PLAT_OK) return error;
  return replaceFile(path, bytes, size, 0644, nullptr);
}

long writeFileAtomically(const std::string &path, const std::string &text) {
  return writeFileAtomically(path, text.data(), text.size());
}

// Removing what is not there is no failure, nor is a path that runs through
// a file: nothing of ours can be under it.
long removeFile(const std::string &path, bool *removed = nullptr) {
  if (unlink(path.c_str()) == 0) {
    if (removed) *removed = true;
    return PLAT_OK;
  }
  return errno == ENOENT || errno == ENOTDIR ? PLAT_OK : errorFromErrno(errno);
}

// Runs one of the desktop's database tools on a folder and waits for it.  It
// gets no descriptor of ours but standard input and output on /dev/null and
// its standard error on a pipe, whose first line goes into the note when it
// fails.  The files are in place either way, and the desktop's own run of
// the tool picks them up: a missing or failing tool is noted, no error.
void runTool(const char *tool, const std::string &dir, PlatNote note) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    noteLine(note, std::string(tool) + " could not be started: " + strerror(errno) + ".");
    return;
  }
  StartOptions options;
  options.searchPath = true;
  options.quietInput = options.quietOutput = true;
  options.errorFd = pipeFds[1];
  pid_t pid;
  int error = startProgram({tool, dir}, options, &pid);
  close(pipeFds[1]);
  if (error != 0) {
    close(pipeFds[0]);
    noteLine(note, std::string(tool) + " could not be started (" + strerror(error) +
                       "); the desktop's files are written and take effect when it next runs.");
    return;
  }
  std::string output;
  char chunk[4096];
  for (;;) {
    ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (output.size() < 4096) output.append(chunk, (size_t)n);
  }
  close(pipeFds[0]);
  int status = 0;
  if (waitProgram(pid, &status)) return;
  std::string how = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                        : "exit status " + std::to_string(WEXITSTATUS(status));
  std::string first = output.substr(0, output.find('\n'));
  noteLine(note, std::string(tool) + " \"" + dir + "\" failed (" + how + ")" +
                     (first.empty() ? "." : ": " + first));
}

// The program an entry runs: its TryExec, or lacking one its Exec's.
std::string entryOwner(const std::string &entry) {
  std::string owner = desktopEntryValue(entry, "TryExec");
  return owner.empty() ? desktopExecProgram(desktopEntryValue(entry, "Exec")) : owner;
}

// The data folders of the system, in the base directory rules' order:
// $XDG_DATA_DIRS or its default; a relative folder in it is ignored.
std::vector<std::string> systemDataFolders() {
  const char *dirs = getenv("XDG_DATA_DIRS");
  std::vector<std::string> folders;
  for (std::string folder : splitText(dirs && dirs[0] ? dirs : "/usr/local/share:/usr/share", ':')) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folder.empty() && folder[0] == '/') folders.push_back(folder);
  }
  return folders;
}

// Whether an entry's or a link's owner may be removed: it is this launcher,
// or a program that is gone.  The registry's rule (platCommandOwner), for a
// path rather than a command: quoted, so that a path with a blank is one
// candidate, not "/home/me/My" and the rest.
bool removableOwner(const std::string &owner, const char *self) {
  return platCommandOwner(("\"" + owner + "\"").c_str(), self) != PLAT_OWNER_OTHER;
}

// Points the link at self.  A new link is made beside it and renamed into
// place, so there is always one.
long placeLink(const std::string &link, const char *self) {
  long error = makeDirectories(directoryOf(link));
  if (error != PLAT_OK) return error;
  std::string temp = link + "." + std::to_string(getpid());
  unlink(temp.c_str());  // left by a crashed run of the same number
  if (symlink(self, temp.c_str()) != 0) return errorFromErrno(errno);
  if (rename(temp.c_str(), link.c_str()) != 0) {
    int saved = errno;
    unlink(temp.c_str());
    return errorFromErrno(saved);
  }
  return PLAT_OK;
}

// Our link goes when it points at this launcher or at nothing.
long removeLink(const Places &p, const char *self) {
  struct stat st;
  if (lstat(p.link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return PLAT_OK;
  char target[4096];
  ssize_t n = readlink(p.link.c_str(), target, sizeof target);
  if (n <= 0 || (size_t)n >= sizeof target) return PLAT_OK;
  if (!removableOwner(std::string(target, (size_t)n), self)) return PLAT_OK;
  long error = removeFile(p.link);
  rmdir(p.linkDir.c_str());  // only if nothing else is in it
  return error;
}

// Reads mimeapps.list, edits it, and replaces it if that changed anything.
// A mimeapps.list that is a symlink (into a repository of dotfiles, say)
// stays one: the file it points to is replaced, or made if it is not there
// yet.  An edit that leaves nothing removes the file, unless it is reached
// through such a link.
template <typename Edit>
long editMimeapps(const std::string &path, Edit edit) {
  std::string file;
  long error = linkTarget(path, file);
  if (error != PLAT_OK) return error;
  bool linked = file != path;
  std::string text;
  if (!readRegularFile(file.c_str(), text)) {
    if (errno == EINVAL) return PLAT_ERROR_ACCESS_DENIED;  // a directory, say
    if (errno != ENOENT && errno != ENOTDIR) return errorFromErrno(errno);
    text.clear();
  }
  std::string edited = edit(text);
  if (edited == text) return PLAT_OK;
  if (edited.empty() && !linked) return removeFile(path);
  return writeFileAtomically(path, edited);  // through the link, if it is one
}

}  // namespace

void platDesktopInstall(const char *self, PlatNote note, PlatFailure failed) {
  // A launcher of the system's package is the handler of every user already;
  // an entry of the user's would only outlive the package, and send that
  // user's links to nothing once it is removed.  One an older version wrote
  // goes.
  std::string system = desktopSystemEntry(self);
  if (!system.empty()) {
    noteLine(note, "The system's desktop entry \"" + system + "\" names this launcher: the user's own "
                   "registration with the desktop is not written.");
    platDesktopUninstall(self, note, failed);
    return;
  }
  Places p;
  if (!findPlaces(p, failed)) return;
  int lock = makeDirectories(p.configHome) == PLAT_OK ? lockDirectory(p.configHome) : -1;

  long error = writeFileAtomically(p.mimePackage, std::string(mimePackageText));
  fail(failed, error, p.mimePackage);
  if (error == PLAT_OK) runTool("update-mime-database", p.mimeDir, note);

  for (size_t i = 0; i < desktopIconFileCount; i++) {
    const DesktopIconFile &icon = desktopIconFiles[i];
    std::string path = p.iconTheme + "/" + icon.path;
    fail(failed, writeFileAtomically(path, icon.bytes, icon.size), path);
  }

  std::string program = self;
  if (!desktopPlainPath(self)) {
    if (desktopPlainPath(p.link)) {
      error = placeLink(p.link, self);
      fail(failed, error, p.link);
      if (error == PLAT_OK) program = p.link;
    } else {
      // GLib (2.74) looks for the program before it undoes "%%", so a "%"
      // in the path defeats it too.
      std::string who = strchr(self, '%') ? "neither xdg-open nor gio can run it"
                                          : "xdg-open of xdg-utils 1.1.3 cannot run it, gio can";
      noteLine(note, "The desktop entry has to quote the launcher's path \"" + std::string(self) +
                         "\" in Exec; " + who + ".");
    }
  }
  error = writeFileAtomically(p.desktopEntry, desktopEntryText(self, program));
  fail(failed, error, p.desktopEntry);
  // The default handler is set only once there is an entry to name.
  if (error == PLAT_OK) {
    runTool("update-desktop-database", p.applicationsDir, note);
    fail(failed, editMimeapps(p.mimeapps, [](const std::string &text) {
           return mimeappsSetDefaults(text, desktopFileId, desktopTypes());
         }), p.mimeapps);
  }

  unlockDirectory(lock);
}

void platDesktopUninstall(const char *self, PlatNote note, PlatFailure failed) {
  Places p;
  if (!findPlaces(p, failed)) return;
  int lock = lockDirectory(p.configHome);

  std::string entry;
  if (readRegularFile(p.desktopEntry.c_str(), entry)) {
    std::string owner = entryOwner(entry);
    if (!removableOwner(owner, self)) {
      noteLine(note, "Another copy of ZarnoLaunch is registered with the desktop; leaving it: \"" +
                         owner + "\" (" + p.desktopEntry + ")");
      unlockDirectory(lock);
      return;
    }
  }

  bool removed = false;
  fail(failed, removeFile(p.desktopEntry, &removed), p.desktopEntry);
  if (removed) runTool("update-desktop-database", p.applicationsDir, note);
  fail(failed, removeLink(p, self), p.link);
  for (size_t i = 0; i < desktopIconFileCount; i++) {
    std::string path = p.iconTheme + "/" + desktopIconFiles[i].path;
    fail(failed, removeFile(path), path);
  }
  removed = false;
  fail(failed, removeFile(p.mimePackage, &removed), p.mimePackage);
  if (removed) runTool("update-mime-database", p.mimeDir, note);
  fail(failed, editMimeapps(p.mimeapps, [](const std::string &text) {
         return mimeappsRemove(text, desktopFileId);
       }), p.mimeapps);

  unlockDirectory(lock);
}

std::string desktopSystemEntry(const char *self) {
  for (const std::string &folder : systemDataFolders()) {
    std::string path = folder + "/applications/" + desktopFileId, entry;
    if (!readRegularFile(path.c_str(), entry)) continue;
    // The first one found is the one the desktop reads.
    std::string program = programPath(entryOwner(entry));
    return !program.empty() && platIsSelf(program.c_str(), self) ? path : "";
  }
  return "";
}

int platOfferInstall(const char *self) {
  // A terminal to read the usage text on: started by someone at a shell.
  if (isatty(STDIN_FILENO) || isatty(STDOUT_FILENO) || isatty(STDERR_FILENO)) return PLAT_OFFER_NOT_MADE;
  if (!desktopSystemEntry(self).empty()) return PLAT_OFFER_NOT_MADE;
  // The user's handler already, or that of the copy it stands for.
  char copy[4096];
  std::string registered = self;
  if (platLauncherCopy(self, copy, sizeof copy) == PLAT_COPY_TO) registered = copy;
  Places p;
  std::string entry;
  if (findPlaces(p, nullptr) && readRegularFile(p.desktopEntry.c_str(), entry)) {
    std::string owner = entryOwner(entry);
    if (!owner.empty() && platIsSelf(owner.c_str(), registered.c_str())) return PLAT_OFFER_NOT_MADE;
  }
  int answer = askDialog(platText(N_("ZarnoLaunch opens the links to Zarnok servers that web pages and "
                                     "server link files (.zarnok) hold, and starts Zarnok on that server.\n\n"
                                     "Set it up now to open them for you?")),
                         "ZarnoLaunch", platText(N_("Set up")), platText(N_("Cancel")));
  // No dialog to ask in is no answer: the usage text goes where it can.
  return answer < 0 ? PLAT_OFFER_NOT_MADE : answer ? PLAT_OFFER_TAKEN : PLAT_OFFER_DECLINED;
}

std::string desktopInstalledIcon() {
  // The base directory rules: XDG_DATA_HOME first, then XDG_DATA_DIRS or its
  // default; a relative folder in either is ignored.
  std::vector<std::string> folders = systemDataFolders();
  std::string home;
  if (xdgBaseDirectory("XDG_DATA_HOME", "/.local/share", home)) {
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    folders.insert(folders.begin(), home);
  }
  for (const std::string &folder : folders) {
    std::string icon = folder + "/" + iconThemeFolder + "/" + windowIcon;
    struct stat st;
    if (stat(icon.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return icon;
  }
  return "";
}
