#include "platform/posix/ini/ini.h"

#include <cstring>
#include <string>

#include "platform/posix/common/utf8.h"
#include "platform/text.h"

// The rules follow what GetPrivateProfileStringA does with a file, in a
// process whose code page is UTF-8 (as the Windows build's manifest asks):
//  - a UTF-8 byte-order mark is skipped; UTF-16 text (with its mark) is
//    narrowed first, an unpaired surrogate becoming U+FFFD;
//  - in other text each bad UTF-8 sequence becomes U+FFFD, so that a value
//    reads, is logged and is shown the same on both systems;
//  - lines end at any run of CR and LF;
//  - blanks (ASCII white space and Ctrl-Z, the old DOS end-of-file mark)
//    around lines, names and values do not count;
//  - "[name]" opens a section, the name running to the last ']' of the line;
//    a '[' line without ']' is an ordinary line;
//  - names compare without regard to ASCII case; only the first section of a
//    name is searched, and in it only the first key of a name;
//  - a key line without '=' yields the default;
//  - a value wholly inside matching quotes (' or ") loses them;
//  - a NUL byte ends a value, as it ends the C string Windows hands back.

static bool isIniBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r' || c == 0x1a;
}

struct Span {
  const char *begin;
  const char *end;
};

static Span trim(const char *begin, const char *end) {
  while (begin < end && isIniBlank((unsigned char)*begin)) ++begin;
  while (end > begin && isIniBlank((unsigned char)end[-1])) --end;
  return Span{begin, end};
}

static bool spanEquals(Span s, Span wanted) {
  size_t n = (size_t)(s.end - s.begin);
  if (n != (size_t)(wanted.end - wanted.begin)) return false;
  for (size_t i = 0; i < n; ++i)
    if (asciiLower((unsigned char)s.begin[i]) != asciiLower((unsigned char)wanted.begin[i]))
      return false;
  return true;
}

// UTF-16 text becomes UTF-8 (the stand-in's narrow code page).
static std::string narrowUtf16(const unsigned char *p, size_t length, bool bigEndian) {
  return utf8FromUtf16(length / 2, [&](size_t i) -> unsigned long {
    return bigEndian ? (p[2 * i] << 8 | p[2 * i + 1]) : (p[2 * i + 1] << 8 | p[2 * i]);
  });
}

// Copies length bytes (no NUL among them), cut to the buffer, terminated.
static unsigned long copyOut(const char *text, size_t length, char *buf,
                             unsigned long size) {
  if (size == 0) return 0;
  if (length > size - 1) length = size - 1;
  memcpy(buf, text, length);
  buf[length] = '\0';
  return (unsigned long)length;
}

static unsigned long copyValue(Span value, char *buf, unsigned long size) {
  const char *nul = (const char *)memchr(value.begin, '\0', (size_t)(value.end - value.begin));
  if (nul) value.end = nul;
  size_t length = (size_t)(value.end - value.begin);
  if (size == 0) return 0;
  char quote = length >= 2 ? value.begin[0] : 0;
  if ((quote == '"' || quote == '\'') && value.end[-1] == quote) {
    // Windows copies what follows the opening quote, cut to the buffer, and
    // drops the last character only when the closing quote made it in.
    const char *inner = value.begin + 1;
    size_t innerLength = length - 1;  // still holds the closing quote
    unsigned long copied = copyOut(inner, innerLength, buf, size);
    if (size >= innerLength && copied > 0) buf[--copied] = '\0';
    return copied;
  }
  return copyOut(value.begin, length, buf, size);
}

unsigned long iniLookup(const char *data, size_t length, const char *section,
                        const char *key, const char *def, char *buf,
                        unsigned long size) {
  std::string converted;
  const unsigned char *bytes = (const unsigned char *)data;
  if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    data += 3;
    length -= 3;
  } else if (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) ||
                             (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    converted = narrowUtf16(bytes + 2, length - 2, bytes[0] == 0xFE);
    data = converted.data();
    length = converted.size();
  }
  if (converted.empty() && !isValidUtf8(data, length)) {
    converted = repairUtf8(data, length);
    data = converted.data();
    length = converted.size();
  }
  Span wantedSection = trim(section, section + strlen(section));
  Span wantedKey = trim(key, key + strlen(key));

  // 0: before the wanted section, 1: inside it, 2: past it (only the first
  // section of a name is searched).
  int state = wantedSection.begin == wantedSection.end ? 1 : 0;
  const char *end = data + length;
  const char *next = data;
  while (next < end) {
    const char *lineStart = next;
    while (next < end && *next != '\n' && *next != '\r') ++next;
    Span line = trim(lineStart, next);
    while (next < end && (*next == '\n' || *next == '\r')) ++next;
    if (line.begin == line.end) continue;

    if (*line.begin == '[') {
      const char *close = line.end - 1;
      while (close > line.begin && *close != ']') --close;
      if (close > line.begin) {
        if (state == 1) break;
        Span name = trim(line.begin + 1, close);
        if (state == 0 && spanEquals(name, wantedSection)) state = 1;
        continue;
      }
    }
    if (state != 1) continue;
    const char *equals = (const char *)memchr(line.begin, '=', (size_t)(line.end - line.begin));
    Span name = trim(line.begin, equals ? equals : line.end);
    if (!spanEquals(name, wantedKey)) continue;
    if (!equals) break;  // a key without a value gives the default
    return copyValue(trim(equals + 1, line.end), buf, size);
  }
  return copyOut(def, strlen(def), buf, size);
}
