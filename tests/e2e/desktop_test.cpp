// The Linux desktop: "-install" and "-uninstall" with the freedesktop tools.
// xdg-open runs in its generic mode, which only needs a display to be named;
// gio needs no display at all.  Each test has XDG folders of its own.
#include <stdlib.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "e2e/fixture.h"
#include "platform/posix/desktop/desktop.h"

namespace fs = std::filesystem;

namespace {

const char success[] = "Alert text:  ZarnoLaunch installed successfully!";

class Desktop : public LauncherTest {
 protected:
  std::string data, config, entry, package, link, mimeapps, links;
  std::vector<std::string> icons;

  void SetUp() override {
    LauncherTest::SetUp();
    std::string home = support::makeTempDir();
    data = home + "/share";
    config = home + "/config";
    entry = data + "/applications/zarnolaunch.desktop";
    package = data + "/mime/packages/zarnolaunch.xml";
    for (size_t i = 0; i < desktopIconFileCount; i++)
      icons.push_back(data + "/icons/hicolor/" + desktopIconFiles[i].path);
    link = data + "/zarnolaunch/zarnolaunch";
    mimeapps = config + "/mimeapps.list";
    setEnv("XDG_DATA_HOME", data);
    setEnv("XDG_CONFIG_HOME", config);
    setEnv("XDG_CURRENT_DESKTOP", "X-Generic");
    setEnv("DISPLAY", ":0");
    installGame();
    links = dir + "/server links";
    fs::create_directory(links);
  }
  // "-install" or "-uninstall" by a launcher, with a fresh log.
  support::RunResult registration(const std::string &option,
                                  const std::string &launcher = support::launcherPath()) {
    ::remove(log.c_str());
    return support::run({launcher, "-quiet", "-logfile", log, option});
  }
  // What "-install" by a launcher registers: the build's own launcher, or
  // the copy in ~/.local/bin that one in a temporary folder makes, as
  // every other of these tests' launchers is.
  static std::string registered(const std::string &launcher) {
    return launcher == support::launcherPath() ? support::registeredLauncher()
                                               : std::string(getenv("HOME")) + "/.local/bin/zarnolaunch";
  }
  // "-install" that logs nothing but the notes given: every tool ran.  self
  // is what it registers, when not registered(launcher).
  void install(const std::string &launcher, const std::vector<std::string> &notes = {},
               std::string self = "") {
    if (self.empty()) self = registered(launcher);
    EXPECT_EQ(registration("-install", launcher).status, 1);
    std::vector<std::string> expected{"Running -install logic."};
    expected.insert(expected.end(), notes.begin(), notes.end());
    if (self != launcher)
      expected.push_back("Registered the launcher's copy \"" + self + "\": it was in a temporary folder.");
    expected.insert(expected.end(), {"Alert title: [ZarnokLaunch]", success});
    EXPECT_EQ(logLines(), expected);
  }

  // A command's status, with its standard output and error together.
  static support::RunResult tool(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$@\" 1>&2", "sh"});
    return support::run(argv);
  }

  // A copy of the launcher in a new folder of that name.
  static std::string launcherIn(const std::string &name) {
    std::string folder = support::joinPath(support::makeTempDir(), name);
    fs::create_directory(folder);
    fs::copy_file(support::launcherPath(), folder + "/zarnolaunch");
    return folder + "/zarnolaunch";
  }

  std::string query(const std::vector<std::string> &args) {
    std::vector<std::string> argv{"xdg-mime", "query"};
    argv.insert(argv.end(), args.begin(), args.end());
    support::RunResult r = tool(argv);
    EXPECT_EQ(r.status, 0) << r.errorOutput;
    return r.errorOutput;
  }
};

