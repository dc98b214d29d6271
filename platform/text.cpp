#include "platform/platform.h"
#include "platform/text.h"

// stricmp and strcasecmp exist under different names on the two systems and
// follow the C locale on some; names here compare by ASCII rules only.
int platCompareNoCase(const char *a, const char *b) {
  const unsigned char *x = (const unsigned char *)a;
  const unsigned char *y = (const unsigned char *)b;
  while (*x && asciiLower(*x) == asciiLower(*y)) {
    ++x;
    ++y;
  }
  return (int)asciiLower(*x) - (int)asciiLower(*y);
}
