// What the tests need from inside Wine, where Linux programs cannot reach:
//
//   windows_probe hold PROGRAM MARKER  start PROGRAM suspended, so that its
//       file is in use as a running program's is; print "held", and end it
//       once the file MARKER exists
//   windows_probe volatile KEY         make HKEY_CURRENT_USER\KEY volatile:
//       no lasting key can be made below it (error 1021), so a write there
//       fails as on a damaged registry; it lasts while the wineserver does
//   windows_probe pages TITLE FOLDER   walk the wizard whose window's
//       title begins with TITLE: for each page ("page|N"), print its own
//       controls and the wizard's, hidden ones too ("class|id|visible|text",
//       a list's lines as "item|text"), save the window as FOLDER\page-N.bmp,
//       and once the page is read press its default button (id 1) when
//       enabled (the progress page is left to go on by itself)
//   windows_probe box COMMAND...       run the command line, read the message
//       box its program shows as the player sees it (its title, "--", its
//       text, in UTF-8, line ends kept), press OK, and end with the
//       program's exit status (100: no box appeared).  The text is read from
//       the window, so that it is there with or without the fonts it needs.
//   windows_probe limited TITLE COMMAND...  the same, for a command run with
//       the limited token that Windows gives an administrator before consent
//       (its arguments joined, those with a blank quoted), and the first box
//       whose title begins with TITLE, whichever process shows it
//
// Exit status 0 when done, 1 on a timeout or failure.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

// text in UTF-8; oneLine: one line a control, with line ends inside a text
// as blanks.
static std::string utf8(const wchar_t *text, bool oneLine = true) {
  char bytes[16384];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  if (n <= 0) bytes[0] = '\0';
  for (char *c = bytes; *c && oneLine; ++c)
    if (*c == '\r' || *c == '\n') *c = ' ';
  return bytes;
}

static int hold(const wchar_t *program, const wchar_t *marker) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  wchar_t command[1024];
  _snwprintf(command, 1024, L"\"%ls\"", program);
  command[1023] = L'\0';
  if (!CreateProcessW(program, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    fprintf(stderr, "cannot start the program: error %lu\n", GetLastError());
    return 1;
  }
  puts("held");
  fflush(stdout);
  int status = 1;
  for (int i = 0; i < 1200; ++i) {
    if (GetFileAttributesW(marker) != INVALID_FILE_ATTRIBUTES) {
      status = 0;
      break;
    }
    Sleep(100);
  }
  TerminateProcess(process.hProcess, 0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

static int makeVolatile(const wchar_t *key) {
  HKEY handle;
  LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                               nullptr, &handle, nullptr);
  if (error != ERROR_SUCCESS) {
    fprintf(stderr, "cannot make the key: error %ld\n", error);
    return 1;
  }
  RegCloseKey(handle);
  return 0;
}

// The lines of a list view in another process: the item is read into memory
// of that process, as the control writes it there.
static void listItems(HWND list, std::string &report) {
  DWORD pid;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return;
  const SIZE_T textSize = 1024;
  char *remote = (char *)VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textSize * sizeof(wchar_t),
                                        MEM_COMMIT, PAGE_READWRITE);
  if (remote) {
    int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
      LVITEMW item = {};
      item.iSubItem = 0;
      item.cchTextMax = (int)textSize;
      item.pszText = (LPWSTR)(remote + sizeof(LVITEMW));
      wchar_t text[1024] = L"";
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageW(list, LVM_GETITEMTEXTW, i, (LPARAM)remote);
      ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text, nullptr);
      text[1023] = L'\0';
      report += "item|" + utf8(text) + "\n";
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
}

static BOOL CALLBACK reportControl(HWND control, LPARAM data) {
  std::string &report = *(std::string *)data;
  wchar_t name[64], text[2048] = L"";
  GetClassNameW(control, name, 64);
  DWORD_PTR length;
  SendMessageTimeoutW(control, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &length);
  text[2047] = L'\0';
  report += utf8(name) + "|" + std::to_string(GetDlgCtrlID(control)) + "|" +
            (IsWindowVisible(control) ? "1" : "0") + "|" + utf8(text) + "\n";
  if (wcscmp(name, WC_LISTVIEWW) == 0) listItems(control, report);
  return TRUE;
}