TEST_F(Desktop, OpensServerFilesAndLinks) {
  const std::vector<std::string> xdgOpen{"xdg-open"}, gioOpen{"gio", "open"};
  std::string file = links + "/alpha.zarnok";
  ASSERT_TRUE(support::writeFile(file, "[ZarnoLaunch]\nServer=alpha.beta.gamma:7777\n"));
  std::string build = support::programDir();
  // A launcher in a temporary folder registers its copy in ~/.local/bin, in
  // homes whose paths need a link or quoting in Exec.
  std::string blank = support::makeTempDir() + "/Zarno Home";
  std::string quoted = support::makeTempDir() + "/say \"hi\" $HOME `id` \\ 'x'";
  struct Case {
    std::string launcher, dataHome;
    std::vector<std::vector<std::string>> openers;
    std::vector<std::string> notes;
    // The player's user-dirs.dirs and HOME; whether the launcher is in a
    // temporary or download folder, and so registers its copy.
    std::string userDirs, home;
    bool copies;
  } cases[] = {
      {support::launcherPath(), data, {xdgOpen, gioOpen}, {}, "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n",
       getenv("HOME"), support::registeredLauncher() != support::launcherPath()},
      {launcherIn("Zarno Launch"), data, {xdgOpen, gioOpen}, {}, "", blank, true},
      // Neither the copy's path nor the link's would pass unquoted: gio
      // runs the quoted path, xdg-open 1.1.3 cannot, and the log says so.
      {launcherIn("Zarno Launch"), support::makeTempDir() + "/data home", {gioOpen},
       {"The desktop entry has to quote the launcher's path \"" + quoted +
        "/.local/bin/zarnolaunch\" in Exec; xdg-open of xdg-utils 1.1.3 cannot run it, gio can."},
       "", quoted, true},
      // Run from the download folder, wherever that is; its copy goes into
      // the build tree, and is taken away below.
      {support::launcherPath(), data, {}, {},
       "# the user's own\nXDG_DOWNLOAD_DIR=\"$HOME/" + build.substr(build.rfind('/') + 1) + "\"\n",
       build.substr(0, build.rfind('/')), true},
  };
  for (const Case &c : cases) {
    setEnv("XDG_DATA_HOME", c.dataHome);
    setEnv("HOME", c.home);
    fs::create_directories(config);
    ASSERT_TRUE(support::writeFile(config + "/user-dirs.dirs", c.userDirs));
    support::RunResult shown = support::run({"/usr/bin/env", "-u", "DISPLAY", c.launcher, "-install"});
    std::string copy = c.home + "/.local/bin/zarnolaunch";
    std::string self = c.copies ? copy : c.launcher;
    EXPECT_EQ(support::fileExists(copy), c.copies) << c.launcher;
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.errorOutput, std::string("ZarnokLaunch\nZarnoLaunch installed successfully!\n") +
                                     (c.copies ? "\nZarnoLaunch was in a temporary or download folder, so it "
                                               "has copied itself to ~/.local/bin/zarnolaunch and registered "
                                               "that copy: the download may be deleted.\n"
                                             : ""))
        << c.launcher;
    std::string entryHere = c.dataHome + "/applications/zarnolaunch.desktop";
    if (c.copies) {
      EXPECT_EQ(support::readFile(copy), support::readFile(c.launcher));
    }
    install(c.launcher, c.notes, self);
    std::string text = support::readFile(entryHere);
    EXPECT_EQ(desktopEntryValue(text, "TryExec"), self);
    // A path Exec cannot hold as it is goes through a link in the data
    // folder, when that one can (the build tree's own path may have blanks).
    std::string linked = c.dataHome + "/zarnolaunch/zarnolaunch";
    bool throughLink = !desktopPlainPath(self) && desktopPlainPath(linked);
    std::string program = desktopExecProgram(desktopEntryValue(text, "Exec"));
    EXPECT_EQ(program, throughLink ? linked : self);
    if (throughLink) {
      EXPECT_EQ(fs::read_symlink(program), self);
    }
    support::RunResult r = tool({"desktop-file-validate", entryHere});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.errorOutput, "");

    // The file in a folder with a blank in its name, and a link; the game
    // starts on each one's server, whichever opens it.
    const std::pair<std::string, std::string> targets[] = {
        {file, "alpha.beta.gamma:7777"},
        {"zarnolaunch://delta.epsilon.zeta:1234/", "delta.epsilon.zeta:1234"}};
    for (const std::vector<std::string> &opener : c.openers) {
      for (const auto &target : targets) {
        std::vector<std::string> argv = opener;
        argv.push_back(target.first);
        r = tool(argv);
        EXPECT_EQ(r.status, 0) << opener[0] << " " << target.first << ": " << r.errorOutput;
        EXPECT_EQ(gameArguments(), std::vector<std::string>{target.second})
            << c.launcher << ": " << opener[0] << " " << target.first;
      }
    }
    // The copy's "-uninstall" takes it away with the registration.
    if (c.copies) {
      EXPECT_EQ(registration("-uninstall", copy).status, 0) << logText();
      EXPECT_FALSE(support::fileExists(copy) || support::fileExists(entryHere)) << copy;
      std::error_code ignored;
      for (const char *folder : {"/.local/bin", "/.local"}) fs::remove(c.home + folder, ignored);
    }
  }
}

