#include "platform/posix/common/utf8.h"

static bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The bytes of one sequence at p (n > 0 left); *valid tells whether they
// form a character.  The rule is Windows' (and Wine's): a lead byte takes
// in the next byte whenever that is a continuation byte, and only then looks
// at whether it is in range for the lead (no overlong form, no surrogate,
// nothing past U+10FFFF), so that "\xED\xA0" or "\xE0\x80" fail as one
// sequence; the bytes after the second are taken in while they continue it.
static size_t sequenceAt(const unsigned char *p, size_t n, bool *valid) {
  unsigned char c = p[0];
  *valid = c < 0x80;
  if (*valid) return 1;
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
    return 1;
  }
  if (n < 2 || !isContinuation(p[1])) return 1;
  if (p[1] < low || p[1] > high) return 2;
  size_t i = 2;
  while (i < length && i < n && isContinuation(p[i])) ++i;
  *valid = i == length;
  return i;
}

bool isValidUtf8(const char *text, size_t length) {
  const unsigned char *p = (const unsigned char *)text;
  for (size_t i = 0; i < length;) {
    bool valid;
    i += sequenceAt(p + i, length - i, &valid);
    if (!valid) return false;
  }
  return true;
}

std::string repairUtf8(const char *text, size_t length) {
  const unsigned char *p = (const unsigned char *)text;
  std::string out;
  size_t done = 0;  // bytes already in out, or replaced
  for (size_t i = 0; i < length;) {
    bool valid;
    size_t n = sequenceAt(p + i, length - i, &valid);
    if (!valid) {
      out.append(text + done, i - done);
      out += "\xEF\xBF\xBD";
      done = i + n;
    }
    i += n;
  }
  if (done == 0) return std::string(text, length);
  out.append(text + done, length - done);
  return out;
}

void appendUtf8(std::string &out, unsigned long c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += (char)c;
  } else if (c < 0x800) {
    out += (char)(0xC0 | c >> 6);
    out += (char)(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += (char)(0xE0 | c >> 12);
    out += (char)(0x80 | (c >> 6 & 0x3F));
    out += (char)(0x80 | (c & 0x3F));
  } else {
    out += (char)(0xF0 | c >> 18);
    out += (char)(0x80 | (c >> 12 & 0x3F));
    out += (char)(0x80 | (c >> 6 & 0x3F));
    out += (char)(0x80 | (c & 0x3F));
  }
}
