// UTF-8, the Linux build's narrow code page, read the way Windows reads text
// in its UTF-8 code page (Wine's converter behaves alike).
#ifndef ZARNOLAUNCH_POSIX_UTF8_H
#define ZARNOLAUNCH_POSIX_UTF8_H

#include <stddef.h>

#include <string>

// True when the text is well-formed UTF-8 throughout.
bool isValidUtf8(const char *text, size_t length);

// The text with every bad sequence replaced by U+FFFD: a byte that cannot
// start a character, or a start with what follows it of its continuation
// bytes, as far as Windows takes them in before it sees the sequence fail.
std::string repairUtf8(const char *text, size_t length);

// Appends a code point's UTF-8 form; a surrogate becomes U+FFFD.
void appendUtf8(std::string &out, unsigned long codePoint);

// count UTF-16 code units, unitAt(i) the i-th, as UTF-8: a surrogate pair is
// one character, and a surrogate without its partner U+FFFD, as Windows
// converts them.
template <typename UnitAt>
std::string utf8FromUtf16(size_t count, UnitAt unitAt) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    unsigned long unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && unitAt(i + 1) >= 0xDC00 &&
        unitAt(i + 1) <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
      ++i;
    }
    appendUtf8(out, unit);
  }
  return out;
}

#endif
