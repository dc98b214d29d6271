// Win32: the narrow-character calls, used as the launcher has always used
// them.  No C++ runtime beyond what the C library offers is needed here, which
// keeps the statically linked executable small.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"

// A Win32 HKEY stands behind every handle.
static HKEY toHkey(PlatKeyHandle key) { return (HKEY)key; }

bool platFileExists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool platIsFile(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The full long path of a file (relative parts and 8.3 short names spelled
// out, as the file system knows it), or the full path of one that does not
// exist: a heap string, or null.
static char *longPath(const char *path) {
  DWORD needed = GetFullPathNameA(path, 0, NULL, NULL);
  if (needed == 0) return NULL;
  char *full = (char *)malloc(needed);
  if (!full) return NULL;
  DWORD n = GetFullPathNameA(path, needed, full, NULL);
  if (n == 0 || n >= needed) {
    free(full);
    return NULL;
  }
  DWORD longNeeded = GetLongPathNameA(full, NULL, 0);
  if (longNeeded == 0) return full;
  char *spelled = (char *)malloc(longNeeded);
  if (spelled) {
    n = GetLongPathNameA(full, spelled, longNeeded);
    if (n > 0 && n < longNeeded) {
      free(full);
      return spelled;
    }
    free(spelled);
  }
  return full;
}

// The file's identity, as Linux has device and inode: its volume's serial
// number and its index on that volume.  However the file is reached (a
// junction or a symbolic link on the way, as Scoop's "current" folder is, an
// 8.3 short name, other letter case, "..\" parts), the identity is the same.
// No access is asked for, so a running program's file opens too; the backup
// flag opens a folder.  False when the file cannot be opened.
static bool fileIdentity(const char *path, BY_HANDLE_FILE_INFORMATION *info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return ok != FALSE;
}

// Files that both exist are compared by identity.  A name that cannot be
// opened (a program since deleted) is compared by its full long path,
// without regard to case, as Windows compares file names.
bool platIsSelf(const char *path, const char *self) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (fileIdentity(path, &a) && fileIdentity(self, &b))
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
  char *x = longPath(path);
  char *y = longPath(self);
  bool same = x && y ? platCompareNoCase(x, y) == 0 : platCompareNoCase(path, self) == 0;
  free(x);
  free(y);
  return same;
}

char *platExpandEnvironment(const char *text) {
  DWORD needed = ExpandEnvironmentStringsA(text, NULL, 0);
  if (needed == 0) return NULL;
  char *expanded = (char *)malloc(needed);
  if (!expanded) return NULL;
  DWORD n = ExpandEnvironmentStringsA(text, expanded, needed);
  if (n == 0 || n > needed) {
    free(expanded);
    return NULL;
  }
  return expanded;
}

// USER32 is loaded for the first message box, not at start-up: a launch
// shows none, and under Wine loading USER32 cost a launch more time than
// all of its own work.  If it cannot be loaded the box is not shown; the
// message is in the log already, and the run ends as it would have.
void platMessageBox(const char *text, const char *title, unsigned style) {
  typedef int(WINAPI * MessageBoxFn)(HWND, LPCSTR, LPCSTR, UINT);
  static MessageBoxFn messageBox;
  if (!messageBox) {
    HMODULE user = LoadLibraryA("user32.dll");
    if (user) messageBox = (MessageBoxFn)(void (*)(void))GetProcAddress(user, "MessageBoxA");
  }
  if (messageBox) messageBox(NULL, text, title, style);
}

// The display language, as GetUserDefaultUILanguage gives it (Windows 2000
// and later, so XP too): its primary language and, for the two languages
// whose translation is for one region, the region.  Names come from a table:
// LCIDToLocaleName came with Vista.
bool platLanguage(int index, char *buf, unsigned long size) {
  static const struct {
    unsigned short primary;
    const char *code;
  } names[] = {{0x04, "zh"}, {0x19, "ru"}, {0x0a, "es"}, {0x16, "pt"}, {0x07, "de"}, {0x11, "ja"},
               {0x0c, "fr"}, {0x15, "pl"}, {0x12, "ko"}, {0x1f, "tr"}, {0x09, "en"}};
  if (index != 0 || size < 8) return false;
  LANGID language = GetUserDefaultUILanguage();
  for (const auto &name : names) {
    if (PRIMARYLANGID(language) != name.primary) continue;
    const char *region = "";
    unsigned short sub = SUBLANGID(language);
    if (name.primary == 0x16) region = sub == 0x01 ? "_BR" : sub == 0x02 ? "_PT" : "";
    if (name.primary == 0x04)
      region = sub == 0x02   ? "_CN"
               : sub == 0x04 ? "_SG"
               : sub == 0x01 ? "_TW"
               : sub == 0x03 ? "_HK"
               : sub == 0x05 ? "_MO"
                             : "";
    lstrcpynA(buf, name.code, (int)size);
    lstrcatA(buf, region);
    return true;
  }
  return false;
}

unsigned long platIniRead(const char *section, const char *key, const char *def,
                          char *buf, unsigned long size, const char *path) {
  // The profile functions look for a name without a directory part in the
  // Windows directory, not the current one.  The file the launcher found is
  // the one it must read, so such a name gets ".\" before it.
  if (strpbrk(path, "\\/:") == NULL) {
    size_t length = strlen(path);
    char *local = (char *)malloc(length + 3);
    if (!local) {
      if (size) lstrcpynA(buf, def, (int)size);
      return size ? (unsigned long)strlen(buf) : 0;
    }
    local[0] = '.';
    local[1] = '\\';
    memcpy(local + 2, path, length + 1);
    unsigned long n = GetPrivateProfileStringA(section, key, def, buf, size, local);
    free(local);
    return n;
  }
  return GetPrivateProfileStringA(section, key, def, buf, size, path);
}

bool platModulePath(char *buf, unsigned long size) {
  DWORD n = GetModuleFileNameA(NULL, buf, size);
  // A path cut to fit the buffer names some other file: refuse it.
  if (n == 0 || n >= size) {
    if (size) buf[0] = '\0';
    return false;
  }
  buf[n] = '\0';
  return true;
}

// SHELL32 is loaded only here: the main job, a launch, never needs it, and
// every DLL loaded at start-up costs each launch its time.
static void notifyShell(void) {
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (!shell) return;
  typedef void(WINAPI * ChangeNotify)(LONG, UINT, LPCVOID, LPCVOID);
  ChangeNotify notify = (ChangeNotify)(void (*)(void))GetProcAddress(shell, "SHChangeNotify");
  // SHCNE_ASSOCCHANGED with SHCNF_IDLIST: Explorer shows the new icon and
  // handler at once, without a log-off.  SHCNF_FLUSH: the notice is
  // delivered before the call returns, for the launcher exits right after.
  if (notify) notify(0x08000000L, 0x0000u | 0x1000u, NULL, NULL);
  FreeLibrary(shell);
}

// The setup chooses where the launcher stays, and the registration names it
// there: no copy of its own, nor a question when it is started with nothing.
int platLauncherCopy(const char *, char *, unsigned long) { return PLAT_COPY_NONE; }

long platCopyLauncher(const char *, const char *) { return PLAT_ERROR_INVALID_PARAMETER; }

long platRemoveFile(const char *path) { return DeleteFileA(path) ? PLAT_OK : (long)GetLastError(); }

const char *platInstallAdvice(const char *, bool) { return nullptr; }

int platOfferInstall(const char *) { return PLAT_OFFER_NOT_MADE; }

const char *platUsage(void) {
  return N_("usage: ZarnoLaunch [ -quiet | -install ] file.zarnok\n"
            "file.zarnok should be an INI file of this form:\n"
            "\t[ZarnoLaunch]\n"
            "\tServer=play.zarnok.net:7777\n"
            "\n"
            "-quiet: display no status (by default, ZarnoLaunch displays status using "
            "Windows message boxes)\n"
            "-install: register ZarnoLaunch to handle the .zarnok extension\n");
}

void platDesktopInstall(const char *, PlatNote, PlatFailure) { notifyShell(); }

void platDesktopUninstall(const char *, PlatNote, PlatFailure) { notifyShell(); }

long platStartGame(const char *, const char *, char *commandLine, const char *, const char *,
                   PlatNote) {
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  memset(&process, 0, sizeof process);
  BOOL ok = CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL,
                           NULL, &startup, &process);
  if (!ok) {
    DWORD error = GetLastError();
    return error ? (long)error : PLAT_ERROR_INVALID_PARAMETER;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return PLAT_OK;
}

bool platRegistryProblem(char *, unsigned long, char *, unsigned long) { return false; }

// On Windows the game's installation is the registry itself.
int platFindWineGame(const char *, const char *, PlatWineGame *game, PlatNote) {
  memset(game, 0, sizeof *game);
  return PLAT_GAME_NO_COMMAND;
}

void platFreeWineGame(PlatWineGame *) {}

int platCheckStoredGame(const char *, const char *, const char *, char *buf, unsigned long size) {
  if (size) buf[0] = '\0';
  return PLAT_STORED_GOOD;
}

long platRegOpenKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  HKEY h;
  LONG error = RegOpenKeyExA((HKEY)(ULONG_PTR)root, path, 0, KEY_READ, &h);
  if (error == ERROR_SUCCESS) *key = (PlatKeyHandle)h;
  return error;
}