static bool saveBitmap(HWND window, const wchar_t *path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int width = r.right - r.left, height = r.bottom - r.top;
  int stride = (width * 3 + 3) & ~3;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as files keep it
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = (DWORD)(stride * height);
  void *bits;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  bool saved = false;
  FILE *out = _wfopen(path, L"wb");
  if (out) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    saved = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
            fwrite(bits, header.biSizeImage, 1, out) == 1;
    saved = fclose(out) == 0 && saved;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

// The visible texts of a window's controls, one after another.
static BOOL CALLBACK collectTexts(HWND control, LPARAM data) {
  if (!IsWindowVisible(control)) return TRUE;
  wchar_t text[2048] = L"";
  DWORD_PTR length;
  SendMessageTimeoutW(control, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &length);
  text[2047] = L'\0';
  *(std::wstring *)data += text;
  *(std::wstring *)data += L'\n';
  return TRUE;
}

// The controls of one page: the wizard's own (its buttons and header) and
// those of the page, never those of another page that comes or goes.
static void eachControl(HWND wizard, HWND page, WNDENUMPROC callback, LPARAM data) {
  for (HWND child = GetWindow(wizard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16];
    GetClassNameW(child, name, 16);
    if (wcscmp(name, L"#32770") != 0) callback(child, data);
  }
  EnumChildWindows(page, callback, data);
}

// The page is the wizard's inner dialog; each page is a new one.
static HWND currentPage(HWND wizard) {
  for (HWND child = GetWindow(wizard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16];
    GetClassNameW(child, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(child)) return child;
  }
  return nullptr;
}

// A dialog window to look for: one whose title begins with title (NSIS's
// English captions end in a blank), or one of the process process.
struct Search {
  const wchar_t *title;
  DWORD process;
  HWND found;
};

static BOOL CALLBACK matchDialog(HWND window, LPARAM data) {
  Search *search = (Search *)data;
  wchar_t name[16], title[256];
  GetClassNameW(window, name, 16);
  GetWindowTextW(window, title, 256);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window) ||
      (search->title ? wcsncmp(title, search->title, wcslen(search->title)) != 0
                     : process != search->process))
    return TRUE;
  search->found = window;
  return FALSE;
}

// Looks for the dialog for a minute; stop, when it ends, ends the wait early.
static HWND findDialog(Search search, HANDLE stop) {
  for (int i = 0; i < 600 && !search.found; ++i) {
    EnumWindows(matchDialog, (LPARAM)&search);
    if (search.found) break;
    if (!stop)
      Sleep(100);
    else if (WaitForSingleObject(stop, 100) == WAIT_OBJECT_0)
      break;
  }
  return search.found;
}

