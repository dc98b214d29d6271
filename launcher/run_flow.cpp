// The run flow: the command line, walked in order, and how a run ends.
#include <cstdlib>
#include <cstring>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "registry/registry.h"
#include "report/report.h"

static bool isOption(const char *arg, const char *option) {
  return platCompareNoCase(arg, option) == 0;
}

// A server link, "zarnolaunch://host:port", as browsers hand it over.  The
// scheme is compared without regard to case, as URL schemes are.
static bool isServerLink(const char *arg) {
  static const char scheme[] = "zarnolaunch:";
  char head[sizeof scheme];
  size_t length = strnlen(arg, sizeof scheme - 1);
  memcpy(head, arg, length);
  head[length] = '\0';
  return platCompareNoCase(head, scheme) == 0;
}

void usage(void) {
  fatal(N_("usage: ZarnoLaunch [ -quiet | -install ] file.zarnok\n"
        "file.zarnok should be an INI file of this form:\n"
        "\t[ZarnoLaunch]\n"
        "\tServer=play.zarnok.net:7777\n"
        "\n"
        "-quiet: display no status (by default, ZarnoLaunch displays status using "
        "Windows message boxes)\n"
        "-install: register ZarnoLaunch to handle the .zarnok extension\n"),
        N_("ZarnoLaunch Usage"), STYLE_INFO);
}

int launcherMain(int argc, char **argv) {
  // First of all, so that every way out, each fatal included, closes the log.
  atexit(closeLog);

  const char *linkFile = nullptr;
  const char *serverLink = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    if (isOption(arg, "-quiet")) {
      statusFlags &= ~SHOW_ALERTS;
    } else if (isOption(arg, "-launch")) {
      launchEnabled = !launchEnabled;
    } else if (isOption(arg, "-logfile")) {
      ++i;
      openLog(i < argc ? argv[i] : nullptr);
    } else if (isOption(arg, "-install")) {
      install();
      // The title differs from the launcher's name, and the status is 1 as
      // for every end but a launch: installers and scripts that run
      // "-install" have always seen both, and may test for them.  So has the
      // first line: advice about where the launcher is only follows it.
      fatalAdvising(N_("ZarnoLaunch installed successfully!"), platInstallAdvice(modulePath()),
                    "ZarnokLaunch", STYLE_INFO);
    } else if (isOption(arg, "-uninstall")) {
      uninstall();
      alert(N_("ZarnoLaunch uninstalled successfully!"), "ZarnoLaunch", STYLE_INFO);
      return 0;
    } else if (isServerLink(arg)) {
      // The shell puts a link into the open command's "%1" as it came.  A
      // crafted one can close that quote and add arguments of its own, so
      // nothing may follow a link: not "-install", not "-logfile PATH".
      if (i + 1 < argc)
        // Translators: the server link, which other arguments follow.
        fatalFormat(askForANewLink, nullptr, N_("A server link must be the last argument:\n\t%s"), arg);
      serverLink = arg;
    } else if (platFileExists(arg)) {
      linkFile = arg;  // the last existing path wins
    }
  }
  if (!linkFile && !serverLink) usage();

  // The game is looked up before the link file is read: without the game no
  // link file can be of use, good or bad.
  logPrintf("path to Zarnok: \"%s\"", gamePath());
  if (serverLink)
    launchFromLink(serverLink);
  else
    launchFromFile(linkFile);
  return 0;
}
