// Message boxes as dialogs on a Linux desktop.
#ifndef ZARNOLAUNCH_POSIX_DIALOG_H
#define ZARNOLAUNCH_POSIX_DIALOG_H

// Shows the message in a dialog window (zenity, kdialog or xmessage, the
// desktop's own kind first) and waits until it is closed.  style is the
// message box's: 0x10 shows a stop icon, anything else an information icon.
// True once a dialog program has shown it and ended normally; false when
// there is no display, no dialog program, or the program failed.  Only a
// program that cannot be started at all makes way for the next one (see
// dialog.cpp), so a message is never shown twice.
bool showDialog(const char *text, const char *title, unsigned style);
// Asks a question in a dialog with two buttons, yes and no (their labels),
// yes the default.  1 when the player chose yes; 0 when they chose no or
// closed the dialog (or it failed); -1 when no dialog could ask.
int askDialog(const char *text, const char *title, const char *yes, const char *no);

#endif