TEST_F(Desktop, TheDesktopToolsSeeTheRegistration) {
  const std::string others = "# set by hand\n[Default Applications]\ntext/plain=editor.desktop;\n\n"
                             "[Added Associations]\ntext/plain=editor.desktop;viewer.desktop;\n";
  // Kept with the user's other settings, and linked into place.
  std::string kept = dir + "/mimeapps.list";
  ASSERT_TRUE(support::writeFile(kept, others));
  ASSERT_TRUE(fs::create_directories(config));
  fs::create_symlink(kept, mimeapps);
  install(support::launcherPath());
  EXPECT_TRUE(fs::is_symlink(mimeapps));
  std::string file = links + "/beta.zarnok";
  ASSERT_TRUE(support::writeFile(file, "[ZarnoLaunch]\nServer=a.b.c\n"));
  EXPECT_EQ(query({"filetype", file}), "application/zarnolaunch\n");
  EXPECT_EQ(query({"default", "application/zarnolaunch"}), "zarnolaunch.desktop\n");
  EXPECT_EQ(query({"default", "x-scheme-handler/zarnolaunch"}), "zarnolaunch.desktop\n");
  EXPECT_EQ(support::readFile(kept),
            "# set by hand\n[Default Applications]\n"
            "application/zarnolaunch=zarnolaunch.desktop;\n"
            "x-scheme-handler/zarnolaunch=zarnolaunch.desktop;\n"
            "text/plain=editor.desktop;\n\n"
            "[Added Associations]\ntext/plain=editor.desktop;viewer.desktop;\n");
  // The icon in every size, each PNG as large as its folder says, and the SVG.
  const char *const sizes[] = {"16", "24", "32", "48", "64", "128", "256"};
  ASSERT_EQ(desktopIconFileCount, std::size(sizes) + 1);
  for (size_t i = 0; i < desktopIconFileCount; i++) {
    std::string file = support::readFile(icons[i]);
    EXPECT_EQ(file, std::string((const char *)desktopIconFiles[i].bytes, desktopIconFiles[i].size)) << icons[i];
    if (i == std::size(sizes)) {
      EXPECT_EQ(desktopIconFiles[i].path, std::string("scalable/apps/zarnolaunch.svg"));
      EXPECT_EQ(file.rfind("<svg ", 0), 0u);
      continue;
    }
    int n = std::stoi(sizes[i]);
    EXPECT_EQ(desktopIconFiles[i].path, std::string(sizes[i]) + "x" + sizes[i] + "/apps/zarnolaunch.png");
    EXPECT_EQ(file.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(file.substr(16, 8), std::string("\0\0", 2) + char(n >> 8) + char(n & 255) +
                                      std::string("\0\0", 2) + char(n >> 8) + char(n & 255));
  }
}

TEST_F(Desktop, UninstallLeavesNothingOfOursAndEverythingElse) {
  const std::string others = "[Default Applications]\ntext/plain=editor.desktop;\n\n"
                             "[Added Associations]\napplication/zarnolaunch=viewer.desktop;\n";
  ASSERT_TRUE(fs::create_directories(config));
  ASSERT_TRUE(support::writeFile(mimeapps, others));
  // A copy with a blank in its path, reached through the link.
  setEnv("HOME", support::makeTempDir() + "/Zarno Home");
  std::string launcher = launcherIn("Zarno Launch");
  install(launcher);
  ASSERT_TRUE(fs::is_symlink(link));
  // What a file manager's "Open With" would add.
  std::string text = support::readFile(mimeapps), added = "application/zarnolaunch=viewer.desktop;";
  text.replace(text.find(added), added.size(), added + "zarnolaunch.desktop;");
  ASSERT_TRUE(support::writeFile(mimeapps, text));

  support::RunResult r = registration("-uninstall", launcher);
  EXPECT_EQ(r.status, 0) << logText();
  EXPECT_EQ(support::readFile(mimeapps), others);
  std::vector<std::string> ours = icons;
  ours.insert(ours.end(), {entry, package, link});
  ours.push_back(registered(launcher));
  for (const std::string &path : ours) EXPECT_FALSE(support::fileExists(path) || fs::is_symlink(path)) << path;
  std::string file = links + "/gamma.zarnok";
  ASSERT_TRUE(support::writeFile(file, "[ZarnoLaunch]\nServer=a.b.c\n"));
  EXPECT_EQ(query({"filetype", file}), "text/plain\n");
  EXPECT_EQ(query({"default", "application/zarnolaunch"}), "");
  EXPECT_EQ(query({"default", "x-scheme-handler/zarnolaunch"}), "");
  // A second run has nothing left to do.
  EXPECT_EQ(registration("-uninstall", launcher).status, 0);
  EXPECT_EQ(support::readFile(mimeapps), others);
}

TEST_F(Desktop, AnotherCopysRegistrationIsLeftWhileItExists) {
  if (support::registeredLauncher() != support::launcherPath())
    GTEST_SKIP() << "the build is in a temporary folder: its launcher stands for the copy in ~/.local/bin";
  setEnv("HOME", support::makeTempDir() + "/Zarno Home");
  install(launcherIn("Zarno Launch"));
  std::string other = std::string(getenv("HOME")) + "/.local/bin/zarnolaunch";  // its copy
  std::string before = support::readFile(mimeapps);
  EXPECT_EQ(registration("-uninstall").status, 0);
  EXPECT_NE(logText().find("Another copy of ZarnoLaunch is registered with the desktop; leaving it: \"" +
                           other + "\""),
            std::string::npos)
      << logText();
  EXPECT_TRUE(support::fileExists(entry));
  EXPECT_TRUE(support::fileExists(package));
  EXPECT_EQ(fs::read_symlink(link), other);
  EXPECT_EQ(support::readFile(mimeapps), before);

  // Once that copy is gone, its registration is stale, and goes.
  fs::remove(other);
  EXPECT_EQ(registration("-uninstall").status, 0);
  EXPECT_FALSE(support::fileExists(entry));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_FALSE(support::fileExists(mimeapps));  // it held nothing but ours
  EXPECT_EQ(query({"default", "application/zarnolaunch"}), "");
}

TEST_F(Desktop, AFileThatCannotBeWrittenOrRemovedIsNamed) {
  std::string blocker = dir + "/a file";
  ASSERT_TRUE(support::writeFile(blocker, "x"));
  struct Case {
    std::string option, dataHome, directoryAt, named, message;
  } cases[] = {
      {"-install", blocker + "/share", "", blocker + "/share/mime/packages/zarnolaunch.xml",
       "register itself: writing \"%s\" failed (error 3)"},
      {"-install", data, mimeapps, mimeapps, "register itself: writing \"%s\" failed (error 5)"},
      {"-install", data, entry, entry, "register itself: writing \"%s\" failed (error 5)"},
      {"-uninstall", data, entry + "/x", entry, "unregister itself: removing \"%s\" failed (error 5)"},
  };
  for (const Case &c : cases) {
    support::setEnv("XDG_DATA_HOME", c.dataHome);
    if (!c.directoryAt.empty()) {
      ASSERT_TRUE(fs::create_directories(c.directoryAt));
    }
    // Quiet: with a display named, a box would try to open a window.
    EXPECT_EQ(registration(c.option).status, 1) << c.named;
    std::string message = c.message;
    message.replace(message.find("%s"), 2, c.named);
    EXPECT_NE(logText().find("Alert text:  ZarnoLaunch could not " + message + ".\n"), std::string::npos)
        << logText();
    fs::remove_all(data);
    fs::remove_all(config);
  }
}

TEST_F(Desktop, MissingOrFailingToolsAreOnlyLogged) {
  // No tool on the PATH at all; then update-mime-database failing for real,
  // on a directory where it writes its cache.
  std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setEnv("PATH", support::makeTempDir());
  const std::string missing = " could not be started (No such file or directory); the desktop's "
                              "files are written and take effect when it next runs.";
  install(support::launcherPath(),
          {"update-mime-database" + missing, "update-desktop-database" + missing});
  support::setEnv("PATH", oldPath);
  std::vector<std::string> written = icons;
  written.insert(written.end(), {entry, package, mimeapps});
  for (const std::string &file : written) EXPECT_TRUE(support::fileExists(file)) << file;

  ASSERT_TRUE(fs::create_directories(data + "/mime/mime.cache.new"));
  registration("-install");
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 4u) << logText();
  EXPECT_EQ(lines[1].rfind("update-mime-database \"" + data + "/mime\" failed (exit status 1)", 0), 0u)
      << lines[1];
  EXPECT_EQ(lines[3], success);
}

}  // namespace
