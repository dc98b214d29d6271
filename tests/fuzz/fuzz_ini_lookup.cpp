// The stand-in INI reader on any file: no read or write outside the text or
// the buffer, and a terminated value that fits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/ini/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  // The first byte picks the buffer size, the second the key looked up.
  unsigned long bufferSize = 1 + data[0] % 64;
  static const char *keys[] = {"Server", "server", " Server ", "", "[ZarnoLaunch]"};
  const char *key = keys[data[1] % 5];
  const char *text = (const char *)data + 2;
  size_t length = size - 2;
  std::vector<char> copy(text, text + length);  // exact size: ASan sees overreads
  std::vector<char> buf(bufferSize);
  unsigned long n = iniLookup(copy.data(), copy.size(), "ZarnoLaunch", key, "", buf.data(),
                              bufferSize);
  if (n >= bufferSize || buf[n] != '\0' || strlen(buf.data()) != n) abort();
  return 0;
}
