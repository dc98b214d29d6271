// Message boxes as dialogs on a Linux desktop: stand-in dialog programs first
// on PATH record how they were started; one real xmessage runs under Xvfb.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/fixture.h"
#include "platform/posix/desktop/dialog.h"

extern char **environ;

namespace {

// Appends its argument count, name and arguments, each ended by a zero byte,
// to "calls" beside it and its open descriptors' targets to NAME.fds, warns
// on standard error, and ends with the status in NAME.status ("kill": by
// SIGKILL; 0 when there is none).
const char standIn[] =
    "#!/bin/sh\n"
    "dir=${0%/*} name=${0##*/}\n"
    "printf '%s\\0' \"$#\" \"$name\" \"$@\" >>\"$dir/calls\"\n"
    "PATH=/usr/bin:/bin\n"
    "for fd in /proc/$$/fd/*; do readlink \"$fd\"; done >\"$dir/$name.fds\"\n"
    "echo \"$name: a warning\" >&2\n"
    "status=0\n"
    "[ -f \"$dir/$name.status\" ] && read status <\"$dir/$name.status\"\n"
    "[ \"$status\" = kill ] && kill -KILL $$\n"
    "exit \"$status\"\n";

struct Call {
  std::string program;
  std::vector<std::string> args;
};

using Args = std::vector<std::string>;

// Starts argv[0] (a full path) with standard output and error going to files
// (or /dev/null).  -1 on failure.
pid_t start(const Args &argv, const std::string &out, const std::string &err) {
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.empty() ? "/dev/null" : out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.empty() ? "/dev/null" : err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid;
  int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

// The exit status of pid once it has ended within the deadline; -1 if not.
int waitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int status;
  pid_t ended;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (ended != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string output(const Args &argv) {
  std::string file = support::joinPath(support::makeTempDir(), "out");
  pid_t pid = start(argv, file, "");
  if (pid > 0) waitUntil(pid, std::chrono::steady_clock::now() + std::chrono::seconds(20));
  return support::readFile(file);
}

class Dialog : public LauncherTest {
 protected:
  std::string bin, path = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
  pid_t xvfb = -1, launcher = -1;

  void SetUp() override {
    LauncherTest::SetUp();
    newBin();
    // No icon of ours anywhere, unless a test puts one there.
    setEnv("XDG_DATA_HOME", support::makeTempDir());
    setEnv("XDG_DATA_DIRS", support::makeTempDir());
  }
  void TearDown() override {
    for (pid_t pid : {launcher, xvfb}) {
      if (pid <= 0) continue;
      kill(pid, SIGTERM);  // Xvfb ending also ends an orphaned xmessage
      waitpid(pid, nullptr, 0);
    }
    support::setEnv("PATH", path);
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP"}) support::unsetEnv(name);
    LauncherTest::TearDown();
  }

  // An empty directory that is all of PATH, so that no real dialog runs.
  void newBin() {
    bin = support::makeTempDir();
    support::setEnv("PATH", bin);
  }
  // status: an exit status, "kill", or "noexec" for a stand-in without the
  // execute permission.
  void install(const std::string &program, const std::string &status = "0") {
    std::string file = support::joinPath(bin, program);
    ASSERT_TRUE(support::writeFile(file, standIn));
    chmod(file.c_str(), status == "noexec" ? 0644 : 0755);
    ASSERT_TRUE(support::writeFile(file + ".status", status + "\n"));
  }
  std::vector<Call> calls() {
    std::string text = support::readFile(support::joinPath(bin, "calls"));
    std::vector<std::string> fields;
    for (size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
      fields.push_back(text.substr(start, end - start));
    std::vector<Call> result;
    for (size_t i = 0; i + 1 < fields.size(); i += 2 + std::stoul(fields[i])) {
      auto first = fields.begin() + (long)i + 2;
      result.push_back({fields[i + 1], Args(first, first + (long)std::stoul(fields[i]))});
    }
    return result;
  }
  // A desktop entry that makes the launcher the handler of server links: the
  // user's own, or the system's.
  void registerLauncher(const std::string &dataFolder) {
    std::filesystem::create_directories(dataFolder + "/applications");
    ASSERT_TRUE(support::writeFile(dataFolder + "/applications/zarnolaunch.desktop",
                                   "[Desktop Entry]\nTryExec=" + support::registeredLauncher() +
                                       "\nExec=" + support::registeredLauncher() + " %u\n"));
  }
  // A null value unsets the variable.
  static void setDisplays(const char *display, const char *wayland, const char *desktop = nullptr) {
    for (auto [name, value] : {std::pair{"DISPLAY", display}, {"WAYLAND_DISPLAY", wayland},
                               {"XDG_CURRENT_DESKTOP", desktop}}) {
      if (value) support::setEnv(name, value);
      else support::unsetEnv(name);
    }
  }
};

TEST_F(Dialog, EachProgramsArguments) {
  const char *stop = "ZarnoLaunch encountered an error:", *missing = "Zarnok is not properly installed!";
  struct Row {
    const char *program;
    unsigned style;
    const char *text, *title;
    Args args;
  } rows[] = {
      {"zenity", 0x10, missing, stop, {"--error", "--no-markup", std::string("--title=") + stop,
                                       std::string("--text=") + missing}},
      {"zenity", 0x40, "-quiet", "-rv", {"--info", "--no-markup", "--title=-rv", "--text=-quiet"}},
      // Shown as it is: no markup, no escapes; bytes that are not UTF-8 become U+FFFD.
      {"zenity", 0x40, "<b>&lt;C:\\new\n\tServer=\xE9t\xC3\xA9\xC0\xAF", "t",
       {"--info", "--no-markup", "--title=t",
        "--text=<b>&lt;C:\\new\n\tServer=\xEF\xBF\xBDt\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD"}},
      {"kdialog", 0x10, missing, stop, {std::string("--title=") + stop, std::string("--error=") + missing}},
      {"kdialog", 0x40, "-reverse", "-display", {"--title=-display", "--msgbox=-reverse"}},
      {"kdialog", 0x40, "C:\\new <b>&lt;", "a\\b",
       {"--title=a\\b", "--msgbox=C:\\\\new <\xE2\x80\x8B" "b>&\xE2\x80\x8Blt;"}},
      {"xmessage", 0x10, missing, stop,
       {"-title", stop, "-center", "-buttons", "OK:0", "-default", "OK", missing}},
      {"xmessage", 0x40, "-help", "-rv", {"-title", "-rv", "-center", "-buttons", "OK:0", "-default", "OK", " -help"}},
      {"xmessage", 0x40, "+rv", "t", {"-title", "t", "-center", "-buttons", "OK:0", "-default", "OK", " +rv"}},
  };
  setDisplays(":9", nullptr);
  for (const Row &row : rows) {
    newBin();
    install(row.program);
    EXPECT_TRUE(showDialog(row.text, row.title, row.style)) << row.program << " " << row.text;
    std::vector<Call> seen = calls();
    ASSERT_EQ(seen.size(), 1u) << row.program << " " << row.text;
    EXPECT_EQ(seen[0].program, row.program);
    EXPECT_EQ(seen[0].args, row.args) << row.program << " " << row.text;
  }
}

TEST_F(Dialog, ZenityShowsTheInstalledIcon) {
  const std::string icon = "/icons/hicolor/48x48/apps/zarnolaunch.png";
  enum { NONE, USER, SYSTEM };
  struct Row {
    bool user, system;  // an icon in XDG_DATA_HOME, in XDG_DATA_DIRS
    bool userFolder;    // a folder where the user's icon would be
    int shown;
  } rows[] = {{false, false, false, NONE}, {true, false, false, USER}, {false, true, false, SYSTEM},
              {true, true, false, USER},   {false, true, true, SYSTEM}};
  setDisplays(":9", nullptr);
  for (const Row &row : rows) {
    const std::string home[] = {"", support::makeTempDir(), support::makeTempDir()};
    setEnv("XDG_DATA_HOME", home[USER]);
    // A relative folder in the list is looked past, a trailing slash dropped.
    setEnv("XDG_DATA_DIRS", "share:" + home[SYSTEM] + "/");
    for (int where : {USER, SYSTEM}) {
      if (!(where == USER ? row.user : row.system)) continue;
      std::filesystem::create_directories(home[where] + icon.substr(0, icon.rfind('/')));
      ASSERT_TRUE(support::writeFile(home[where] + icon, "PNG"));
    }
    if (row.userFolder) std::filesystem::create_directories(home[USER] + icon);
    newBin();
    install("zenity");
    ASSERT_TRUE(showDialog("text", "title", 0x40));
    std::vector<Call> seen = calls();
    ASSERT_EQ(seen.size(), 1u);
    Args expected{"--info", "--no-markup", "--title=title", "--text=text"};
    if (row.shown != NONE) expected.insert(expected.begin() + 2, "--window-icon=" + home[row.shown] + icon);
    EXPECT_EQ(seen[0].args, expected) << row.user << row.system << row.userFolder;
  }
}

TEST_F(Dialog, WhichProgramRuns) {
  struct Row {
    const char *display, *wayland, *desktop;
    std::vector<std::pair<const char *, const char *>> installed;  // program, status
    std::vector<std::string> ran;
    bool shown;
  } rows[] = {
      {nullptr, nullptr, nullptr, {{"zenity", "0"}, {"kdialog", "0"}, {"xmessage", "0"}}, {}, false},
      {"", "", nullptr, {{"zenity", "0"}, {"kdialog", "0"}, {"xmessage", "0"}}, {}, false},
      {":9", nullptr, nullptr, {{"zenity", "0"}, {"kdialog", "0"}, {"xmessage", "0"}}, {"zenity"}, true},
      {":9", nullptr, "ubuntu:GNOME", {{"zenity", "0"}, {"kdialog", "0"}}, {"zenity"}, true},
      {":9", nullptr, "KDE", {{"zenity", "0"}, {"kdialog", "0"}}, {"kdialog"}, true},
      {":9", nullptr, "X-Test:LXQt", {{"zenity", "0"}, {"kdialog", "0"}}, {"kdialog"}, true},
      {":9", nullptr, "KDE", {{"zenity", "0"}, {"xmessage", "0"}}, {"zenity"}, true},
      {":9", nullptr, nullptr, {{"xmessage", "0"}}, {"xmessage"}, true},
      {nullptr, "wayland-0", nullptr, {{"xmessage", "0"}}, {}, false},
      {nullptr, "wayland-0", "KDE", {{"kdialog", "0"}, {"xmessage", "0"}}, {"kdialog"}, true},
      {":9", nullptr, nullptr, {}, {}, false},
      // Could not be started: the next one shows the message.
      {":9", nullptr, nullptr, {{"zenity", "noexec"}, {"kdialog", "0"}}, {"kdialog"}, true},
      // Started and failed: it may have been on screen, so nothing else runs.
      {":9", nullptr, nullptr, {{"zenity", "1"}, {"kdialog", "0"}, {"xmessage", "0"}}, {"zenity"}, false},
      {":9", nullptr, nullptr, {{"zenity", "kill"}, {"kdialog", "0"}}, {"zenity"}, false},
      {":9", nullptr, "KDE", {{"kdialog", "2"}, {"zenity", "0"}}, {"kdialog"}, false},
  };
  int n = 0;
  for (const Row &row : rows) {
    newBin();
    for (auto [program, status] : row.installed) install(program, status);
    setDisplays(row.display, row.wayland, row.desktop);
    EXPECT_EQ(showDialog("text", "title", 0x40), row.shown) << "row " << n;
    std::vector<std::string> ran;
    for (const Call &call : calls()) ran.push_back(call.program);
    EXPECT_EQ(ran, row.ran) << "row " << n++;
  }
}

TEST_F(Dialog, TheLaunchersBoxesGoToStandardErrorAndTheDialog) {
  struct Row {
    Args args;
    const char *kind;  // zenity's dialog, or none
  } rows[] = {{{}, "--info"}, {{serverFile("a.b.c")}, "--error"}, {{"-quiet"}, nullptr}};
  setDisplays(":9", nullptr);
  registerLauncher(getenv("XDG_DATA_HOME"));  // so that no run offers to register it
  for (Row &row : rows) {
    newBin();
    install("zenity");
    install("xmessage");
    row.args.insert(row.args.begin(), {"-logfile", log});
    support::RunResult r = support::runLauncher(row.args);
    EXPECT_EQ(r.status, 1);
    std::vector<Call> seen = calls();
    if (!row.kind) {
      EXPECT_EQ(r.errorOutput, "");
      EXPECT_TRUE(seen.empty());
      continue;
    }
    // Standard error holds the box's lines and nothing of the dialog's own.
    size_t end = r.errorOutput.find('\n');
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(r.errorOutput.back(), '\n');
    std::string title = r.errorOutput.substr(0, end);
    std::string text = r.errorOutput.substr(end + 1, r.errorOutput.size() - end - 2);
    EXPECT_EQ(title, row.kind == std::string("--error") ? "ZarnoLaunch" : "ZarnoLaunch Usage");
    EXPECT_EQ(r.errorOutput.find("a warning"), std::string::npos);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].args, (Args{row.kind, "--no-markup", "--title=" + title, "--text=" + text}));
    // The log was open while the box was up; the dialog must not hold it.
    std::string fds = support::readFile(support::joinPath(bin, "zenity.fds"));
    EXPECT_NE(fds.find("/dev/null"), std::string::npos);
    EXPECT_EQ(fds.find("launcher.log"), std::string::npos) << fds;
  }
}

std::string findProgram(const std::string &path, const char *name) {
  for (size_t start = 0, end; start <= path.size(); start = end + 1) {
    end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string file = support::joinPath(path.substr(start, end - start), name);
    if (end > start && access(file.c_str(), X_OK) == 0) return file;
  }
  return "";
}

// Started with nothing to open and no terminal, as from a file manager: a
// launcher that is not the user's handler asks whether to register itself.
TEST_F(Dialog, StartedWithNothingToOpenItOffersToRegisterItself) {
  const Args question{"--question", "--no-markup", "--title=ZarnoLaunch",
                      "--text=ZarnoLaunch opens the links to Zarnok servers that web pages and server link "
                      "files (.zarnok) hold, and starts Zarnok on that server.\n\nSet it up now to open them "
                      "for you?",
                      "--ok-label=Set up", "--cancel-label=Cancel"};
  const Args usage{"--info", "--no-markup", "--title=ZarnoLaunch Usage", "--text=" + support::usageText()};
  enum { NOWHERE, USER, SYSTEM };
  struct Row {
    int registered;
    const char *answer, *quiet;  // the stand-in zenity's status; "-quiet" or ""
    std::vector<Args> dialogs;
    bool installed;
  } rows[] = {
      {NOWHERE, "0", "", {question, {"--info", "--no-markup", "--title=ZarnokLaunch",
                                     "--text=ZarnoLaunch installed successfully!"}}, true},
      {NOWHERE, "1", "", {question}, false},
      {NOWHERE, "0", "-quiet", {}, false},
      {USER, "0", "", {usage}, false},
      {SYSTEM, "0", "", {usage}, false},
  };
  setDisplays(":9", nullptr);
  installGame();
  for (const Row &row : rows) {
    std::string home[] = {"", support::makeTempDir(), support::makeTempDir()};
    setEnv("XDG_DATA_HOME", home[USER]);
    setEnv("XDG_DATA_DIRS", home[SYSTEM]);
    if (row.registered != NOWHERE) registerLauncher(home[row.registered]);
    newBin();
    install("zenity", row.answer);
    Args args;
    if (*row.quiet) args.push_back(row.quiet);
    EXPECT_EQ(support::runLauncher(args).status, 1);
    std::vector<Args> seen, wanted = row.dialogs;
    for (const Call &call : calls()) seen.push_back(call.args);
    // The success box shows the icon that the registration wrote.
    if (row.installed) wanted[1].insert(wanted[1].begin() + 2, "--window-icon=" + home[USER] +
                                                                  "/icons/hicolor/48x48/apps/zarnolaunch.png");
    EXPECT_EQ(seen, wanted) << "registered " << row.registered << ", answer " << row.answer;
    EXPECT_EQ(support::fileExists(home[USER] + "/applications/zarnolaunch.desktop"),
              row.installed || row.registered == USER);
  }
}

TEST_F(Dialog, ARealXmessageWindowUnderXvfb) {
  std::string xvfbPath = findProgram(path, "Xvfb"), xdotool = findProgram(path, "xdotool"),
              xmessage = findProgram(path, "xmessage"), xwininfo = findProgram(path, "xwininfo");
  if (xvfbPath.empty() || xdotool.empty() || xmessage.empty() || xwininfo.empty())
    GTEST_SKIP() << "needs Xvfb (xvfb), xdotool and xmessage with xwininfo (x11-utils)";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);

  // Xvfb picks a free display and, once ready, writes its number and a line
  // end to its standard output (-displayfd 1).  -noreset: by default the
  // server resets whenever its last client leaves, and an xwininfo that
  // leaves just as xmessage arrives takes xmessage down with it.
  support::setEnv("PATH", path);
  std::string number = support::joinPath(dir, "display"), xvfbLog = support::joinPath(dir, "xvfb.log");
  xvfb = start({xvfbPath, "-displayfd", "1", "-nolisten", "tcp", "-noreset"}, number, xvfbLog);
  ASSERT_GT(xvfb, 0);
  int ended = -1;  // Xvfb's status, and later the launcher's, should one end early
  while (support::readFile(number).find('\n') == std::string::npos &&
         (ended = waitUntil(xvfb, std::chrono::steady_clock::now())) < 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (ended >= 0) xvfb = -1;
  number = support::readFile(number);
  ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start:\n" << support::readFile(xvfbLog);
  number.resize(number.find('\n'));

  // Only the real xmessage is on PATH; the usage box of a launcher that is
  // registered comes up in it.
  newBin();
  registerLauncher(getenv("XDG_DATA_HOME"));
  ASSERT_EQ(symlink(xmessage.c_str(), support::joinPath(bin, "xmessage").c_str()), 0);
  setDisplays((":" + number).c_str(), nullptr);
  std::string errors = support::joinPath(dir, "stderr");
  launcher = start({support::launcherPath()}, "", errors);
  ASSERT_GT(launcher, 0);

  std::string window, line, tree;
  ended = -1;
  while (window.empty() && ended < 0 && std::chrono::steady_clock::now() < deadline) {
    tree = output({xwininfo, "-root", "-tree"});
    size_t at = tree.find("\"ZarnoLaunch Usage\": (\"xmessage\"");
    if (at != std::string::npos) {
      size_t begin = tree.rfind('\n', at) + 1;
      line = tree.substr(begin, tree.find('\n', at) - begin);
      window = line.substr(line.find("0x"), line.find(' ', line.find("0x")) - line.find("0x"));
    } else if ((ended = waitUntil(launcher, std::chrono::steady_clock::now())) >= 0) {
      launcher = -1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ASSERT_FALSE(window.empty()) << "no xmessage window; the launcher's status " << ended
                               << "; windows:\n" << tree << "standard error:\n"
                               << support::readFile(errors);
  if ((ended = waitUntil(launcher, std::chrono::steady_clock::now())) >= 0) launcher = -1;
  ASSERT_LT(ended, 0) << "the launcher did not wait for the dialog";

  // Return presses the default button, OK, and xmessage ends with its value 0.
  output({xdotool, "key", "--window", window, "Return"});
  int status = waitUntil(launcher, deadline);
  if (status >= 0) launcher = -1;  // else TearDown ends it
  EXPECT_EQ(status, 1) << line;
  EXPECT_EQ(support::readFile(errors).rfind("ZarnoLaunch Usage\n" + support::usageText(), 0), 0u);
}

}  // namespace
