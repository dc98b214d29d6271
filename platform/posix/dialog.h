// Message boxes as dialogs on a Linux desktop.
#ifndef ZARNOLAUNCH_POSIX_DIALOG_H
#define ZARNOLAUNCH_POSIX_DIALOG_H

// Shows the message in a dialog window and waits until it is closed.  False
// when there is no display, no dialog program, or the program failed.
bool showDialog(const char *text, const char *title, unsigned style);

#endif
