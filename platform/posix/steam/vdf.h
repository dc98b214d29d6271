// Steam's KeyValues, in its two forms: the text (libraryfolders.vdf,
// appmanifest_*.acf, config.vdf, the tools' manifests), read as the Steam
// client's own reader (KeyValues::LoadFromBuffer in Valve's tier1) reads it,
// and the binary form (shortcuts.vdf, appinfo.vdf's sections).  No library
// reads them the way Steam does, hence this one.
//
// A file is a list of nodes; a node is a key followed by a string value or
// by a block of nodes in braces.  Keys and values are quoted strings with
// backslash escapes, or unquoted tokens that end at white space, a quote or
// a brace.  "//" starts a comment up to the line end.  A token in square
// brackets after a key or a value is a condition ("[$WIN32]", "[!$OSX]")
// that keeps or drops that node, evaluated as Steam on Linux evaluates it.
#ifndef ZARNOLAUNCH_POSIX_STEAM_VDF_H
#define ZARNOLAUNCH_POSIX_STEAM_VDF_H

#include <string>
#include <vector>

// Steam's files nest four or five blocks deep; a file nested far deeper is
// not one of them, and would otherwise cost a stack frame a level.
const int vdfDeepestBlock = 100;

struct VdfNode {
  std::string key;
  std::string value;               // a string node's value
  std::vector<VdfNode> children;   // a block's nodes, in the file's order
  bool block = false;
  // In the binary form, the value's type byte (VDF_BINARY_...); a number is
  // kept in value as its decimal text.
  unsigned char type = 1;
};

// Parses the text into nodes.  False when it is damaged: a quoted string or
// a block that the file ends inside, a key without a value, a closing brace
// without an opening one, an empty key, or blocks nested deeper than any
// file of Steam's; why then says where ("line 7: a key without a value").
bool vdfParse(const std::string &text, std::vector<VdfNode> &nodes, std::string &why);

// The binary form: a node is a type byte, its key as a string ended by a
// NUL, and its value; a block's nodes end with VDF_BINARY_END, and so does
// the file's list (bytes after it are left, as Steam leaves them).  Numbers
// are little-endian.  With keyTable (appinfo.vdf since 2024), each key is
// instead a 32-bit index into that table.  False when it is damaged: a value
// of an unknown type, the data ending inside a node or a block, a key index
// outside the table, blocks nested deeper than any file of Steam's; why
// then says where ("byte 72: ...").
#define VDF_BINARY_BLOCK 0x00
#define VDF_BINARY_STRING 0x01
#define VDF_BINARY_INT32 0x02
#define VDF_BINARY_FLOAT32 0x03
#define VDF_BINARY_POINTER 0x04
#define VDF_BINARY_COLOR 0x06
#define VDF_BINARY_UINT64 0x07
#define VDF_BINARY_END 0x08
#define VDF_BINARY_INT64 0x0A
bool vdfParseBinary(const std::string &data, std::vector<VdfNode> &nodes, std::string &why,
                    const std::vector<std::string> *keyTable = nullptr);

// The first node of the list with that key, compared without regard to ASCII
// case as Steam compares keys; null when there is none.
const VdfNode *vdfFind(const std::vector<VdfNode> &nodes, const char *key);
// The node at the end of a path of keys ("a/b/c"), each found as vdfFind
// finds it, through blocks; null when there is none.
const VdfNode *vdfFindPath(const std::vector<VdfNode> &nodes, const char *path);
// The string value at that path, or "" when there is none or it is a block.
std::string vdfText(const std::vector<VdfNode> &nodes, const char *path);

#endif
