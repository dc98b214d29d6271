// The Wine prefixes that Linux game managers keep: Steam with Proton,
// Heroic, Lutris and Bottles.  Each manager keeps its own prefixes and its
// own Wine or Proton, and turns off Wine's desktop integration, so a game
// installed through one is found only through the manager's own records.
// One file a manager (heroic.cpp, lutris.cpp, bottles.cpp here, Steam's in
// ../steam/ with the readers of its formats), each reading its records as
// that manager writes them; records.cpp holds what they share, umu.cpp the
// helper through which Lutris and Heroic start Proton.  Records are only
// ever read.
#ifndef ZARNOLAUNCH_POSIX_GAMES_H
#define ZARNOLAUNCH_POSIX_GAMES_H

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

// How a game manager starts a Windows program in one of its prefixes with
// an argument, or why it cannot.
struct ManagerStart {
  // The record this way of starting was read from (for the log), and a
  // change to which may change it: the launcher notices that change.
  std::string record;
  // Every other file it came from, there or not: the manager's other
  // records, the tools' manifests and the programs the command runs (the
  // ones in the command by their paths).  Any of them changed, come or
  // gone calls for a new search too.
  std::vector<std::string> watched;
  // Environment assignments ("NAME=value") to add to the launcher's own
  // environment, and the command: program (looked up in PATH when it holds
  // no '/') and arguments.  In the command "%e" stands for the game's Linux
  // path and "%a" for the server address (always the last argument).  A
  // PWD among the assignments is the folder to start in (the game's own
  // folder otherwise).
  std::vector<std::string> environment;
  std::vector<std::string> command;
  // Not empty when this manager cannot pass an address to a program in this
  // prefix: one sentence saying why, naming the manager, in English for the
  // log; environment and command are then empty.  refusalShown is the same
  // for the player, in their language, with what to do.
  std::string refusal, refusalShown;
};

// A Wine prefix that a game manager keeps, and how that manager starts a
// program in it.
struct ManagedPrefix {
  std::string manager;  // "Steam", "Heroic", "Lutris" or "Bottles"
  std::string prefix;   // the prefix's folder (system.reg, drive_c, dosdevices)
  ManagerStart start;
  // Where the way of starting depends on the program (Steam starts its own
  // game by its app id, and any other program in that prefix through
  // Proton), the start for the program at a Linux path; start is then
  // empty but for its record.  It reads what it needs of the manager's
  // records when called, so a search pays for it only where the game is.
  std::function<ManagerStart(const std::string &program)> startFor;
};

// A manager whose records were found, for telling the player where the
// launcher looked: its name, the folder of its records, how many prefixes.
struct ManagerRecords {
  std::string manager, folder;
  int prefixes;
};

// Every prefix that the managers' records under home name, Steam's first,
// then Heroic's, Lutris's and Bottles's, each manager's in a stable order.
// A prefix is listed only when its folder exists.  Record files are only
// read.  A damaged record file is passed over with one line to note
// ("... is damaged ...; skipping it", naming the file), never fatal.
// found, when given, receives the managers whose records exist.
std::vector<ManagedPrefix> findManagedPrefixes(const std::string &home, PlatNote note,
                                               std::vector<ManagerRecords> *found);

#endif
