// Steam's binary KeyValues, as the Steam client writes shortcuts.vdf and
// the sections of appinfo.vdf (KeyValues::ReadAsBinary in Valve's tier1, of
// which Steam's files use the types below).
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "platform/posix/steam/vdf.h"

namespace {

struct BinaryReader {
  const std::string &data;
  const std::vector<std::string> *keyTable;
  size_t at;
  std::string why;
};

bool damaged(BinaryReader &r, size_t at, const char *what) {
  char where[40];
  snprintf(where, sizeof where, "byte %zu: ", at);
  r.why = where + std::string(what);
  return false;
}

// A NUL-ended string at the reader's place.
bool readString(BinaryReader &r, std::string &out) {
  size_t end = r.data.find('\0', r.at);
  if (end == std::string::npos) return damaged(r, r.at, "a string that the data ends inside");
  out.assign(r.data, r.at, end - r.at);
  r.at = end + 1;
  return true;
}

bool readNumber(BinaryReader &r, size_t size, uint64_t &out) {
  if (r.data.size() - r.at < size) return damaged(r, r.at, "a number that the data ends inside");
  out = 0;
  for (size_t i = 0; i < size; ++i) out |= (uint64_t)(unsigned char)r.data[r.at + i] << (8 * i);
  r.at += size;
  return true;
}

bool readKey(BinaryReader &r, std::string &key) {
  if (!r.keyTable) return readString(r, key);
  size_t at = r.at;
  uint64_t index = 0;
  if (!readNumber(r, 4, index)) return false;
  if (index >= r.keyTable->size()) return damaged(r, at, "a key outside the table of keys");
  key = (*r.keyTable)[index];
  return true;
}

bool readValue(BinaryReader &r, VdfNode &node) {
  uint64_t n = 0;
  char text[32];
  switch (node.type) {
    case VDF_BINARY_STRING:
      return readString(r, node.value);
    case VDF_BINARY_INT32:
    case VDF_BINARY_POINTER:
    case VDF_BINARY_COLOR:
      if (!readNumber(r, 4, n)) return false;
      snprintf(text, sizeof text, "%d", (int32_t)(uint32_t)n);
      break;
    case VDF_BINARY_FLOAT32: {
      if (!readNumber(r, 4, n)) return false;
      uint32_t bits = (uint32_t)n;
      float f;
      memcpy(&f, &bits, sizeof f);
      snprintf(text, sizeof text, "%.9g", f);
      break;
    }
    case VDF_BINARY_UINT64:
      if (!readNumber(r, 8, n)) return false;
      snprintf(text, sizeof text, "%llu", (unsigned long long)n);
      break;
    case VDF_BINARY_INT64:
      if (!readNumber(r, 8, n)) return false;
      snprintf(text, sizeof text, "%lld", (long long)(int64_t)n);
      break;
    default:
      return false;
  }
  node.value = text;
  return true;
}

bool readNodes(BinaryReader &r, std::vector<VdfNode> &nodes, int depth) {
  for (;;) {
    if (r.at >= r.data.size()) {
      // The file's own list may end with the data; a block may not.
      return depth == 0 || damaged(r, r.at, "a block that the data ends inside");
    }
    size_t at = r.at;
    unsigned char type = (unsigned char)r.data[r.at++];
    if (type == VDF_BINARY_END) return true;
    if (type > VDF_BINARY_INT64 || type == 0x05 || type == 0x09)
      return damaged(r, at, "a value of a type Steam does not write");
    VdfNode node;
    node.type = type;
    if (!readKey(r, node.key)) return false;
    if (type == VDF_BINARY_BLOCK) {
      if (depth + 1 > vdfDeepestBlock) return damaged(r, at, "blocks nested too deep");
      node.block = true;
      if (!readNodes(r, node.children, depth + 1)) return false;
    } else if (!readValue(r, node)) {
      return false;
    }
    nodes.push_back(std::move(node));
  }
}

}  // namespace

bool vdfParseBinary(const std::string &data, std::vector<VdfNode> &nodes, std::string &why,
                    const std::vector<std::string> *keyTable) {
  BinaryReader r{data, keyTable, 0, ""};
  nodes.clear();
  if (readNodes(r, nodes, 0)) return true;
  why = r.why;
  nodes.clear();
  return false;
}
