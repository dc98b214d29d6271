// Reads the message box a program shows, as a player would see it, and
// closes it: runs the command line it is given, waits for a dialog window
// of that process, prints the window's title and text in UTF-8, presses
// its button, and waits for the program to end.  Its exit status is the
// program's; 100 when no box appeared within the time allowed.  Windows
// test program; under Wine it needs a display (Xvfb will do, with or
// without the fonts the text needs: the text is read from the window, not
// from what was drawn).
//
//   box_reader.exe "C:\path\ZarnoLaunch.exe" "-quiet" ...
#include <windows.h>

#include <stdio.h>
#include <string.h>

static DWORD wanted;
static HWND found;

static BOOL CALLBACK look(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char kind[16];
  if (process == wanted && IsWindowVisible(window) && GetClassNameA(window, kind, sizeof kind) &&
      strcmp(kind, "#32770") == 0) {
    found = window;
    return FALSE;
  }
  return TRUE;
}

static void printUtf8(const wchar_t *text) {
  char out[16384];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, NULL, NULL);
  if (n > 0) fwrite(out, 1, (size_t)n - 1, stdout);
}

int main() {
  // The command line after this program's own name.
  const wchar_t *line = GetCommandLineW();
  bool quoted = *line == L'"';
  for (++line; *line && (quoted ? *line != L'"' : *line != L' '); ++line) {
  }
  if (*line == L'"') ++line;
  while (*line == L' ') ++line;
  wchar_t command[8192];
  lstrcpynW(command, line, 8192);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    fprintf(stderr, "box_reader: cannot start the program (error %lu)\n", GetLastError());
    return 101;
  }
  wanted = process.dwProcessId;
  for (int i = 0; i < 600 && !found; ++i) {
    EnumWindows(look, 0);
    if (!found) {
      if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    }
  }
  if (!found) {
    fprintf(stderr, "box_reader: no box appeared\n");
    TerminateProcess(process.hProcess, 100);
    return 100;
  }
  // The box's title, then its text: the static control MessageBox makes,
  // whose identifier is 0xFFFF.
  wchar_t text[8192];
  GetWindowTextW(found, text, 8192);
  printUtf8(text);
  fputs("\n--\n", stdout);
  GetDlgItemTextW(found, 0xFFFF, text, 8192);
  printUtf8(text);
  fputs("\n", stdout);
  fflush(stdout);
  // OK, the box's one button.
  PostMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(found, IDOK));
  WaitForSingleObject(process.hProcess, 30000);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (int)status;
}
