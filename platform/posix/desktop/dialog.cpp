// Message boxes as dialogs on a Linux desktop.
//
// The launcher links no toolkit, so a box is a dialog program the desktop
// already has: zenity (GTK), kdialog (KDE) or xmessage (plain X11, part of the
// X utilities).  Each is started directly (process.h), the text and the title
// as arguments of their own: no shell ever reads them.
#include "platform/posix/desktop/dialog.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "platform/posix/common/process.h"
#include "platform/posix/common/utf8.h"
#include "platform/posix/desktop/desktop.h"

namespace {

typedef std::vector<std::string> Arguments;

// What a dialog asks of the player: a message with a stop or an information
// icon and one OK button, or a question with two buttons (yes first, the
// default), whose answer is the program's exit status.
struct Kind {
  bool error;
  const char *yes, *no;  // a question's buttons, or null
};

// zenity reads its options with GLib, which converts every string option to
// UTF-8 and refuses to start at all on bytes that do not convert.  A link
// file's line, shown in an error, may be in any encoding: each bad sequence
// becomes U+FFFD, as Windows and Qt show it too.
std::string zenityText(const char *s) { return repairUtf8(s, strlen(s)); }

// "--name=value" keeps a value that begins with '-' from being read as an
// option.  --no-markup shows the text as it is: as Pango markup a '<' or '&'
// from a link file would change or blank the message, and only markup goes
// through zenity's backslash escapes.  --window-icon takes a file, not an
// icon name (it is loaded as an image, and only zenity's own "error", "info"
// and the like are names), and GLib hands it over as a file name, unconverted;
// without an installed icon there is none to give, and zenity shows its own.
Arguments zenityArguments(const char *text, const char *title, const Kind &kind) {
  Arguments args{"zenity", kind.yes ? "--question" : kind.error ? "--error" : "--info", "--no-markup"};
  std::string icon = desktopInstalledIcon();
  if (!icon.empty()) args.push_back("--window-icon=" + icon);
  args.insert(args.end(), {"--title=" + zenityText(title), "--text=" + zenityText(text)});
  if (kind.yes) args.insert(args.end(), {"--ok-label=" + zenityText(kind.yes), "--cancel-label=" + zenityText(kind.no)});
  return args;
}

// kdialog reads "\n" in a message as a line break and "\\" as one backslash,
// so every backslash is doubled (a registry key in a message keeps its own).
// It also shows a message whose first line looks like HTML ("<b>", "&lt;") as
// rich text, with no option against it; a zero-width space after each '<'
// and '&' keeps that test from seeing a tag or an entity, and shows nothing.
// The title is shown as given.  Both go in the "--name=value" form, so that
// neither kdialog's parser nor Qt's own (which takes "-reverse", "-display")
// can read a value that begins with '-' as an option.
Arguments kdialogArguments(const char *text, const char *title, const Kind &kind) {
  std::string message = kind.yes ? "--yesno=" : kind.error ? "--error=" : "--msgbox=";
  for (const char *p = text; *p; p++) {
    message += *p;
    if (*p == '\\') message += '\\';
    if (*p == '<' || *p == '&') message += "\xE2\x80\x8B";
  }
  Arguments args{"kdialog", std::string("--title=") + title};
  if (kind.yes) args.insert(args.end(), {std::string("--yes-label=") + kind.yes, std::string("--no-label=") + kind.no});
  args.push_back(message);
  return args;
}

// xmessage reads its options through the X toolkit, which looks at every
// argument wherever it stands (it knows no "--") and takes any unique
// abbreviation of an option: a message "-rv" or "-c" would be taken as an
// option and leave none, and "-help" would print a usage and exit 0.  A
// leading blank keeps the message from starting with '-' or '+'.  The value
// after -title is taken whatever it is.  There is no icon to choose.  One OK
// button, the default (Return presses it), whose value 0 is the exit status;
// a question's yes (0, the default) and no (1), their labels without the
// commas and colons that separate buttons and values there.
Arguments xmessageArguments(const char *text, const char *title, const Kind &kind) {
  std::string message = text, yes = kind.yes ? kind.yes : "OK", no = kind.no ? kind.no : "";
  if (message[0] == '-' || message[0] == '+') message.insert(0, " ");
  for (std::string *label : {&yes, &no})
    for (char &c : *label)
      if (c == ',' || c == ':') c = ' ';
  return {"xmessage", "-title", title, "-center", "-buttons", yes + ":0" + (kind.yes ? "," + no + ":1" : ""),
          "-default", yes, message};
}

struct DialogProgram {
  bool x11Only;  // zenity and kdialog also run on Wayland; xmessage needs X
  Arguments (*arguments)(const char *text, const char *title, const Kind &kind);
};

const DialogProgram zenity = {false, zenityArguments};
const DialogProgram kdialog = {false, kdialogArguments};
const DialogProgram xmessage = {true, xmessageArguments};

bool isSet(const char *name) {
  const char *value = getenv(name);
  return value && value[0];
}

// XDG_CURRENT_DESKTOP lists the desktop's names, most specific first
// ("ubuntu:GNOME").  A Qt desktop among them puts kdialog first; GNOME, the
// other GTK desktops and a session that names none get zenity first.
bool qtDesktop() {
  static const char *const qtNames[] = {"KDE", "LXQt"};
  const char *p = getenv("XDG_CURRENT_DESKTOP");
  while (p && *p) {
    size_t length = strcspn(p, ":");
    for (const char *name : qtNames)
      if (strlen(name) == length && strncasecmp(p, name, length) == 0) return true;
    p += length;
    if (*p == ':') p++;
  }
  return false;
}

enum Outcome { NOT_STARTED, CLOSED, FAILED };

Outcome runDialog(const Arguments &args) {
  // The dialog's standard streams are /dev/null: GTK's and Qt's own warnings
  // would otherwise follow the message on the launcher's standard error,
  // which is meant to say what the box said and nothing else.
  StartOptions options;
  options.searchPath = true;
  options.quietInput = options.quietOutput = true;
  options.errorFd = -2;
  pid_t pid;
  if (startProgram(args, options, &pid) != 0) return NOT_STARTED;
  return waitProgram(pid) ? CLOSED : FAILED;
}

// Runs the first dialog program that can be started.  CLOSED when it ended
// with status 0: the message was seen, or the question answered yes.
Outcome runFirstDialog(const char *text, const char *title, const Kind &kind) {
  bool x11 = isSet("DISPLAY");
  if (!x11 && !isSet("WAYLAND_DISPLAY")) return NOT_STARTED;

  const DialogProgram *order[] = {&zenity, &kdialog, &xmessage};
  if (qtDesktop()) {
    order[0] = &kdialog;
    order[1] = &zenity;
  }

  // Only a program that cannot be started (not installed, not executable)
  // makes way for the next.  Once one has started, its end decides, whatever
  // it was, because an exit status cannot tell a dialog that never appeared
  // from one the player saw and closed: zenity ends with 1 both when GTK
  // cannot open the display and when the player presses Escape, and xmessage
  // with 1 both on its own errors and when the window manager closes it.
  // Trying the next program after a failure would show some messages twice.
  // A message that no dialog showed is still on standard error.
  for (const DialogProgram *program : order) {
    if (program->x11Only && !x11) continue;
    Outcome outcome = runDialog(program->arguments(text, title, kind));
    if (outcome != NOT_STARTED) return outcome;
  }
  return NOT_STARTED;
}

}  // namespace

bool showDialog(const char *text, const char *title, unsigned style) {
  // The stop icon; the others show as information.
  return runFirstDialog(text, title, {(style & 0xF0u) == 0x10u, nullptr, nullptr}) == CLOSED;
}

int askDialog(const char *text, const char *title, const char *yes, const char *no) {
  Outcome outcome = runFirstDialog(text, title, {false, yes, no});
  return outcome == NOT_STARTED ? -1 : outcome == CLOSED;
}
