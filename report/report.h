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
// An alert: its title and text go to the log as they always have, in
// English (installers, scripts and support forums read them); the box shows
// them in the player's language, which a line "Shown text:  " after them
// gives too when it is not English.
void alert(const char *text, const char *title, unsigned style);
[[noreturn]] void fatal(const char *text, const char *title, unsigned style);
// The same with next, a paragraph that says what to do (marked N_, or
// null), after the text in the box; the log keeps the text alone.
[[noreturn]] void fatalAdvising(const char *text, const char *next, const char *title, unsigned style);
// Ends the run with an error: english goes to the log under the default
// error title, and shown, the same in the player's language with what to do
// next, to a box with a stop icon.  The box's title is the launcher's name
// alone, which even the narrowest box shows whole.
[[noreturn]] void fatalError(const char *english, const char *shown);
// The same composed from an English format (marked N_) and its arguments:
// the box has the format's translation and then next, a paragraph that
// says what to do, and detail (already in the player's language), when given.
[[noreturn]] void fatalFormat(const char *next, const char *detail, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// "Www Mmm DD HH:MM:SS YYYY" with English names whatever the locale says.
// out must hold at least 32 bytes.
void formatLogTime(const struct tm *when, char *out, size_t size);

#endif
