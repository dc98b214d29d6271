#include "report/report.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

unsigned statusFlags = SHOW_ALERTS;
FILE *logFile = nullptr;

static const char defaultErrorTitle[] = "ZarnoLaunch encountered an error:";

void formatLogTime(const struct tm *when, char *out, size_t size) {
  // strftime("%a %b") would follow the C locale setting; the log format is
  // fixed, so the names are spelled out here.
  static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int day = when->tm_wday >= 0 && when->tm_wday < 7 ? when->tm_wday : 0;
  int month = when->tm_mon >= 0 && when->tm_mon < 12 ? when->tm_mon : 0;
  snprintf(out, size, "%s %s %02d %02d:%02d:%02d %04d", days[day], months[month],
           when->tm_mday, when->tm_hour, when->tm_min, when->tm_sec,
           when->tm_year + 1900);
}

void openLog(const char *path) {
  if (logFile) {
    fclose(logFile);
    logFile = nullptr;
  }
  if (!path) return;
  bool existed = platFileExists(path);
  // Text mode: on Windows every line end becomes CR LF.  A log that cannot
  // be opened is not worth interrupting the player for; the run goes on.
  logFile = fopen(path, "at");
  if (!logFile) return;
  if (existed) logPrintf("\n");
  time_t now = time(nullptr);
  struct tm local = {};
  const struct tm *converted = localtime(&now);
  if (converted) local = *converted;
  char stamp[160];  // room for any year a broken clock may report
  formatLogTime(&local, stamp, sizeof stamp);
  logPrintf("[%s]", stamp);
}

void closeLog(void) { openLog(nullptr); }

void logPrintf(const char *format, ...) {
  if (!logFile) return;
  va_list args;
  va_start(args, format);
  vfprintf(logFile, format, args);
  va_end(args);
  fputs("\n", logFile);
}

void logLine(const char *line) { logPrintf("%s", line); }

// The alert's two lines go to the log as they always have; the box gets
// what the player reads.  A player who reads a translation has it in the
// log too, after them: a setup that runs the launcher quietly shows it.
static void show(const char *english, const char *shown, const char *title, const char *boxTitle,
                 unsigned style) {
  logPrintf("Alert title: [%s]", title);
  logPrintf("Alert text:  %s", english);
  if (platTranslating()) logPrintf("Shown text:  %s", shown);
  if (statusFlags & SHOW_ALERTS) platMessageBox(shown, boxTitle, style);
}

void alert(const char *text, const char *title, unsigned style) {
  show(text, platText(text), title, platText(title), style);
}

void fatal(const char *text, const char *title, unsigned style) {
  alert(text, title, style);
  exit(1);  // the exit-time handler flushes and closes the log
}

void fatalAdvising(const char *text, const char *next, const char *title, unsigned style) {
  if (!next) fatal(text, title, style);
  char shown[8192];
  snprintf(shown, sizeof shown, "%s\n\n%s", platText(text), platText(next));
  show(text, shown, title, platText(title), style);
  exit(1);
}

void fatalError(const char *english, const char *shown) {
  show(english, shown, defaultErrorTitle, "ZarnoLaunch", STYLE_ERROR);
  exit(1);
}

// A message is only shown: one too long for its buffer is cut, not lost.
void fatalFormat(const char *next, const char *detail, const char *format, ...) {
  char english[4096], shown[8192];
  va_list args;
  va_start(args, format);
  platFormatTexts(english, sizeof english, shown, sizeof shown, next, format, args);
  va_end(args);
  size_t length = strlen(shown);
  if (detail && *detail && length < sizeof shown)
    snprintf(shown + length, sizeof shown - length, "\n\n%s", detail);
  fatalError(english, shown);
}
