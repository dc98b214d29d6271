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

// The length of the valid UTF-8 sequence at p, or 0 when p does not start
// one (a stray continuation byte, an overlong form, a surrogate, a code point
// above U+10FFFF, or a sequence cut short by the terminating zero).
size_t utf8Length(const unsigned char *p) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < length; i++)
    if ((p[i] & 0xC0) != 0x80) return 0;
  return length;
}
