// cleanServer on any bytes: the result lies inside the input and is an
// address of the accepted form, its port 65535 at most, or there is none.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/launcher.h"

static bool alnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // The launcher's value is at most 4095 bytes and terminated.
  if (size > 4095) size = 4095;
  char *text = (char *)malloc(size + 1);
  memcpy(text, data, size);
  text[size] = '\0';
  std::string raw(text);
  char *result = cleanServer(text);
  if (result) {
    if (result < text || result > text + raw.size()) abort();
    size_t length = strlen(result);
    if (result + length > text + raw.size()) abort();
    // Only letters, digits and dots, then at most one colon and digits.
    int dots = 0;
    size_t i = 0;
    for (; i < length && result[i] != ':'; ++i) {
      if (result[i] == '.') ++dots;
      else if (!alnum(result[i])) abort();
    }
    if (dots < 2) abort();
    // A port names one of 65536.
    long port = 0;
    if (i < length) {
      for (++i; i < length; ++i)
        if (result[i] < '0' || result[i] > '9' || (port = port * 10 + result[i] - '0') > 65535) abort();
    }
    // What is left is a piece of the raw value.
    if (raw.find(result) == std::string::npos) abort();
  }
  free(text);
  return 0;
}
