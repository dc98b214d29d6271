// What the setup's tests need from inside Wine, where Linux programs cannot
// reach:
//
//   setup_probe hold PROGRAM MARKER    start PROGRAM suspended, so that its
//       file is in use as a running program's is; print "held", and end it
//       once the file MARKER exists
//   setup_probe volatile KEY           make HKEY_CURRENT_USER\KEY volatile:
//       no lasting key can be made below it (error 1021), so a write there
//       fails as on a damaged registry; it lasts while the wineserver does
//   setup_probe pages TITLE FOLDER     walk the wizard whose window's
//       title begins with TITLE: for each page ("page|N"), print its controls, hidden
//       ones too ("class|id|visible|text", a list's lines as "item|text"),
//       save the window as
//       FOLDER\page-N.bmp, and press its default button (id 1) when enabled
//       (the progress page is left to go on by itself)
//
// Exit status 0 when done, 1 on a timeout or failure.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

static void printUtf8(const wchar_t *text) {
  char bytes[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  if (n <= 0) bytes[0] = '\0';
  // One line a control: line ends inside a text are shown as "\n".
  for (char *c = bytes; *c; ++c)
    if (*c == '\r' || *c == '\n') *c = ' ';
  fputs(bytes, stdout);
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
static void printListItems(HWND list) {
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
      fputs("item|", stdout);
      printUtf8(text);
      fputs("\n", stdout);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
}

static BOOL CALLBACK printControl(HWND control, LPARAM) {
  wchar_t name[64], text[2048] = L"";
  GetClassNameW(control, name, 64);
  DWORD_PTR length;
  SendMessageTimeoutW(control, WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &length);
  text[2047] = L'\0';
  printUtf8(name);
  printf("|%d|%d|", GetDlgCtrlID(control), IsWindowVisible(control) ? 1 : 0);
  printUtf8(text);
  fputs("\n", stdout);
  if (wcscmp(name, WC_LISTVIEWW) == 0) printListItems(control);
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

// The page is the wizard's inner dialog; each page is a new one.
static HWND currentPage(HWND wizard) {
  for (HWND child = GetWindow(wizard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16];
    GetClassNameW(child, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(child)) return child;
  }
  return nullptr;
}

struct Search {
  const wchar_t *title;
  HWND found;
};

// A wizard's window: a dialog whose title begins with the one looked for
// (NSIS's English captions end in a blank).
static BOOL CALLBACK matchWizard(HWND window, LPARAM data) {
  Search *search = (Search *)data;
  wchar_t name[16], title[256];
  GetClassNameW(window, name, 16);
  GetWindowTextW(window, title, 256);
  if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window) ||
      wcsncmp(title, search->title, wcslen(search->title)) != 0)
    return TRUE;
  search->found = window;
  return FALSE;
}

static int walkPages(const wchar_t *title, const wchar_t *folder) {
  Search search = {title, nullptr};
  for (int i = 0; i < 600 && !search.found; ++i) {
    EnumWindows(matchWizard, (LPARAM)&search);
    if (!search.found) Sleep(100);
  }
  HWND wizard = search.found;
  if (!wizard) {
    fputs("no window of that title\n", stderr);
    return 1;
  }
  // A page is reported when it appears, at once (the progress page may last
  // a moment only), and again whenever a text on it changes, as the page
  // fills itself in; the last picture of a page is the one it settled on.
  HWND shown = nullptr, pressed = nullptr;
  std::wstring reported;
  int pages = 0, stable = 0;
  for (int i = 0; i < 6000 && IsWindow(wizard); ++i, Sleep(20)) {
    HWND page = currentPage(wizard);
    if (!page) continue;
    std::wstring texts;
    EnumChildWindows(wizard, collectTexts, (LPARAM)&texts);
    if (page != shown || texts != reported) {
      if (page != shown) ++pages;
      shown = page;
      reported = texts;
      stable = 0;
      printf("page|%d\n", pages);
      EnumChildWindows(wizard, printControl, 0);
      fflush(stdout);
      // A picture taken as the page gave way to the next shows the next:
      // it replaces the page's earlier one only if the page still stands.
      wchar_t path[MAX_PATH], taken[MAX_PATH];
      _snwprintf(path, MAX_PATH, L"%ls\\page-%d.bmp", folder, pages);
      path[MAX_PATH - 1] = L'\0';
      _snwprintf(taken, MAX_PATH, L"%ls.new", path);
      taken[MAX_PATH - 1] = L'\0';
      if (!saveBitmap(wizard, taken)) fputs("the page could not be saved\n", stderr);
      if (currentPage(wizard) == page)
        MoveFileExW(taken, path, MOVEFILE_REPLACE_EXISTING);
      else
        DeleteFileW(taken);
      continue;
    }
    // A page that has stood still for a while is done; the progress page
    // goes on by itself (its button, enabled for a moment at the end, would
    // be pressed on the page after it).
    HWND next = GetDlgItem(wizard, 1);
    if (++stable >= 15 && pressed != page && !FindWindowExW(page, nullptr, PROGRESS_CLASSW, nullptr) &&
        next && IsWindowEnabled(next) && IsWindowVisible(next)) {
      pressed = page;
      PostMessageW(next, BM_CLICK, 0, 0);
    }
  }
  return IsWindow(wizard) ? 1 : 0;
}

int wmain(int argc, wchar_t **argv) {
  if (argc == 4 && wcscmp(argv[1], L"hold") == 0) return hold(argv[2], argv[3]);
  if (argc == 3 && wcscmp(argv[1], L"volatile") == 0) return makeVolatile(argv[2]);
  if (argc == 4 && wcscmp(argv[1], L"pages") == 0) return walkPages(argv[2], argv[3]);
  fputs("usage: setup_probe hold PROGRAM MARKER | volatile KEY | pages TITLE FOLDER\n", stderr);
  return 1;
}
