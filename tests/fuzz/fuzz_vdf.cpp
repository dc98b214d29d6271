// Steam's KeyValues text on any input.  What parses is written out again
// as Steam writes it (every string quoted, escapes where needed) and must
// read back to the same nodes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/steam/vdf.h"

static std::string quoted(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '\b': out += "\\b"; break;
      case '\r': out += "\\r"; break;
      case '\f': out += "\\f"; break;
      case '\a': out += "\\a"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

static std::string written(const std::vector<VdfNode> &nodes) {
  std::string text;
  for (const VdfNode &n : nodes)
    text += quoted(n.key) + (n.block ? "\n{\n" + written(n.children) + "}\n" : "\t\t" + quoted(n.value) + "\n");
  return text;
}

static bool same(const std::vector<VdfNode> &a, const std::vector<VdfNode> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].key != b[i].key || a[i].block != b[i].block || a[i].value != b[i].value ||
        !same(a[i].children, b[i].children))
      return false;
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input((const char *)data, size), why;
  std::vector<VdfNode> nodes, again;
  if (!vdfParse(input, nodes, why)) {
    if (why.compare(0, 5, "line ") != 0) abort();
    return 0;
  }
  if (!vdfParse(written(nodes), again, why) || !same(nodes, again)) abort();
  if (!nodes.empty() && vdfFind(nodes, nodes[0].key.c_str()) != &nodes[0]) abort();
  return 0;
}
