// Steam's KeyValues text (libraryfolders.vdf, appmanifest_*.acf), read as
// the Steam client's own reader (KeyValues::LoadFromBuffer in Valve's tier1)
// reads it.  No library reads it the way Steam does, hence this one.
//
// A file is a list of nodes; a node is a key followed by a string value or
// by a block of nodes in braces.  Keys and values are quoted strings with
// backslash escapes, or unquoted tokens that end at white space, a quote or
// a brace.  "//" starts a comment up to the line end.  A token in square
// brackets after a key or a value is a condition ("[$WIN32]", "[!$OSX]")
// that keeps or drops that node, evaluated as Steam on Linux evaluates it.
#ifndef ZARNOLAUNCH_POSIX_GAMES_VDF_H
#define ZARNOLAUNCH_POSIX_GAMES_VDF_H

#include <string>
#include <vector>

struct VdfNode {
  std::string key;
  std::string value;               // a string node's value
  std::vector<VdfNode> children;   // a block's nodes, in the file's order
  bool block = false;
};

// Parses the text into nodes.  False when it is damaged: a quoted string or
// a block that the file ends inside, a key without a value, a closing brace
// without an opening one, an empty key, or blocks nested deeper than any
// file of Steam's; why then says where ("line 7: a key without a value").
bool vdfParse(const std::string &text, std::vector<VdfNode> &nodes, std::string &why);

// The first node of the list with that key, compared without regard to ASCII
// case as Steam compares keys; null when there is none.
const VdfNode *vdfFind(const std::vector<VdfNode> &nodes, const char *key);

#endif
