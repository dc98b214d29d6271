// Finding the Windows game under Wine (game.cpp): where it looks, and how
// one prefix is read.
#ifndef ZARNOLAUNCH_POSIX_GAME_H
#define ZARNOLAUNCH_POSIX_GAME_H

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/games/games.h"

// A Wine prefix to look for the game in: one a game manager keeps, with
// how that manager starts a program there, or a bare one (no manager) that
// plain Wine starts programs in.
struct WinePlace : ManagedPrefix {
  bool chosenOutright = false;  // $WINEPREFIX: the player's own choice
};

// printf into a string, for the texts of the search.
std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The prefixes to look in, in the order they are looked in; looked gets a
// line for the player for each place looked at.
std::vector<WinePlace> winePlaces(PlatNote note, std::vector<std::string> &looked);

// Reads the game's open command (HKEY_CLASSES_ROOT\key) from one prefix:
// the user's classes (user.reg) first, then the machine's (system.reg), a
// REG_EXPAND_SZ command expanded with the prefix's own variables.  FOUND
// with the Linux path of the program the command names, as Windows would
// read the command there; NO_PROGRAM when that program is not there;
// NO_COMMAND when there is no command (or no readable registry).
int lookInPrefix(const std::string &prefix, const char *key, PlatNote note, std::string &program);

#endif
