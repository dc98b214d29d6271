// Status reporting: the optional log file, message boxes, and the one way a
// run ends on error.
#ifndef ZARNOLAUNCH_REPORT_H
#define ZARNOLAUNCH_REPORT_H

#include <cstdio>
#include <ctime>

// Bit 0 of statusFlags: message boxes are shown.  Cleared by "-quiet".
#define SHOW_ALERTS 0x1u

#define STYLE_ERROR 0x10u  // stop icon, OK button
#define STYLE_INFO 0x40u   // information icon, OK button

extern unsigned statusFlags;
extern FILE *logFile;

void openLog(const char *path);
void closeLog(void);
void logPrintf(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// One line to the log as it is (a PlatNote for the platform's notes).
void logLine(const char *line);
void alert(const char *text, const char *title, unsigned style);
[[noreturn]] void fatal(const char *text, const char *title, unsigned style);
// The same with a second paragraph for the box, which says more than the
// log's alert line (where the launcher looked, say).  The log's alert lines
// stay as they always were: installers and scripts read them.
[[noreturn]] void fatalDetailed(const char *text, const char *detail, const char *title,
                                unsigned style);

// "Www Mmm DD HH:MM:SS YYYY" with English names whatever the locale says.
// out must hold at least 32 bytes.
void formatLogTime(const struct tm *when, char *out, size_t size);

#endif
