// Steam's binary KeyValues on any input, with and without a table of keys.
// What parses is written out again as Steam writes it and must read back to
// the same nodes, types and all.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/steam/vdf.h"
#include "support/game_managers.h"

static bool same(const std::vector<VdfNode> &a, const std::vector<VdfNode> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].key != b[i].key || a[i].block != b[i].block || a[i].type != b[i].type || a[i].value != b[i].value ||
        !same(a[i].children, b[i].children))
      return false;
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input((const char *)data, size), why;
  std::vector<std::string> keys{"appinfo",  "appid",        "extended",     "compat_tools",
                                "proton_9", "aliases", "display_name", "proton_experimental"};
  const std::vector<std::string> *tables[] = {nullptr, &keys};
  for (const std::vector<std::string> *table : tables) {
    std::vector<VdfNode> nodes, again;
    if (!vdfParseBinary(input, nodes, why, table)) {
      if (why.compare(0, 5, "byte ") != 0) abort();
      continue;
    }
    std::vector<std::string> written = table ? *table : std::vector<std::string>();
    std::string bytes = support::binaryVdf(nodes, table ? &written : nullptr);
    if (!vdfParseBinary(bytes, again, why, table ? &written : nullptr) || !same(nodes, again)) abort();
  }
  return 0;
}
