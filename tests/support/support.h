// Helpers the tests share: temporary places, files, and running the real
// launcher as a child process.  support_posix.cpp and support_win32.cpp hold
// what differs between the two systems.
#ifndef ZARNO_TEST_SUPPORT_H
#define ZARNO_TEST_SUPPORT_H

#include <string>
#include <vector>

namespace support {

// Directory of the running test program; the launcher and the stand-in game
// are built beside it.
std::string programDir();
std::string launcherPath();
// A test build of the launcher that meets the registry as a user of an
// account does on Windows ("standard-user" or "administrator"): the user's
// classes merged over the machine's, which a standard user may not change.
std::string accountLauncherPath(const std::string &account);
std::string fakeGamePath();
// What the build's launcher registers with "-install": itself; on Linux,
// where the build lies in a temporary folder (a clone under /tmp), the copy
// of it that it makes in ~/.local/bin.
std::string registeredLauncher();
// The usage text of the system's launcher, which names the system's boxes.
std::string usageText();

// A new empty directory, removed again at the end of the test program.
std::string makeTempDir();
std::string joinPath(const std::string &dir, const std::string &name);
char pathSeparator();

// These take paths in any script: UTF-8 natively and, under Windows, in
// test programs whose manifest makes UTF-8 their code page.
bool writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
bool makeDirectory(const std::string &path);
bool makeExecutable(const std::string &path);
// A copy of a program, runnable at its new place.
bool copyProgram(const std::string &from, const std::string &to);

// The line end the launcher's log writes (text mode).
const char *lineEnd();
// A log's text with the system's line ends turned into "\n".
std::string normalise(const std::string &text);

// Natively: a private HOME with its XDG folders, and no display or desktop
// session, so that no test writes to the user's desktop or opens a window
// unless it asks for one.  Nothing under Windows, where Wine has its prefix.
void isolateEnvironment();

void setEnv(const std::string &name, const std::string &value);
void unsetEnv(const std::string &name);
// Puts an environment variable back, set or unset, when it goes out of scope.
class SavedEnv {
 public:
  explicit SavedEnv(const std::string &name);
  ~SavedEnv();

 private:
  std::string name, value;
  bool set;
};

struct RunResult {
  int status = -1;
  std::string errorOutput;  // standard error (empty under Windows)
};
// Runs a program (argv[0]) with the arguments, in the directory cwd (or the
// current one), and waits for it to end.
RunResult run(const std::vector<std::string> &argv, const std::string &cwd = "");
RunResult runLauncher(const std::vector<std::string> &args, const std::string &cwd = "");

// True where message boxes are the stand-in's lines on standard error; under
// Windows a test that would show a box passes -quiet and reads the log.
bool boxesOnStandardError();

// Waits up to timeoutMs for a file to appear; the game writes its record
// after the launcher has already ended.
bool waitForFile(const std::string &path, int timeoutMs);

// An empty registry for the next test: natively a new registry file, under
// Wine the launcher's, the game's and Navigator's keys deleted.
void resetRegistry();
// The launcher's and Navigator's registry entries as text, for comparing two
// states of the registry.
std::string dumpRegistry();
// A registry value as text, or "<none>" when there is none.
std::string regText(unsigned long root, const char *path, const char *name);

// Natively the registry file's path; empty under Windows.
std::string registryFilePath();

// A named pipe at path; false where the system has none to offer.
bool makeFifo(const std::string &path);

// The arguments a stand-in game run recorded, one string each, waiting up to
// timeoutMs for the record.  Under Windows the record may be in place a
// moment before it can be opened: the game's rename still holds it then.
bool readGameRecord(const std::string &path, std::vector<std::string> &args, int timeoutMs);

}  // namespace support

#endif
