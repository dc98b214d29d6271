// The registry file parser on any text: what it accepts, written out again,
// parses to the same contents, and writing is stable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  RegFile file;
  if (!regParse((const char *)data, size, file)) return 0;
  std::string text = regSerialize(file);
  RegFile again;
  if (!regParse(text.data(), text.size(), again)) abort();
  if (again.keys.size() != file.keys.size()) abort();
  for (size_t k = 0; k < file.keys.size(); ++k) {
    const RegKey &a = file.keys[k];
    const RegKey &b = again.keys[k];
    if (a.path != b.path || a.values.size() != b.values.size()) abort();
    for (size_t v = 0; v < a.values.size(); ++v) {
      const RegValue &x = a.values[v];
      const RegValue &y = b.values[v];
      if (x.name != y.name || x.type != y.type || x.data != y.data) abort();
    }
  }
  if (regSerialize(again) != text) abort();
  return 0;
}
