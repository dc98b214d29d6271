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

#include <stddef.h>

// Registry roots and value types, with their Win32 values.
#define REG_ROOT_CLASSES_ROOT 0x80000000UL
#define REG_ROOT_CURRENT_USER 0x80000001UL
#define REG_TYPE_SZ 1UL
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
// True when the path names the running launcher itself: the same name,
// compared as the system compares file names, or (on Linux) the same file
// reached another way, through a link.
bool platIsSelf(const char *path, const char *self);

// Whose is a registration that runs command: the shell's open command of
// the file type, or the program a desktop entry names.  The program is read
// as Windows reads it: between the quotes when the command begins with one;
// unquoted, every text up to a blank is a candidate, shortest first, and so
// is the whole command ("C:\Other Tools\other.exe %1" offers "C:\Other",
// "C:\Other Tools\other.exe" and the whole line).  PLAT_OWNER_SELF when
// the program or a candidate is this launcher (self), PLAT_OWNER_GONE when
// no candidate exists as a file, PLAT_OWNER_OTHER otherwise: another
// program's, to be left alone.
#define PLAT_OWNER_SELF 0
#define PLAT_OWNER_GONE 1
#define PLAT_OWNER_OTHER 2
int platCommandOwner(const char *command, const char *self);

// Shows a message box (no owner window) and returns once it is dismissed.
void platMessageBox(const char *text, const char *title, unsigned style);

// Reads one value of an INI file into buf (always terminated, cut to fit);
// a missing file, section or key gives def.  Returns the length copied.
unsigned long platIniRead(const char *section, const char *key, const char *def,
                          char *buf, unsigned long size, const char *path);

// Fills buf with the full path of the running executable.  False on failure.
bool platModulePath(char *buf, unsigned long size);

// The desktop's side of "-install" and "-uninstall", run after the registry's.
// On Windows it tells the shell that file associations changed; on a Linux
// desktop it writes or removes the freedesktop MIME type, desktop entry and
// default handler.  self is the launcher's full path.  Lines worth a place in
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
// Lines worth a place in the log go to note.  Returns PLAT_OK or an error
// code; PLAT_ERROR_NO_WINE when program is a Windows program that needs Wine
// and none was found.
long platStartGame(const char *program, const char *argument, char *commandLine, PlatNote note);

// The game installed with Wine, for a Linux launcher whose own registry names
// none.  platWineClassesString reads the default value of
// HKEY_CLASSES_ROOT\key as the player's Wine prefix holds it ($WINEPREFIX,
// else ~/.wine): a heap string (the caller frees it) with the prefix's folder
// in prefix (size bytes), or null.  The prefix's files are only read; one
// that is damaged or unreadable goes to note and reads as empty.
// platWinePath gives the file that a Windows path of that prefix names, in
// buf (size bytes): false when there is none or it does not fit.  Windows
// has no prefix: null and false.
char *platWineClassesString(const char *key, char *prefix, unsigned long size, PlatNote note);
bool platWinePath(const char *prefix, const char *windowsPath, char *buf, unsigned long size);

// After a registry call failed with PLAT_ERROR_BADDB: why the registry as a
// whole cannot be used (which file, which line), as a sentence for the user,
// in buf.  False when there is nothing more to say than the code, as on
// Windows, whose registry reports damage by the code alone.
bool platRegistryProblem(char *buf, unsigned long size);

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
