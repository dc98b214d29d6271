// The one door to the operating system.
//
// Everything the launcher needs from the OS goes through the functions below,
// and nothing outside platform/ includes an OS header.  The build picks one
// implementation: win32/ (the narrow-character Win32 calls) or posix/ (a
// stand-in that keeps the registry in a REGEDIT4 text file, reads INI files
// the way Windows does and starts processes by the Windows command-line rules).
//
// Errors come back as values: Win32 error codes for the registry (the
// stand-in maps its own failures onto the same codes), 0/false elsewhere.
//
// The functions have C linkage: their plain names let a test build put a
// double in front of them with the linker's --wrap, without a switch of any
// kind in the program that ships.
#ifndef ZARNOLAUNCH_PLATFORM_H
#define ZARNOLAUNCH_PLATFORM_H

#include <stdarg.h>
#include <stddef.h>

// Registry roots and value types, with their Win32 values.
#define REG_ROOT_CLASSES_ROOT 0x80000000UL
#define REG_ROOT_CURRENT_USER 0x80000001UL
#define REG_ROOT_LOCAL_MACHINE 0x80000002UL
#define REG_TYPE_NONE 0UL
#define REG_TYPE_SZ 1UL
#define REG_TYPE_EXPAND_SZ 2UL
#define REG_TYPE_BINARY 3UL

// The Win32 error codes the launcher itself looks at or reports.
#define PLAT_OK 0L
#define PLAT_ERROR_FILE_NOT_FOUND 2L
#define PLAT_ERROR_PATH_NOT_FOUND 3L
#define PLAT_ERROR_ACCESS_DENIED 5L
#define PLAT_ERROR_INVALID_HANDLE 6L
#define PLAT_ERROR_OUTOFMEMORY 14L
#define PLAT_ERROR_INVALID_PARAMETER 87L
#define PLAT_ERROR_DISK_FULL 112L
#define PLAT_ERROR_ENVVAR_NOT_FOUND 203L  // a variable a path is made of is not set
#define PLAT_ERROR_MORE_DATA 234L
#define PLAT_ERROR_NO_MORE_ITEMS 259L
#define PLAT_ERROR_BADDB 1009L
#define PLAT_ERROR_REGISTRY_IO_FAILED 1016L
// Codes of the launcher's own, with the bit Win32 keeps for applications set:
// Windows never returns them.
#define PLAT_ERROR_NO_WINE 0x20000001L  // a Windows program, and no Wine to run it

