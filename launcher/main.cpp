#include <cstdlib>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "registry/registry.h"
#include "report/report.h"

static bool isOption(const char *arg, const char *option) {
  return platCompareNoCase(arg, option) == 0;
}

void usage(void) {
  fatal("usage: ZarnoLaunch [ -quiet | -install ] file.zarnok\n"
        "file.zarnok should be an INI file of this form:\n"
        "\t[ZarnoLaunch]\n"
        "\tServer=play.zarnok.net:7777\n"
        "\n"
        "-quiet: display no status (by default, ZarnoLaunch displays status using "
        "Windows message boxes)\n"
        "-install: register ZarnoLaunch to handle the .zarnok extension\n",
        "ZarnoLaunch Usage", STYLE_INFO);
}

int launcherMain(int argc, char **argv) {
  // First of all, so that every way out, each fatal included, closes the log.
  atexit(closeLog);

  const char *linkFile = nullptr;
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
      fatal("ZarnoLaunch installed successfully!", "ZarnokLaunch", STYLE_INFO);
    } else if (platFileExists(arg)) {
      linkFile = arg;  // the last existing path wins
    }
  }
  if (!linkFile) usage();

  // The game is looked up before the link file is read: without the game no
  // link file can be of use, good or bad.
  logPrintf("path to Zarnok: \"%s\"", gamePath());
  launchFromFile(linkFile);
  return 0;
}