static int walkPages(const wchar_t *title, const wchar_t *folder) {
  HWND wizard = findDialog({title, 0, nullptr}, nullptr);
  if (!wizard) {
    fputs("no window of that title\n", stderr);
    return 1;
  }
  // A page is reported when it appears and again whenever a text on it
  // changes, as the page fills itself in; the last picture of a page is the
  // one it settled on.  It is read once the wizard's thread is back in its
  // message loop, done with setting the page up, and has painted it; a
  // reading during which another page took its place is not reported.
  HWND shown = nullptr, pressed = nullptr;
  std::wstring reported;
  int pages = 0;
  for (int i = 0; i < 6000 && IsWindow(wizard); ++i, Sleep(20)) {
    HWND page = currentPage(wizard);
    if (!page) continue;
    std::wstring texts;
    eachControl(wizard, page, collectTexts, (LPARAM)&texts);
    if (page != shown || texts != reported) {
      DWORD_PTR answer;
      SendMessageTimeoutW(wizard, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
      RedrawWindow(wizard, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      std::string report;
      eachControl(wizard, page, reportControl, (LPARAM)&report);
      wchar_t path[MAX_PATH], taken[MAX_PATH];
      _snwprintf(path, MAX_PATH, L"%ls\\page-%d.bmp", folder, pages + (page != shown));
      path[MAX_PATH - 1] = L'\0';
      _snwprintf(taken, MAX_PATH, L"%ls.new", path);
      taken[MAX_PATH - 1] = L'\0';
      if (!saveBitmap(wizard, taken)) fputs("the page could not be saved\n", stderr);
      if (currentPage(wizard) != page) {
        DeleteFileW(taken);
        continue;
      }
      MoveFileExW(taken, path, MOVEFILE_REPLACE_EXISTING);
      if (page != shown) ++pages;
      shown = page;
      reported = texts;
      printf("page|%d\n%s", pages, report.c_str());
      fflush(stdout);
      continue;
    }
    // A page read as it stands is done; the progress page goes on by
    // itself (its button, enabled for a moment at the end, would be pressed
    // on the page after it).
    HWND next = GetDlgItem(wizard, 1);
    if (pressed != page && !FindWindowExW(page, nullptr, PROGRESS_CLASSW, nullptr) && next &&
        IsWindowEnabled(next) && IsWindowVisible(next)) {
      pressed = page;
      PostMessageW(next, BM_CLICK, 0, 0);
    }
  }
  return IsWindow(wizard) ? 1 : 0;
}

// The process's own token's linked one: for an administrator's full token,
// the limited token of the same user.
static HANDLE limitedToken() {
  HANDLE own, limited = nullptr;
  TOKEN_LINKED_TOKEN linked;
  DWORD size;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
  if (GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) {
    DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                     &limited);
    CloseHandle(linked.LinkedToken);
  }
  CloseHandle(own);
  return limited;
}

static int readBox(const wchar_t *command, HANDLE token = nullptr, const wchar_t *title = nullptr) {
  wchar_t line[8192];
  lstrcpynW(line, command, 8192);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  BOOL started = token ? CreateProcessAsUserW(token, nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                             &startup, &process)
                       : CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                        &process);
  if (!started) {
    fprintf(stderr, "cannot start the program: error %lu\n", GetLastError());
    return 101;
  }
  HWND box = findDialog({title, title ? 0 : process.dwProcessId, nullptr}, process.hProcess);
  int status = 100;
  if (box) {
    // The box's title, then its text: the static control MessageBox makes,
    // whose identifier is 0xFFFF.
    wchar_t text[8192];
    GetWindowTextW(box, text, 8192);
    fputs(utf8(text, false).c_str(), stdout);
    fputs("\n--\n", stdout);
    GetDlgItemTextW(box, 0xFFFF, text, 8192);
    fputs(utf8(text, false).c_str(), stdout);
    fputs("\n", stdout);
    fflush(stdout);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    status = (int)code;
  } else {
    fputs("no box appeared\n", stderr);
    TerminateProcess(process.hProcess, 100);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

int wmain(int argc, wchar_t **argv) {
  if (argc == 4 && wcscmp(argv[1], L"hold") == 0) return hold(argv[2], argv[3]);
  if (argc == 3 && wcscmp(argv[1], L"volatile") == 0) return makeVolatile(argv[2]);
  if (argc == 4 && wcscmp(argv[1], L"pages") == 0) return walkPages(argv[2], argv[3]);
  if (argc >= 3 && wcscmp(argv[1], L"box") == 0) {
    // The command line as it was given, after "box ".
    const wchar_t *rest = wcsstr(GetCommandLineW(), L" box ");
    if (rest) return readBox(rest + 5);
  }
  HANDLE limited = argc >= 4 && wcscmp(argv[1], L"limited") == 0 ? limitedToken() : nullptr;
  if (limited) {
    std::wstring command;
    for (int i = 3; i < argc; ++i)
      command += (i > 3 ? L" " : L"") +
                 (wcschr(argv[i], L' ') ? L"\"" + std::wstring(argv[i]) + L"\"" : std::wstring(argv[i]));
    return readBox(command.c_str(), limited, argv[2]);
  }
  fputs("usage: windows_probe hold PROGRAM MARKER | volatile KEY | pages TITLE FOLDER | box COMMAND... |"
        " limited TITLE COMMAND...\n", stderr);
  return 1;
}
