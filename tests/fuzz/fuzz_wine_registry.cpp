// Wine's registry text (system.reg, user.reg) on any input, as the launcher
// reads it from prefixes it did not write.  Besides not crashing: a value
// found is found again by its own name, and one key's values do not depend
// on what else is asked for, nor on an unreadable line of another key
// added at the end, which Wine passes over.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/common/utf8.h"
#include "platform/posix/wine/winereg.h"

static const std::vector<std::string> keys = {
    "Software\\Classes\\Zarnok\\shell\\open\\command",
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment", "Environment"};

static bool sameValues(const std::vector<WineValue> &a, const std::vector<WineValue> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].text != b[i].text) return false;
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text((const char *)data, size);
  std::vector<std::vector<WineValue>> all;
  int badLine = 0;
  WineRegistryResult result = wineRegistryValues(text, keys, all, &badLine);
  if (result == WINE_REGISTRY_DAMAGED) {
    if (badLine < 1) abort();
    return 0;
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    for (const WineValue &value : all[k]) {
      if (!isValidUtf8(value.text.data(), value.text.size())) abort();
      const WineValue *again = wineFindValue(all[k], value.name.c_str());
      if (!again || again->text != value.text) abort();
    }
    std::vector<std::vector<WineValue>> one;
    if (wineRegistryValues(text, {keys[k]}, one, &badLine) != result || !sameValues(one[0], all[k]))
      abort();
  }
  // Another key's line that cannot be read, after a last line that ends the
  // text (a backslash in it could carry a hex value on into the next).
  size_t lastLine = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2) + 1;
  if (!text.empty() && text.back() == '\n' && text.find('\\', lastLine) == std::string::npos) {
    std::vector<std::vector<WineValue>> more;
    std::string longer = text + "[Software\\\\Other] 1\nnot a value\n";
    if (wineRegistryValues(longer, keys, more, &badLine) != result) abort();
    for (size_t k = 0; k < keys.size(); ++k)
      if (!sameValues(more[k], all[k])) abort();
  }
  return 0;
}
