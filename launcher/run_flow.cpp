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

// The usage text names the boxes by the system's name for them: Windows
// message boxes, which scripts and support forums have long quoted, and
// the Linux desktop's dialogs.
void usage(void) { fatal(platUsage(), N_("ZarnoLaunch Usage"), STYLE_INFO); }

// "-install", and how it ends: the title differs from the launcher's name,
// and the status is 1 as for every end but a launch: installers and scripts
// that run "-install" have always seen both, and may test for them.  So has
// the first line: what the player should know about the launcher's place
// only follows it.
[[noreturn]] static void installAndEnd(void) {
  bool copied = install();
  fatalAdvising(N_("ZarnoLaunch installed successfully!"), platInstallAdvice(modulePath(), copied),
                "ZarnokLaunch", STYLE_INFO);
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
      installAndEnd();
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
  if (!linkFile && !serverLink) {
    // Started from a file manager, the launcher may offer to register
    // itself; a player who declines has seen enough.
    int offer = statusFlags & SHOW_ALERTS ? platOfferInstall(modulePath()) : PLAT_OFFER_NOT_MADE;
    if (offer == PLAT_OFFER_TAKEN) installAndEnd();
    if (offer == PLAT_OFFER_DECLINED) return 1;
    usage();
  }

  // The game is looked up before the link file is read: without the game no
  // link file can be of use, good or bad.
  logPrintf("path to Zarnok: \"%s\"", gamePath());
  if (serverLink)
    launchFromLink(serverLink);
  else
    launchFromFile(linkFile);
  return 0;
}