long platRegCreateKey(unsigned long root, const char *path, PlatKeyHandle *key) {
  HKEY h;
  LONG error = RegCreateKeyExA((HKEY)(ULONG_PTR)root, path, 0, NULL, 0, KEY_READ | KEY_WRITE,
                               NULL, &h, NULL);
  if (error == ERROR_SUCCESS) *key = (PlatKeyHandle)h;
  return error;
}

long platRegQueryValue(PlatKeyHandle key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size) {
  DWORD t = 0;
  DWORD n = *size;
  LONG error = RegQueryValueExA(toHkey(key), name, NULL, &t, data, &n);
  if (type) *type = t;
  *size = n;
  return error;
}

long platRegSetValue(PlatKeyHandle key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size) {
  return RegSetValueExA(toHkey(key), name, 0, type, data, size);
}

void platRegCloseKey(PlatKeyHandle key) { RegCloseKey(toHkey(key)); }

long platRegEnumKey(PlatKeyHandle key, unsigned long index, char *name, unsigned long size) {
  DWORD length = size;
  return RegEnumKeyExA(toHkey(key), index, name, &length, NULL, NULL, NULL, NULL);
}

long platRegCountEntries(PlatKeyHandle key, unsigned long *subkeys, unsigned long *values) {
  DWORD keys = 0, vals = 0;
  LONG error = RegQueryInfoKeyA(toHkey(key), NULL, NULL, NULL, &keys, NULL, NULL, &vals, NULL,
                                NULL, NULL, NULL);
  *subkeys = keys;
  *values = vals;
  return error;
}

// RegDeleteKeyA, not RegDeleteTreeA: the tree call came with Vista, and the
// launcher still loads on XP.  The registry code deletes trees bottom-up.
long platRegDeleteKey(unsigned long root, const char *path) {
  return RegDeleteKeyA((HKEY)(ULONG_PTR)root, path);
}

long platRegDeleteValue(unsigned long root, const char *path, const char *name) {
  HKEY h;
  LONG error = RegOpenKeyExA((HKEY)(ULONG_PTR)root, path, 0, KEY_SET_VALUE, &h);
  if (error != ERROR_SUCCESS) return error;
  error = RegDeleteValueA(h, name);
  RegCloseKey(h);
  return error;
}
