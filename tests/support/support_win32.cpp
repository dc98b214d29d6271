#include <windows.h>

#include <stdlib.h>

#include "support/support.h"

namespace support {

std::string programDir() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, buf, sizeof buf);
  std::string path(buf, n);
  return path.substr(0, path.find_last_of("\\/"));
}

std::string launcherPath() { return joinPath(programDir(), "ZarnoLaunch.exe"); }
std::string accountLauncherPath(const std::string &account) {
  return joinPath(programDir(), "ZarnoLaunch-" + account + ".exe");
}
std::string fakeGamePath() { return joinPath(programDir(), "zarnok-demo.exe"); }
std::string registeredLauncher() { return launcherPath(); }

std::string usageText() {
  return "usage: ZarnoLaunch [ -quiet | -install ] file.zarnok\n"
         "file.zarnok should be an INI file of this form:\n"
         "\t[ZarnoLaunch]\n"
         "\tServer=play.zarnok.net:7777\n"
         "\n"
         "-quiet: display no status (by default, ZarnoLaunch displays status using Windows message "
         "boxes)\n"
         "-install: register ZarnoLaunch to handle the .zarnok extension\n";
}

const char *lineEnd() { return "\r\n"; }
char pathSeparator() { return '\\'; }

bool fileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool makeDirectory(const std::string &path) { return CreateDirectoryA(path.c_str(), NULL) != 0; }
bool makeExecutable(const std::string &) { return true; }

void setEnv(const std::string &name, const std::string &value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  _putenv_s(name.c_str(), value.c_str());
}
void unsetEnv(const std::string &name) {
  SetEnvironmentVariableA(name.c_str(), NULL);
  _putenv_s(name.c_str(), "");
}

// Quotes one argument so that the C start-up code gives it back unchanged.
static std::string quoteArgument(const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

void isolateEnvironment() {}

bool boxesOnStandardError() { return false; }

RunResult run(const std::vector<std::string> &argv, const std::string &cwd) {
  RunResult result;
  std::string commandLine;
  for (const std::string &a : argv) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += quoteArgument(a);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                      cwd.empty() ? NULL : cwd.c_str(), &startup,
                      &process))
    return result;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  result.status = (int)status;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

bool makeFifo(const std::string &) { return false; }

// What the tests and the launcher write, as whole keys, or as one value
// of a key that Windows keeps anyway.
static const struct {
  HKEY root;
  const char *rootName;
  const char *path;
  const char *value;
} touchedKeys[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", ".zarnok", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "ZarnoLaunch", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "Zarnok", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "MIME\\Database\\Content Type\\application/zarnolaunch", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "MIME\\Database\\Content Type\\application/x-other", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "Applications\\ZarnoLaunch.exe", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "Applications\\ZarnoLaunch-standard-user.exe", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "Applications\\ZarnoLaunch-administrator.exe", NULL},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "Applications\\other.exe", NULL},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "Software\\ZarnoLaunch", NULL},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "Software\\RegisteredApplications", "ZarnoLaunch"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "Software\\RegisteredApplications", "Other"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\Netscape", NULL},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\Classes\\MIME", NULL},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\Classes\\Applications", NULL},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\ZarnoLaunch", NULL},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "Software\\RegisteredApplications", NULL},
};

void resetRegistry() {
  for (const auto &k : touchedKeys) {
    HKEY key;
    if (!k.value) {
      RegDeleteTreeA(k.root, k.path);
    } else if (RegOpenKeyExA(k.root, k.path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, k.value);
      RegCloseKey(key);
    }
  }
  // HKEY_CLASSES_ROOT is a merged view; the per-user half may hold copies.
  for (const auto &k : touchedKeys) {
    if (k.root != HKEY_CLASSES_ROOT) continue;
    std::string user = std::string("Software\\Classes\\") + k.path;
    RegDeleteTreeA(HKEY_CURRENT_USER, user.c_str());
  }
}

std::string registryFilePath() { return std::string(); }

std::string dumpRegistry() {
  std::string dir = makeTempDir();
  std::string all;
  int n = 0;
  for (const auto &k : touchedKeys) {
    std::string file = joinPath(dir, "k" + std::to_string(n++) + ".reg");
    run({"reg.exe", "export", std::string(k.rootName) + "\\" + k.path, file, "/y"});
    all += "== " + std::string(k.path) + "\n" + readFile(file);
  }
  return all;
}

}  // namespace support