extern "C" {

// The program's entry, called by the platform's start-up code with the
// argument vector it split from the command line.  Returns the exit status.
int launcherMain(int argc, char **argv);

// Compares two strings without regard to ASCII letter case, whatever the
// locale; <0, 0 or >0 like strcmp.
int platCompareNoCase(const char *a, const char *b);

// True when a file or directory of that name exists.
bool platFileExists(const char *path);
// True when a file, not a directory, of that name exists.
bool platIsFile(const char *path);
// True when the path names the running launcher itself, self.  Files are
// compared, not spellings: on Windows the same volume serial number and file
// index, or, when one of the two cannot be opened, the full long paths,
// ignoring case as Windows does; on Linux the same device and inode, or,
// when one of the two does not exist, the very same path.
bool platIsSelf(const char *path, const char *self);

// A command's text with its %NAME% references to environment variables
// replaced, as Windows expands a REG_EXPAND_SZ value; a name that is not
// set stays as it is.  A heap string (the caller frees it), or null.
char *platExpandEnvironment(const char *text);

// The program a command runs, read as Windows reads it: between the quotes
// when the command begins with one (an unclosed quote runs to the end);
// unquoted, every text up to a blank is a candidate, shortest first, and so
// is the whole command ("C:\Other Tools\other.exe %1" offers "C:\Other",
// "C:\Other Tools\other.exe" and the whole line).  A name without an
// extension also stands for itself with ".exe", as CreateProcess reads it.
// The first name that exists() accepts is the program: it goes to buf (size
// bytes) and the result is true.  When none is accepted the result is false
// and buf holds the quoted path, or the whole command.
typedef bool (*PlatExists)(const char *path, void *context);
bool platCommandProgram(const char *command, PlatExists exists, void *context, char *buf,
                        unsigned long size);

// Whose is a registration that runs command: the shell's open command of
// the file type, or the program a desktop entry names.  The program is read
// by platCommandProgram, among existing files.  PLAT_OWNER_SELF when it is
// this launcher (self), PLAT_OWNER_GONE when there is no such file,
// PLAT_OWNER_OTHER otherwise: another program's, to be left alone.
#define PLAT_OWNER_SELF 0
#define PLAT_OWNER_GONE 1
#define PLAT_OWNER_OTHER 2
int platCommandOwner(const char *command, const char *self);

// Marks an English text that players read, so that the build finds it and
// its translations (resources/po/) cover it; it stays the text itself.
#define N_(text) text

// The text a player reads in their language: the translation of english
// (one of the texts marked N_, a printf format as the case may be) into the
// first of the player's languages that has one, or english itself.
const char *platText(const char *english);
// The same for a text that holds a count n, as gettext's ngettext: the
// English singular (for 1) and plural, both printf formats with the count,
// become the form that the player's language takes for n.  The build finds
// the texts by this function's name.
const char *platCountText(const char *singular, const char *plural, unsigned long n);
// True when the player reads a translation, not English.
bool platTranslating(void);
// Formats an English text (marked N_, a printf format) with its arguments
// twice: in English into english, for the log; in the player's language
// into shown, for the player, followed by next (another such text, what to
// do) as a paragraph of its own when it is not null.  Both are terminated,
// and cut to fit.
void platFormatTexts(char *english, unsigned long englishSize, char *shown, unsigned long shownSize,
                     const char *next, const char *format, va_list args);
// The player's languages, most wanted first: the one at index (0, 1, ...)
// as a code with an optional region ("pt_BR", "de"), into buf.  False past
// the last.  On Windows, the display language; on Linux, gettext's order of
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG.  None for English, C or POSIX.
bool platLanguage(int index, char *buf, unsigned long size);

// Shows a message box (no owner window) and returns once it is dismissed.
void platMessageBox(const char *text, const char *title, unsigned style);

// Reads one value of an INI file into buf (always terminated, cut to fit);
// a missing file, section or key gives def.  Returns the length copied.
unsigned long platIniRead(const char *section, const char *key, const char *def,
                          char *buf, unsigned long size, const char *path);

// Fills buf with the full path of the running executable.  False on failure.
bool platModulePath(char *buf, unsigned long size);

// Where the launcher that "-install" registers lies, for the running one,
// self: PLAT_COPY_NONE, self itself; PLAT_COPY_TO, a copy of self at buf,
// which "-install" makes (platCopyLauncher) and registers, and "-uninstall"
// unregisters and removes; PLAT_COPY_IS, self itself, being that copy, which
// "-uninstall" removes.  On Linux the copy is ~/.local/bin/zarnolaunch,
// standing for a launcher in a folder that is plainly temporary (under /tmp,
// /var/tmp or $TMPDIR, or in the download folder that the player's
// user-dirs.dirs names): a reboot or a tidy-up takes that one away, and with
// it every link the registration sends to it.  Windows: PLAT_COPY_NONE, as
// the setup chooses the launcher's folder there.
#define PLAT_COPY_NONE 0
#define PLAT_COPY_TO 1
#define PLAT_COPY_IS 2
int platLauncherCopy(const char *self, char *buf, unsigned long size);
// Copies the launcher self to path, executable, making its folder when
// missing; what was at path is replaced in one step.  PLAT_OK or an error.
long platCopyLauncher(const char *self, const char *path);
// Removes a file: PLAT_OK, PLAT_ERROR_FILE_NOT_FOUND when there is none, or
// another error.
long platRemoveFile(const char *path);

// After a successful "-install" of the launcher at self: what the player
// should know about it, as an English sentence marked N_ (shown in the
// player's language by platText), or null when nothing.  copied: self is
// the copy just made of a launcher in a temporary folder (platLauncherCopy),
// which the sentence then says.  On Linux, also a launcher that the system's
// own desktop entry names (a distribution's package): "-install" found the
// game, and wrote no registration of the user's (platDesktopInstall).
const char *platInstallAdvice(const char *self, bool copied);

// Started with nothing to open: whether to register the launcher at self as
// if "-install" were given.  On Linux, started from a file manager (no
// terminal to read a usage text on) while the launcher is not the user's
// handler of server links, the player is asked in a dialog: PLAT_OFFER_TAKEN
// or PLAT_OFFER_DECLINED.  PLAT_OFFER_NOT_MADE when nothing was asked (the
// usage text is for such a run), and always on Windows.
#define PLAT_OFFER_NOT_MADE 0
#define PLAT_OFFER_TAKEN 1
#define PLAT_OFFER_DECLINED 2
int platOfferInstall(const char *self);
// The usage text, marked N_: how the launcher reports, in its system's words.
const char *platUsage(void);

// The desktop's side of "-install" and "-uninstall", run after the registry's.
// On Windows it tells the shell that file associations changed; on a Linux
// desktop it writes or removes the freedesktop MIME type, desktop entry and
// default handler, the user's own (for every user, a system's package has
// them: a launcher that its desktop entry names writes none for the user,
// and removes the one an older version wrote).  self is the launcher's full path.  Lines worth a place in
// the log go to note; each file or key that could not be written or removed
// goes to failed, with its error code, and the work goes on past it.
typedef void (*PlatNote)(const char *line);
typedef void (*PlatFailure)(long error, const char *what);
void platDesktopInstall(const char *self, PlatNote note, PlatFailure failed);
void platDesktopUninstall(const char *self, PlatNote note, PlatFailure failed);

// Starts the game and does not wait for it: program with argument as its one
// argument.  commandLine is the same composed for Windows ("\"program\"
// argument", writable), which the Windows backend hands to CreateProcessA as
// it is; elsewhere program itself is started, whatever bytes its path holds.
// prefix and command, when not null, are what platFindWineGame said of a game
// under Wine, as the launcher stored them: the Wine prefix to start it in,
// and the command a game manager starts it with.  Lines worth a place in the
// log go to note.  Returns PLAT_OK or an error code; PLAT_ERROR_NO_WINE when
// program is a Windows program that needs Wine and none was found.
long platStartGame(const char *program, const char *argument, char *commandLine, const char *prefix,
                   const char *command, PlatNote note);

// The game installed under Wine, for a Linux launcher whose own registry
// names none: the game's open command (HKEY_CLASSES_ROOT\key) is looked for
// in the Wine prefixes of this machine, and a prefix holds the game when the
// program that command names exists there.  preferred, when not null, is
// the prefix chosen before (looked for again because something changed):
// when it still holds the game it is chosen again.  The prefixes' files
// are only read; one that is damaged or unreadable goes to note and is
// passed over.  The result says how the search ended; what it found, or
// why not, is in game, as heap strings that platFreeWineGame frees.
// Windows has no prefixes: PLAT_GAME_NO_COMMAND, and nothing in game.
#define PLAT_GAME_FOUND 0
#define PLAT_GAME_NO_COMMAND 1  // no prefix holds the game's open command
#define PLAT_GAME_NO_PROGRAM 2  // some do, but the program it names is in none
#define PLAT_GAME_REFUSED 3     // only where its manager cannot pass an address
typedef struct PlatWineGame {
  char *path;     // the Linux path of the game's program
  char *prefix;   // the prefix it was found in
  char *manager;  // the game manager that keeps that prefix, or null
  char *command;  // how the manager starts it (for platStartGame), or null
  // The manager's files the command came from (its records, the tools'
  // manifests, the programs it runs), each with when it last changed, for
  // platCheckStoredGame; or null.
  char *record;
  // Refused: why the game cannot be started there, in English for the log.
  char *why;
  // For the player, in their language: where the launcher looked (not
  // found), or why the game cannot be started and what to do (refused).
  char *whyShown;
} PlatWineGame;
int platFindWineGame(const char *key, const char *preferred, PlatWineGame *game, PlatNote note);
void platFreeWineGame(PlatWineGame *game);

// Whether what platFindWineGame found, as an earlier run stored it (prefix,
// and command and record or null), still holds: the prefix is still a
// prefix, the programs the command runs are still there, and none of the
// files it came from has changed, come or gone since (a stat each; nothing
// is read).  PLAT_STORED_GOOD; else why, in English for the log, goes to
// buf.
#define PLAT_STORED_GOOD 0
#define PLAT_STORED_GONE 1     // the prefix, or a program or file of the manager's, is gone
#define PLAT_STORED_CHANGED 2  // a file of the manager's changed: it may start the game otherwise now
int platCheckStoredGame(const char *prefix, const char *command, const char *record, char *buf,
                        unsigned long size);

// After a registry call failed with PLAT_ERROR_BADDB: why the registry as a
// whole cannot be used (which file, which line), as a sentence in English
// for the log, in buf; shown, the same for the player, in their language
// and with what to do.  False when there is nothing more to say than the
// code, as on Windows, whose registry reports damage by the code alone.
bool platRegistryProblem(char *buf, unsigned long size, char *shown, unsigned long shownSize);

// Registry primitives.  A key handle lives only from an open or create to the
// matching close, inside one call of the registry code.
typedef struct PlatKey *PlatKeyHandle;
long platRegOpenKey(unsigned long root, const char *path, PlatKeyHandle *key);
long platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key);
// With data null, only *size is set.  *size is the buffer's size on entry and
// the value's size on return; too small a buffer gives PLAT_ERROR_MORE_DATA.
long platRegQueryValue(PlatKeyHandle key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size);
long platRegSetValue(PlatKeyHandle key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size);
void platRegCloseKey(PlatKeyHandle key);
// The name of the subkey at index 0, 1, ... of an open key, into name (size
// bytes, terminated); PLAT_ERROR_NO_MORE_ITEMS past the last one.
long platRegEnumKey(PlatKeyHandle key, unsigned long index, char *name, unsigned long size);
// How many subkeys and values an open key holds.
long platRegCountEntries(PlatKeyHandle key, unsigned long *subkeys, unsigned long *values);
// Deletes a key that has no subkeys; one that has is refused with
// PLAT_ERROR_ACCESS_DENIED, as Windows does.  A missing key gives
// PLAT_ERROR_FILE_NOT_FOUND.
long platRegDeleteKey(unsigned long root, const char *path);
// Deletes one value of a key (name null: its default value).
long platRegDeleteValue(unsigned long root, const char *path, const char *name);

}  // extern "C"

#endif
