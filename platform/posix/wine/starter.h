// How a game manager starts the game, as the launcher stores it between
// runs: one line, environment assignments ("NAME=value") first, then the
// program and its arguments, separated by blanks.  A word that is empty or
// holds a blank, a double quote or a backslash is written in double quotes,
// with \" and \\ inside.  In the command "%e" stands for the game's Linux
// path and "%a" for the server address.
#ifndef ZARNOLAUNCH_POSIX_STARTER_H
#define ZARNOLAUNCH_POSIX_STARTER_H

#include <string>
#include <vector>

#include "platform/posix/common/process.h"

std::string starterText(const std::vector<std::string> &environment,
                        const std::vector<std::string> &command);
// False when the line holds no program, or a quote that is not closed.
bool starterParse(const std::string &text, std::vector<std::string> &environment,
                  std::vector<std::string> &command);
// The command with "%e" and "%a" put in.  An argument that is exactly one of
// them is replaced whole, so that no byte of a path or an address can split
// it or become another code.  One that begins with "%%" is the rest of it,
// a word of the manager's own (starterLiteral).
std::vector<std::string> starterCommand(const std::vector<std::string> &command,
                                        const std::string &program, const std::string &address);
// A word of a manager's or a player's for the command as it is: one that
// begins with '%' gets another, so that it never stands for the game or
// the address.
std::string starterLiteral(const std::string &word);
// NAME=value, NAME as a shell would take it.
bool isAssignment(const std::string &word);


#endif
